#pragma once

#include "windows/ModelessWindow.h"

// A window run in an application-modal loop. The owner creates it, calls ShowModal,
// which returns once CloseModal has been called and the platform window is gone, then
// calls Destroy and deletes the object: a modal object never frees itself.
class CModalWindow : public CModelessWindow
{
public:
    CModalWindow();

    // Marks the window shown only when OnShow accepts the showing.
    OSStatus OnWindowShownEvent() override;
    // Runs OnDestroy; the object stays.
    OSStatus OnDisposeEvent() override;

    // Shows the window and runs its modal loop until CloseModal. When OnShow refuses,
    // the window is disposed at once, without a loop.
    virtual void ShowModal();
    virtual void CloseModal();
};
