#include "toolkit/StaticText.h"

#include <QLabel>
#include <QLineEdit>

cStaticText::cStaticText() {}

cStaticText::cStaticText(WindowRef pWindow, uint32_t nSignature, int nID)
{
    SetControl(pWindow, nSignature, nID);
}

void cStaticText::Update(char* pszText)
{
    if (!m_bAttached)
        return;
    const QString text = QString::fromLocal8Bit(pszText);
    if (auto* pLabel = qobject_cast<QLabel*>(m_pControl))
        pLabel->setText(text);
    else if (auto* pField = qobject_cast<QLineEdit*>(m_pControl))
        pField->setText(text);
    ReDraw();
}
