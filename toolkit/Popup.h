#pragma once

#include "toolkit/Control.h"
#include "toolkit/PopupMenu.h"

// A pop-up button (QComboBox) with its item list.
class cPopup : public cControl
{
public:
    // The most items a pop-up can select.
    static constexpr int kMaxItems = 200;

    cPopup();
    cPopup(WindowRef pWindow, uint32_t nSignature, int nID);

    // Binds the control, then its item list, and limits it to kMaxItems.
    void SetControl(WindowRef pWindow, uint32_t nSignature, int nID);

    // The selected item counted from 0; -1 when none is selected.
    int GetSelectItem() { return GetValue() - 1; }
    void SetSelectItem(int nIndex) { SetValue(nIndex + 1); }

    // Makes the pop-up wide enough for its longest item, so neither it nor its menu cuts
    // one; the window grows with it.
    void FitItems();

    // The pop-up's items, bound by SetControl.
    cPopupMenu m_cPopupMenu;
};
