#pragma once

#include "platform/ui/MacEvent.h"

class QMenuBar;
class QWidget;

// Interface descriptions. A description ("main") is a folder of Qt Designer files in
// the resource folder; an object in it ("MainWindow", "MenuBar") is the file
// "<folder>/<Name>.ui", loaded with QUiLoader. Main thread only.

struct OpaqueIBNibRef;
using IBNibRef = OpaqueIBNibRef*;

constexpr OSStatus kIBCarbonRuntimeCantFindNibFile = -10960;
constexpr OSStatus kIBCarbonRuntimeCantFindObject = -10962;

// noErr and a new reference when GetResourceFolder()/<pszName> is a folder; otherwise
// kIBCarbonRuntimeCantFindNibFile and a null reference.
OSStatus CreateNibReference(const char* pszName, IBNibRef* pOutRef);

// Releases a reference from CreateNibReference; null is ignored.
void DisposeNibReference(IBNibRef pRef);

// Builds the top-level widget described by "<Name>.ui" with the given parent (null for
// a window of its own; pass Qt::Window flags yourself for a window with a parent).
// noErr and the widget, which the caller owns, or kIBCarbonRuntimeCantFindObject and
// null when the file is missing or does not load.
OSStatus CreateWindowFromNib(IBNibRef pRef, const char* pszName, QWidget** pOutWindow,
                             QWidget* pParent = nullptr);

// Loads "<Name>.ui", whose top-level widget must be a QMenuBar, and makes it the
// application's menu bar, replacing the previous one. Its items that carry a
// "command" property send that command to the application event target
// (ProcessHICommand). noErr, or kIBCarbonRuntimeCantFindObject when the file is
// missing or holds no menu bar (the previous menu bar then stays).
OSStatus SetMenuBarFromNib(IBNibRef pRef, const char* pszName);

// The application's menu bar, or null when none is installed. It belongs to no window
// until one takes it: QMainWindow::setMenuBar(GetApplicationMenuBar()) shows it in
// that window, which then owns it; once that window is gone this returns null.
QMenuBar* GetApplicationMenuBar();
