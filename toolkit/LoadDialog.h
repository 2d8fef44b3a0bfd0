#pragma once

#include "platform/file/FileManager.h"

// The open dialog: lets the user choose a .syx, .msy or .mid file (folders to move through),
// application-modal. The place it was left is remembered per preference key for the
// run.
class CLoadDialog
{
public:
    CLoadDialog();

    // true when the user chose a file: its location in pFiles[0] and its type code
    // (0 for none) in pTypes[0], the number of files stored in *plCount. false when the
    // user cancelled; the outputs are then left alone.
    bool Execute(long lPreferenceKey, FSSpec* pFiles, unsigned long* pTypes, long* plCount);

    // Whether the dialog lists what is at the path: folders, and files whose extension is
    // ".syx", ".msy", ".mid" or ".midi" in any letter case; nothing that does not exist.
    static bool FilterProc(const char* pszPath);

private:
    long m_lMaxFiles;
};
