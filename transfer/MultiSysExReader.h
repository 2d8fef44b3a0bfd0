#pragma once

#include "platform/file/FileManager.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CLumFile;

// Reads a .msy list: any text up to a "[MultiSysEx...]" header, then number=name entries
// naming .syx files beside the list, bare (up to the next white space) or in double
// quotes. Keeps the names by number, the first entry of a number winning, and hands
// out the listed files from the list's folder. Bytes are read one at a time, every byte
// value a character; only the end of the file ends the input. Main thread only (it shows
// alerts).
class CMultiSysExReader
{
public:
    CMultiSysExReader();
    virtual ~CMultiSysExReader();

    CMultiSysExReader(const CMultiSysExReader&) = delete;
    CMultiSysExReader& operator=(const CMultiSysExReader&) = delete;

    // What is wrong with the list the last Open read, first found first: a failed Open
    // tells why it failed; a list that opened may still have stopped at a name too long to
    // be one, or repeat a number (whose later entries the table does not keep).
    enum Problem
    {
        kNoProblem,
        kNoHeader,
        kBadSectionName,
        kNoEntries,
        kNameTooLong,
        kRepeatedNumber,
    };

    // Parses the list from the file's current position; 1 when the header is valid and
    // at least one entry was read. Replaces the previous entries. Why a list is bad is
    // left to the caller to tell (GetProblem). The file must have been opened by MacOpen: the
    // listed names are found in the folder of its m_spec. The file is read only during
    // this call and stays the caller's.
    int Open(CLumFile* pFile);
    // Lists the files at the paths, numbered from 1 in their order, as a list file would;
    // each is named by its file name. 1 when there is at least one.
    int OpenFiles(const std::vector<std::string>& asPaths);

    // Copies the name listed under the number into the buffer, cut to iSize - 1 bytes
    // and NUL-padded; leaves the buffer alone when there is no such entry. Always 0.
    int GetSysExFileName(char* pszBuffer, int iSize, int iNumber) const;

    // A new CLumFile open for reading on the file listed under the number, which the
    // caller closes and deletes; null when there is no such entry (silently) or the file
    // is missing or cannot be opened (after the alert "Not Found File" or "Can't Open
    // File").
    CLumFile* GetSysExFile(int iNumber);

    // The location of the file listed under the number: 0, or the platform's error when
    // there is no such entry (fnfErr), it leaves the list's folder or does not exist.
    OSErr GetSysExFileSpec(int iNumber, FSSpec* pSpec) const;

    // The number of entries the last Open read, duplicates included.
    int GetFileCount() const { return m_nFileCount; }
    // The numbers the table holds, smallest first: the order the files are sent in.
    std::vector<int> GetNumbers() const;
    Problem GetProblem() const { return m_problem; }
    // The entry number the problem is about (kNameTooLong, kRepeatedNumber).
    int GetProblemNumber() const { return m_nProblemNumber; }

private:
    int ParseHeader();
    int ParseFileName();
    int GetNextChar();
    void SetProblem(Problem problem, int nNumber);
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
    Problem m_problem;
    int m_nProblemNumber;
    // One character of look-ahead: a byte 0 to 255, or -1 at the end of the input.
    int m_cChar;
};
