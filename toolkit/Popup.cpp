#include "toolkit/Popup.h"

#include <QComboBox>

cPopup::cPopup() {}

cPopup::cPopup(WindowRef pWindow, uint32_t nSignature, int nID)
{
    SetControl(pWindow, nSignature, nID);
}

void cPopup::SetControl(WindowRef pWindow, uint32_t nSignature, int nID)
{
    cControl::SetControl(pWindow, nSignature, nID);
    auto* pPopup = qobject_cast<QComboBox*>(m_pControl);
    m_cPopupMenu.SetMenu(pPopup);
    if (pPopup)
        pPopup->setMaxCount(kMaxItems);
}

void cPopup::FitItems()
{
    if (auto* pPopup = qobject_cast<QComboBox*>(m_pControl))
        pPopup->setMinimumWidth(pPopup->sizeHint().width());
}
