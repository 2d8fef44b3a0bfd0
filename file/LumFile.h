#pragma once

#include "platform/file/FileManager.h"

// The one file abstraction: holds at most one open file and reads, writes and
// positions it; static routines for file-name extensions, file sizes and creator and
// type codes.
//
// Open modes (Open, MacOpen, MacCreateOpen): only mode & 3 counts; 0 whatever access
// is allowed, 1 read, 2 write, 3 read and write. Readers open with 9 (read).
// SetPos origins: 0 from the current position, 1 from the end of the file, 2 from the
// start (the absolute one), any other leaves the position as it is.
//
// The destructor does not close an open file: the owner closes it first.
class CLumFile
{
public:
    CLumFile();
    virtual ~CLumFile();
    CLumFile(const CLumFile&) = delete;
    CLumFile& operator=(const CLumFile&) = delete;

    // Opens the file at the POSIX path. Does not close a file already held, does not
    // touch m_spec, logs nothing.
    virtual int Open(const char* pszPath, int iMode);
    virtual int Close();
    // Byte counts: fewer than asked at the end of the file, 0 with no file open.
    virtual long Read(void* pBuffer, long lCount);
    virtual long Write(const void* pBuffer, long lCount);
    virtual int SetPos(long lOffset, int iOrigin);
    virtual int GetPos(long* plPosition) const;
    virtual int IsOpened() const;
    // Opens a new, empty file carrying the codes for writing, whatever the mode says,
    // that replaces whatever file is at the location. The new file is written beside
    // the old one and takes its place in Close, only when every Write went through;
    // Close returns 0 otherwise. Until then, and after any failure, a file that was at
    // the location is left as it was.
    virtual int MacWriteOpen(const FSSpec* pSpec, int iMode, unsigned long ulCreator,
                             unsigned long ulType);
    // Creates the named file (a name of at most 255 UTF-16 units, one entry of the
    // folder) inside the folder, replacing a file of that name, with the codes, and
    // opens it with the mode.
    virtual int MacCreateOpen(const FSRef* pFolder, const char* pszName, int iMode,
                              unsigned long ulCreator, unsigned long ulType);
    virtual int MacOpen(const FSSpec* pSpec, int iMode);
    virtual int MacOpen(const FSRef* pRef, int iMode);
    // Adopts a descriptor opened elsewhere; does not close a file already held.
    virtual int MacAttach(int refNum);

    // An extension runs from the last '.' of the name to its end, the '.' included; a
    // name whose only '.' is its first character has none. The whole string is looked
    // at: "dir.d/file" has the extension ".d/file".
    static int GetExtension(const char* pszName, char* pszExtension, int iSize);
    static char* AddExtension(char* pszName, const char* pszExtension);
    static int RemoveExtension(char* pszName);
    static int ReplaceExtension(char* pszName, const char* pszExtension);
    static int GetFileSize(const char* pszPath, unsigned long long* pullSize);
    static int MacChangeCreator(const FSSpec* pSpec, unsigned long ulCreator);
    static int MacChangeCreator(const FSRef* pRef, unsigned long ulCreator);
    static int MacChangeType(const FSSpec* pSpec, unsigned long ulType);
    static int MacChangeType(const FSRef* pRef, unsigned long ulType);

    // The open file's descriptor; 0 when no file is open. GetEOF(m_refNum, ...) gives
    // its length.
    int m_refNum;
    // Where the file last opened by MacOpen, MacWriteOpen or MacCreateOpen lives.
    FSSpec m_spec;

    // The platform's error of the first step of MacWriteOpen, Write or Close that
    // failed since MacWriteOpen, so that a failed save can say why; 0 when none did.
    OSErr GetWriteError() const { return m_writeError; }

private:
    // The file MacWriteOpen writes, to be moved over m_spec by Close.
    FSSpec m_temporary;
    int m_bReplacePending;
    int m_bWriteFailed;
    OSErr m_writeError;
};
