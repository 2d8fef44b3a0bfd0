#pragma once

#include "toolkit/Control.h"

// A progress bar (QProgressBar). Binds like cControl, on fields of its own; the range is
// the bar's own, from the window's layout.
class cProgress
{
public:
    cProgress();
    cProgress(WindowRef pWindow, uint32_t nSignature, int nID);

    void SetControl(WindowRef pWindow, uint32_t nSignature, int nID);
    void Set(int nValue) { SetControlValue(m_pControl, int16_t(nValue)); }
    int Get() { return GetControlValue(m_pControl); }

private:
    WindowRef m_pWindow;
    ControlID m_tControlID;
    ControlRef m_pControl;
    int m_bAttached;
};
