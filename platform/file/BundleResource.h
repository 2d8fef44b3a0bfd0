#pragma once

#include "platform/file/FileManager.h"

// Finds a resource of the program by its full file name (extension included) in the
// resource folder (GetResourceFolder()), a localised variant first:
//
//   <folder>/<language tag>.lproj/<name>   e.g. share/quillmark/de_AT.lproj/About.png
//   <folder>/<language>.lproj/<name>       e.g. share/quillmark/de.lproj/About.png
//   <folder>/<name>
//
// with the user's language from GetUserLanguageTag(). Only a plain ASCII name of one
// folder entry is looked up, so a name cannot reach outside the folder. Returns true
// and the file's reference when a regular file was found.
bool FindResourceFile(const char* pszName, FSRef* pRef);
