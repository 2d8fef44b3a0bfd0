#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CLumFile;

// Reads a .msy list: any text up to a "[MultiSysEx...]" header, then number=name entries
// naming .syx files beside the list, bare (up to the next white space) or in double
// quotes. Keeps the names by number, the first entry of a number winning, and hands
// out the listed files from the list's folder. Bytes are read one at a time; a byte
// 0xFF ends the input like the end of the file. Main thread only (it shows alerts).
class CMultiSysExReader
{
public:
    CMultiSysExReader();
    virtual ~CMultiSysExReader();

    CMultiSysExReader(const CMultiSysExReader&) = delete;
    CMultiSysExReader& operator=(const CMultiSysExReader&) = delete;

    // Parses the list from the file's current position; 1 when the header is valid and
    // at least one entry was read. Replaces the previous entries. A bad header is shown
    // as the alert "Illegal Msy File". The file must have been opened by MacOpen: the
    // listed names are found in the folder of its m_spec. The file is read only during
    // this call and stays the caller's.
    int Open(CLumFile* pFile);
    // Lists the files at the paths, numbered from 1 in their order, as a list file would;
    // each is named by its file name. 1 when there is at least one.
    int OpenFiles(const std::vector<std::string>& asPaths);

    // Copies the name listed under the number into the buffer, cut to iSize - 1 bytes
    // and NUL-padded; leaves the buffer alone when there is no such entry. Always 0.
    int GetSysExFileName(char* pszBuffer, int iSize, int iNumber);

    // A new CLumFile open for reading on the file listed under the number, which the
    // caller closes and deletes; null when there is no such entry (silently) or the file
    // is missing or cannot be opened (after the alert "Not Found File" or "Can't Open
    // File").
    CLumFile* GetSysExFile(int iNumber);

    // The number of entries the last Open read, duplicates included.
    int GetFileCount() const { return m_nFileCount; }

private:
    int ParseHeader();
    int ParseFileName();
    int8_t GetNextChar();
    int SkipToChar(char cStop);
    void SkipSpace();
    int ReadToChar(char* pszBuffer, int iSize, char cStop);
    int ReadToSeparator(char* pszBuffer, int iSize);

    int m_nFileCount;
    std::map<int, std::string> m_mapFileName;
    // Where the files of OpenFiles are; empty for a list file, whose names are found in
    // its folder.
    std::map<int, std::string> m_mapFilePath;
    CLumFile* m_pFile;
    // The folder the list file lives in, from the last successful Open.
    std::string m_listFolder;
    // One character of look-ahead; -1 is the end of the input.
    int8_t m_cChar;
};
