#include "toolkit/PopupMenu.h"

#include <QAction>
#include <QComboBox>
#include <QListView>
#include <QMenu>
#include <QStandardItemModel>

#include <cstring>

namespace
{
// Item data of a pop-up item: its command id and the value attached to it.
constexpr int kCommandRole = Qt::UserRole + 1;
constexpr int kValueRole = Qt::UserRole + 2;

// Item texts are length-prefixed on the platform: at most 255 bytes, cut at a whole
// character.
QString ItemText(const char* pszText)
{
    size_t nLength = strnlen(pszText, 255);
    if (nLength == 255)
        while (nLength > 0 && (uint8_t(pszText[nLength]) & 0xC0) == 0x80)
            --nLength;
    return QString::fromLocal8Bit(pszText, qsizetype(nLength));
}

// The 0-based position of item number nItem, or -1 when the menu has no such item.
int ItemIndex(MenuRef pMenu, int nItem)
{
    int nIndex = int(int16_t(nItem)) - 1;
    int nCount = 0;
    if (auto* pPopup = qobject_cast<QComboBox*>(pMenu))
        nCount = pPopup->count();
    else if (auto* pButtonMenu = qobject_cast<QMenu*>(pMenu))
        nCount = int(pButtonMenu->actions().size());
    return nIndex >= 0 && nIndex < nCount ? nIndex : -1;
}

QAction* ItemAction(MenuRef pMenu, int nItem)
{
    int nIndex = ItemIndex(pMenu, nItem);
    auto* pButtonMenu = qobject_cast<QMenu*>(pMenu);
    return pButtonMenu && nIndex >= 0 ? pButtonMenu->actions().at(nIndex) : nullptr;
}

QStandardItem* PopupItem(MenuRef pMenu, int nItem)
{
    auto* pPopup = qobject_cast<QComboBox*>(pMenu);
    int nIndex = ItemIndex(pMenu, nItem);
    if (!pPopup || nIndex < 0)
        return nullptr;
    auto* pModel = qobject_cast<QStandardItemModel*>(pPopup->model());
    return pModel ? pModel->item(nIndex, pPopup->modelColumn()) : nullptr;
}
} // namespace

cPopupMenu::cPopupMenu() : m_pMenu(nullptr) {}

cPopupMenu::cPopupMenu(MenuRef pMenu) : m_pMenu(pMenu) {}

void cPopupMenu::AddItem(char* pszText, unsigned long nCommand)
{
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pMenu))
    {
        // A pop-up holds no more items than its maximum allows.
        if (pPopup->count() >= pPopup->maxCount())
            return;
        pPopup->addItem(ItemText(pszText));
        pPopup->setItemData(pPopup->count() - 1, qulonglong(nCommand), kCommandRole);
    }
    else if (auto* pButtonMenu = qobject_cast<QMenu*>(m_pMenu))
    {
        QAction* pAction = pButtonMenu->addAction(ItemText(pszText));
        pAction->setData(qulonglong(nCommand));
    }
}

void cPopupMenu::InsertItem(char* pszText, unsigned long nCommand, int nAfter)
{
    // Inserting sets no command id, as on the platform.
    (void)nCommand;
    int nPosition = int(int16_t(nAfter));
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pMenu))
    {
        if (pPopup->count() >= pPopup->maxCount())
            return;
        pPopup->insertItem(qBound(0, nPosition, pPopup->count()), ItemText(pszText));
    }
    else if (auto* pButtonMenu = qobject_cast<QMenu*>(m_pMenu))
    {
        const QList<QAction*> actions = pButtonMenu->actions();
        nPosition = qBound(0, nPosition, int(actions.size()));
        auto* pAction = new QAction(ItemText(pszText), pButtonMenu);
        pButtonMenu->insertAction(nPosition < actions.size() ? actions.at(nPosition) : nullptr,
                                  pAction);
    }
}

void cPopupMenu::DeleteItem(int nItem)
{
    int nIndex = ItemIndex(m_pMenu, nItem);
    if (nIndex < 0)
        return;
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pMenu))
        pPopup->removeItem(nIndex);
    else if (QAction* pAction = ItemAction(m_pMenu, nItem))
        delete pAction;
}

