#pragma once

#include "platform/ui/MacEvent.h"

#include <string>
#include <vector>

// Files dragged from a file manager onto a window. A drag is taken when every item is a
// local file with one of the extensions (compared ignoring case, the dot included). The
// procedure gets the files' paths once the drop has ended, from the event loop, so that
// it may run a modal window.
using FileDropProcPtr = void (*)(const std::vector<std::string>& asPaths, void* pUserData);

// Lives as long as the window. noErr, or eventInternalErr for a null window or procedure.
OSStatus InstallFileDropHandler(WindowRef pWindow, const std::vector<std::string>& asExtensions,
                                FileDropProcPtr pProc, void* pUserData);
