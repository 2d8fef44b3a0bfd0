#pragma once

#include <cstdint>

// The event records the application and the windows handle. Events are plain values
// built by the Qt side (a menu action, a button, a window closing) and handed to the
// one handler of their target.

using OSStatus = int32_t;
constexpr OSStatus noErr = 0;
constexpr OSStatus eventNotHandledErr = -9874;
constexpr OSStatus eventParameterNotFoundErr = -9870;
constexpr OSStatus eventInternalErr = -9868; // a call the stand-ins cannot carry out

// Four characters, most significant byte first: FourCharCode("Abou") == 0x41626F75.
constexpr uint32_t FourCharCode(const char (&code)[5])
{
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

constexpr uint32_t kEventClassCommand = FourCharCode("cmds");
constexpr uint32_t kEventClassWindow = FourCharCode("wind");
constexpr uint32_t kEventCommandProcess = 1;
constexpr uint32_t kEventCommandUpdateStatus = 2;

constexpr uint32_t kHICommandQuit = FourCharCode("quit");
constexpr uint32_t kHICommandClose = FourCharCode("clos");

struct HICommand
{
    uint32_t attributes = 0;
    uint32_t commandID = 0;
};

struct EventTypeSpec
{
    uint32_t eventClass;
    uint32_t eventKind;
};

// One event. Window events name the window's top-level widget in `window`.
struct OpaqueEventRef
{
    uint32_t eventClass = 0;
    uint32_t eventKind = 0;
    HICommand command;
    void* window = nullptr;
    char keyChar = 0; // of a keyboard event: kReturnCharCode, kEnterCharCode or kEscapeCharCode
};
using EventRef = OpaqueEventRef*;
using EventHandlerCallRef = void*;
using EventHandlerProcPtr = OSStatus (*)(EventHandlerCallRef, EventRef, void*);

inline uint32_t GetEventClass(EventRef pEvent)
{
    return pEvent->eventClass;
}
inline uint32_t GetEventKind(EventRef pEvent)
{
    return pEvent->eventKind;
}

// The one event parameter the program reads: the command of a command event.
constexpr uint32_t kEventParamDirectObject = FourCharCode("----");
constexpr uint32_t typeHICommand = FourCharCode("hcmd");

// Copies the HICommand of a command event into *pCommand; eventParameterNotFoundErr
// for any other parameter, type or event class.
inline OSStatus GetEventParameter(EventRef pEvent, uint32_t uiName, uint32_t uiType,
                                  HICommand* pCommand)
{
    if (uiName != kEventParamDirectObject || uiType != typeHICommand ||
        pEvent->eventClass != kEventClassCommand)
        return eventParameterNotFoundErr;
    *pCommand = pEvent->command;
    return noErr;
}

// Window events. A window is its top-level widget; its events name it in `window`.
class QWidget;
using WindowRef = QWidget*;

constexpr uint32_t kEventClassControl = FourCharCode("cntl");
constexpr uint32_t kEventClassMouse = FourCharCode("mous");
constexpr uint32_t kEventClassKeyboard = FourCharCode("keyb");
constexpr uint32_t kEventRawKeyDown = 1;
constexpr char kEnterCharCode = 3;
constexpr char kReturnCharCode = 13;
constexpr char kEscapeCharCode = 27;
constexpr uint32_t kEventWindowActivated = 5;
constexpr uint32_t kEventWindowShowing = 22;
constexpr uint32_t kEventWindowShown = 24;
constexpr uint32_t kEventWindowClose = 72;
constexpr uint32_t kEventWindowDispose = 1005;
constexpr uint32_t kEventControlHit = 1;
constexpr uint32_t kEventMouseDown = 1;
constexpr uint32_t typeWindowRef = FourCharCode("wind");

// Copies the window of a window event into *pWindow; eventParameterNotFoundErr for any
// other parameter, type or event class.
inline OSStatus GetEventParameter(EventRef pEvent, uint32_t uiName, uint32_t uiType,
                                  WindowRef* pWindow)
{
    if (uiName != kEventParamDirectObject || uiType != typeWindowRef ||
        pEvent->eventClass != kEventClassWindow)
        return eventParameterNotFoundErr;
    *pWindow = static_cast<WindowRef>(pEvent->window);
    return noErr;
}
