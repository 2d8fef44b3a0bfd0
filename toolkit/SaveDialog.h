#pragma once

#include "platform/file/FileManager.h"

#include <string>
#include <vector>

// The save dialog: asks where to save a file, application-modal, with the platform's
// own question before a file is replaced. It creates nothing: the caller writes the file
// at the location. The place it was left is remembered per preference key for the run.
class CSaveDialog
{
public:
    CSaveDialog();

    // true when the user chose a location: the file in *pFile and, when pRef is given, its
    // folder in *pRef, also where the folder does not exist (the write then fails and
    // says so). false when the user cancelled; the outputs are then left alone.
    bool Execute(long lPreferenceKey, const char* pszTitle, const char* pszDefaultName,
                 FSSpec* pFile, FSRef* pRef);

    // Offers a type of file, in the order of the calls, the first one chosen at first.
    // The description is what the dialog lists ("SysEx files (*.syx)"). Choosing a type
    // gives the file name the type's extension; a name chosen without an extension gets
    // that of the chosen type.
    void AddFileType(const char* pszDescription, const char* pszExtension);

    // The codes of the file to be saved; the caller may change them before Execute.
    OSType m_ulCreator;
    OSType m_ulType;

private:
    struct tagFileType
    {
        std::string description;
        std::string extension; // with its '.'
    };
    std::vector<tagFileType> m_aFileTypes;
};
