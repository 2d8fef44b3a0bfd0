#pragma once

#include <string>

// The program's resource folder: "<bin>/../share/quillmark", the same layout in the
// build tree and when installed. QUILLMARK_RESOURCES, read at each call, names another
// folder (tests, or a program run from elsewhere). Never ends in '/'.
std::string GetResourceFolder();

// The user's language from LC_ALL, LC_MESSAGES or LANG without encoding or modifier
// ("de_AT.UTF-8" gives "de_AT"); empty for the C and POSIX locales or when none is set.
std::string GetUserLanguageTag();