void cPopupMenu::SetItemText(int nItem, char* pszText)
{
    int nIndex = ItemIndex(m_pMenu, nItem);
    if (nIndex < 0)
        return;
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pMenu))
        pPopup->setItemText(nIndex, ItemText(pszText));
    else if (QAction* pAction = ItemAction(m_pMenu, nItem))
        pAction->setText(ItemText(pszText));
}

void cPopupMenu::GetItemText(int nItem, char* pszBuffer)
{
    QString text;
    int nIndex = ItemIndex(m_pMenu, nItem);
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pMenu); pPopup && nIndex >= 0)
        text = pPopup->itemText(nIndex);
    else if (QAction* pAction = ItemAction(m_pMenu, nItem))
        text = pAction->text();
    const QByteArray bytes = text.toLocal8Bit();
    size_t nLength = std::min<size_t>(size_t(bytes.size()), 255);
    memcpy(pszBuffer, bytes.constData(), nLength);
    pszBuffer[nLength] = '\0';
}

void cPopupMenu::ShowItem(int nItem)
{
    int nIndex = ItemIndex(m_pMenu, nItem);
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pMenu); pPopup && nIndex >= 0)
    {
        if (auto* pView = qobject_cast<QListView*>(pPopup->view()))
            pView->setRowHidden(nIndex, false);
    }
    else if (QAction* pAction = ItemAction(m_pMenu, nItem))
        pAction->setVisible(true);
}

void cPopupMenu::HideItem(int nItem)
{
    int nIndex = ItemIndex(m_pMenu, nItem);
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pMenu); pPopup && nIndex >= 0)
    {
        if (auto* pView = qobject_cast<QListView*>(pPopup->view()))
            pView->setRowHidden(nIndex, true);
    }
    else if (QAction* pAction = ItemAction(m_pMenu, nItem))
        pAction->setVisible(false);
}

void cPopupMenu::EnableItem(int nItem)
{
    if (QStandardItem* pItem = PopupItem(m_pMenu, nItem))
        pItem->setEnabled(true);
    else if (QAction* pAction = ItemAction(m_pMenu, nItem))
        pAction->setEnabled(true);
}

void cPopupMenu::DisableItem(int nItem)
{
    if (QStandardItem* pItem = PopupItem(m_pMenu, nItem))
        pItem->setEnabled(false);
    else if (QAction* pAction = ItemAction(m_pMenu, nItem))
        pAction->setEnabled(false);
}

void cPopupMenu::SetValue(int nItem, int nValue)
{
    int nIndex = ItemIndex(m_pMenu, nItem);
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pMenu); pPopup && nIndex >= 0)
        pPopup->setItemData(nIndex, nValue, kValueRole);
    else if (QAction* pAction = ItemAction(m_pMenu, nItem))
        pAction->setProperty("value", nValue);
}

int cPopupMenu::GetValue(int nItem)
{
    int nIndex = ItemIndex(m_pMenu, nItem);
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pMenu); pPopup && nIndex >= 0)
        return pPopup->itemData(nIndex, kValueRole).toInt();
    if (QAction* pAction = ItemAction(m_pMenu, nItem))
        return pAction->property("value").toInt();
    return 0;
}

void cPopupMenu::Clear()
{
    while (GetNumberOfMenuItem() > 0)
        DeleteItem(1);
}

int cPopupMenu::GetNumberOfMenuItem()
{
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pMenu))
        return pPopup->count();
    if (auto* pButtonMenu = qobject_cast<QMenu*>(m_pMenu))
        return int(pButtonMenu->actions().size());
    return 0;
}

unsigned long cPopupMenu::GetItemCommand(MenuRef pMenu, int nItem)
{
    int nIndex = ItemIndex(pMenu, nItem);
    if (auto* pPopup = qobject_cast<QComboBox*>(pMenu); pPopup && nIndex >= 0)
        return (unsigned long)pPopup->itemData(nIndex, kCommandRole).toULongLong();
    if (QAction* pAction = ItemAction(pMenu, nItem))
        return (unsigned long)pAction->data().toULongLong();
    return 0;
}
