#pragma once

class QWidget;

// A menu is the item list of a pop-up (QComboBox) or the menu of a button (QMenu).
using MenuRef = QWidget*;

// Items of a menu, numbered from 1. Item texts pass at most 255 bytes; item numbers are
// cut to 16 bits. An unbound wrapper (null menu) does nothing and reads nothing.
class cPopupMenu
{
public:
    cPopupMenu();
    explicit cPopupMenu(MenuRef pMenu);

    void SetMenu(MenuRef pMenu) { m_pMenu = pMenu; }
    MenuRef GetMenu() { return m_pMenu; }

    void AddItem(char* pszText, unsigned long nCommand);
    void InsertItem(char* pszText, unsigned long nCommand, int nAfter);
    void DeleteItem(int nItem);
    void SetItemText(int nItem, char* pszText);
    // Copies the item's text into a buffer of at least 256 bytes, NUL-terminated; an item
    // that does not exist gives the empty string.
    void GetItemText(int nItem, char* pszBuffer);
    void ShowItem(int nItem);
    void HideItem(int nItem);
    void EnableItem(int nItem);
    void DisableItem(int nItem);
    void SetValue(int nItem, int nValue);
    int GetValue(int nItem);
    void Clear();
    int GetNumberOfMenuItem();

    // The command id given to an item by AddItem (0 for none or no such item).
    static unsigned long GetItemCommand(MenuRef pMenu, int nItem);

private:
    MenuRef m_pMenu;
};
