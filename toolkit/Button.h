#pragma once

#include "toolkit/Control.h"
#include "toolkit/PopupMenu.h"

// A push button; a button with a menu (QPushButton::menu) offers it as a cPopupMenu.
class cButton : public cControl
{
public:
    cButton();
    cButton(WindowRef pWindow, uint32_t nSignature, int nID);

    void SetCaption(char* pszText) { SetTitle(pszText); }

    void SetMenu();
    MenuRef GetMenu() { return m_pMenu; }
    // The checked item of the button's menu, counted from 1; 0 when none is.
    void SetMenuSelectedItem(int nItem);
    int GetMenuSelectedItem();

    // The button's menu, bound by SetMenu.
    cPopupMenu m_cPopupMenu;

private:
    MenuRef m_pMenu;
};
