#pragma once

#include "platform/file/FileManager.h"
#include "transfer/MultiSysExReader.h"

#include <string>
#include <vector>

// What stands in the way of sending a file, or any file of a list, found before anything
// goes out, so that a list is not cut short half way through. A file to send exists, is a
// regular file that can be read, is not empty, and starts with F0 or is a Standard MIDI
// File that can be sent (one so named or so headed is read whole to know). The transmit
// window and the command line both ask it.
class CSendCheck
{
public:
    enum Problem
    {
        kNoProblem,
        kNotFound,
        kPermissionDenied,
        kIsFolder,
        kNotAFile, // a device, a pipe
        kUnreadable,
        kEmpty,
        kNotSysEx,
        kBadList,     // the list itself: CMultiSysExReader::GetProblem says why
        kBadMidiFile, // tagFile::sMidiFault says why
    };

    struct tagFile
    {
        FSSpec spec;
        int nNumber = 0;   // its number in the list; 0 for a file chosen by itself
        std::string sName; // as the list names it, else the file's name
        long lSize = 0; // of a MIDI file, the SysEx messages it sends
        bool bMidiFile = false;
        std::string sMidiFault;
        // A SysEx file whose last byte is not F7: its last message never ends.
        bool bUnterminated = false;
    };

    // The file at the location; *pFile describes it also when it has a problem.
    static Problem CheckFile(const FSSpec& spec, tagFile* pFile);
    // The file at the path, as CheckFile.
    static Problem CheckPath(const char* pszPath, tagFile* pFile);

    // Every file of the list that the reader opened, in the order of their numbers; a
    // repeated number or a name that ended the list is a bad list. The files are in
    // *pFiles; the first with a problem stops the check and is the last of them.
    static Problem CheckList(const CMultiSysExReader& reader, std::vector<tagFile>* pFiles);

    // The problem of the file in words, from the strings table; the list's reader, if
    // any, tells a bad list's. Main thread only.
    static std::string Reason(Problem problem, const tagFile& file,
                              const CMultiSysExReader* pList = nullptr);

private:
    static const char* ReasonKey(Problem problem, CMultiSysExReader::Problem listProblem);
};
