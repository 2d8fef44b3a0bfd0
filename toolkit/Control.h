#pragma once

#include "platform/ui/MacEvent.h"

#include <cstdint>

// A control is a child widget of its window, found by the dynamic properties `signature`
// (four characters) and `id` (int).
using ControlRef = QWidget*;

struct ControlID
{
    uint32_t signature = 0;
    int32_t id = 0;
};

// The first child of the window whose `signature` and `id` match; null when there is none
// or the window is null.
ControlRef GetControlByID(WindowRef pWindow, const ControlID& controlID);

// The control's value as the platform keeps it, a signed 16-bit number: the selected item
// counted from 1 for a pop-up (0 for none), the position of a progress bar or slider, the
// number of a spin box (within its range), 1 or 0 for a check box. A null control or one
// without a value does nothing and reads 0.
void SetControlValue(ControlRef pControl, int16_t nValue);
int16_t GetControlValue(ControlRef pControl);

// Common part of the control wrappers: remembers where a control is and talks to it. The
// wrapper owns nothing; the control belongs to its window.
class cControl
{
public:
    cControl();

    void SetControl(WindowRef pWindow, uint32_t nSignature, int nID);
    ControlRef GetControl() { return m_pControl; }
    // 1 once SetControl has run, found or not; the control's own state is GetEnabled.
    int IsEnabled() { return m_bAttached; }

    void SetTitle(char* pszText);
    void SetHelp(char* pszText);
    void SetValue(int nValue);
    int GetValue();
    void ReDraw();
    void Show();
    void Hide();
    void SetVisible(bool bVisible);
    void SetEnabled(bool bEnabled);
    int GetEnabled();
    // Gives the control the keyboard focus of its window.
    void SetFocus();

protected:
    WindowRef m_pWindow;
    ControlID m_tControlID;
    ControlRef m_pControl;
    int m_bAttached;
};
