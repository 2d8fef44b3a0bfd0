#include "toolkit/EditText.h"

#include <QLineEdit>

#include <algorithm>
#include <cstring>

cEditText::cEditText() {}

cEditText::cEditText(WindowRef pWindow, uint32_t nSignature, int nID)
{
    SetControl(pWindow, nSignature, nID);
}

void cEditText::Set(char* pszText)
{
    if (!m_bAttached)
        return;
    if (auto* pField = qobject_cast<QLineEdit*>(m_pControl))
        pField->setText(QString::fromLocal8Bit(pszText));
}

void cEditText::Get(char* pszBuffer, int nSize)
{
    if (nSize <= 0)
        return;
    QByteArray text;
    if (auto* pField = qobject_cast<QLineEdit*>(m_pControl); pField && m_bAttached)
        text = pField->text().toLocal8Bit();
    size_t nLength = std::min(size_t(text.size()), size_t(nSize - 1));
    memcpy(pszBuffer, text.constData(), nLength);
    pszBuffer[nLength] = '\0';
}
