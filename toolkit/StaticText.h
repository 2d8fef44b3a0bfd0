#pragma once

#include "toolkit/Control.h"

// A text label (QLabel).
class cStaticText : public cControl
{
public:
    cStaticText();
    cStaticText(WindowRef pWindow, uint32_t nSignature, int nID);

    // Shows the text; does nothing before SetControl.
    void Update(char* pszText);
    void Set(char* pszText) { Update(pszText); }
};
