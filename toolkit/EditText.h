#pragma once

#include "toolkit/Control.h"

// An editable text field (QLineEdit).
class cEditText : public cControl
{
public:
    cEditText();
    cEditText(WindowRef pWindow, uint32_t nSignature, int nID);

    // Sets the field's text; does nothing before SetControl.
    void Set(char* pszText);
    // Copies the field's text into the buffer, NUL-terminated and cut to nSize - 1 bytes;
    // the empty string when the field is unbound or missing.
    void Get(char* pszBuffer, int nSize);
};
