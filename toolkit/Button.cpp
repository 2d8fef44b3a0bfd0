#include "toolkit/Button.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

cButton::cButton() : m_pMenu(nullptr) {}

cButton::cButton(WindowRef pWindow, uint32_t nSignature, int nID) : m_pMenu(nullptr)
{
    SetControl(pWindow, nSignature, nID);
}

void cButton::SetMenu()
{
    if (!m_bAttached)
        return;
    auto* pButton = qobject_cast<QPushButton*>(m_pControl);
    QMenu* pMenu = pButton ? pButton->menu() : nullptr;
    if (!pMenu)
        return;
    m_pMenu = pMenu;
    m_cPopupMenu.SetMenu(pMenu);
}

void cButton::SetMenuSelectedItem(int nItem)
{
    auto* pButton = qobject_cast<QPushButton*>(m_pControl);
    QMenu* pMenu = pButton ? pButton->menu() : nullptr;
    if (!pMenu)
        return;
    const QList<QAction*> actions = pMenu->actions();
    int nIndex = int(int16_t(nItem)) - 1;
    for (int i = 0; i < actions.size(); ++i)
    {
        actions[i]->setCheckable(true);
        actions[i]->setChecked(i == nIndex);
    }
}

int cButton::GetMenuSelectedItem()
{
    auto* pButton = qobject_cast<QPushButton*>(m_pControl);
    QMenu* pMenu = pButton ? pButton->menu() : nullptr;
    if (!pMenu)
        return 0;
    const QList<QAction*> actions = pMenu->actions();
    for (int i = 0; i < actions.size(); ++i)
        if (actions[i]->isChecked())
            return i + 1;
    return 0;
}
