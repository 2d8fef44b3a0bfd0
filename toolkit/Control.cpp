#include "toolkit/Control.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QVariant>
#include <QWidget>

namespace
{
QString SignatureText(uint32_t nSignature)
{
    const char szCode[5] = {char(nSignature >> 24), char(nSignature >> 16), char(nSignature >> 8),
                            char(nSignature), '\0'};
    return QString::fromLatin1(szCode, 4);
}
} // namespace

ControlRef GetControlByID(WindowRef pWindow, const ControlID& controlID)
{
    if (!pWindow)
        return nullptr;
    const QString signature = SignatureText(controlID.signature);
    const QList<QWidget*> children = pWindow->findChildren<QWidget*>();
    for (QWidget* pChild : children)
    {
        const QVariant id = pChild->property("id");
        if (pChild->property("signature").toString() == signature && id.isValid() &&
            id.toInt() == controlID.id)
            return pChild;
    }
    return nullptr;
}

void SetControlValue(ControlRef pControl, int16_t nValue)
{
    if (auto* pPopup = qobject_cast<QComboBox*>(pControl))
    {
        // A pop-up's value is its selected item counted from 1, within its maximum.
        int nItem = qBound(0, int(nValue), pPopup->maxCount());
        pPopup->setCurrentIndex(nItem - 1);
    }
    else if (auto* pProgress = qobject_cast<QProgressBar*>(pControl))
        pProgress->setValue(nValue);
    else if (auto* pSlider = qobject_cast<QAbstractSlider*>(pControl))
        pSlider->setValue(nValue);
    else if (auto* pSpinBox = qobject_cast<QSpinBox*>(pControl))
        pSpinBox->setValue(nValue);
    else if (auto* pButton = qobject_cast<QAbstractButton*>(pControl);
             pButton && pButton->isCheckable())
        pButton->setChecked(nValue != 0);
}

int16_t GetControlValue(ControlRef pControl)
{
    if (auto* pPopup = qobject_cast<QComboBox*>(pControl))
        return int16_t(pPopup->currentIndex() + 1);
    if (auto* pProgress = qobject_cast<QProgressBar*>(pControl))
        return int16_t(pProgress->value());
    if (auto* pSlider = qobject_cast<QAbstractSlider*>(pControl))
        return int16_t(pSlider->value());
    if (auto* pSpinBox = qobject_cast<QSpinBox*>(pControl))
        return int16_t(pSpinBox->value());
    if (auto* pButton = qobject_cast<QAbstractButton*>(pControl))
        return pButton->isChecked() ? 1 : 0;
    return 0;
}

cControl::cControl() : m_pWindow(nullptr), m_pControl(nullptr), m_bAttached(0) {}

void cControl::SetControl(WindowRef pWindow, uint32_t nSignature, int nID)
{
    m_pWindow = pWindow;
    m_tControlID.signature = nSignature;
    m_tControlID.id = nID;
    m_pControl = GetControlByID(pWindow, m_tControlID);
    m_bAttached = 1;
}

void cControl::SetTitle(char* pszText)
{
    if (!m_bAttached || !m_pControl)
        return;
    const QString title = QString::fromLocal8Bit(pszText);
    if (auto* pButton = qobject_cast<QAbstractButton*>(m_pControl))
        pButton->setText(title);
    else if (auto* pLabel = qobject_cast<QLabel*>(m_pControl))
        pLabel->setText(title);
    else if (auto* pGroup = qobject_cast<QGroupBox*>(m_pControl))
        pGroup->setTitle(title);
    ReDraw();
}

void cControl::SetHelp(char* pszText)
{
    if (!m_bAttached || !m_pControl)
        return;
    m_pControl->setToolTip(QString::fromLocal8Bit(pszText));
}

void cControl::SetValue(int nValue)
{
    SetControlValue(m_pControl, int16_t(nValue));
    ReDraw();
}

int cControl::GetValue()
{
    return GetControlValue(m_pControl);
}

void cControl::ReDraw()
{
    if (m_pControl)
        m_pControl->repaint();
}

void cControl::Show()
{
    if (m_pControl)
        m_pControl->show();
}

void cControl::Hide()
{
    if (m_pControl)
        m_pControl->hide();
}

void cControl::SetVisible(bool bVisible)
{
    if (bVisible)
        Show();
    else
        Hide();
}

void cControl::SetEnabled(bool bEnabled)
{
    if (m_pControl)
        m_pControl->setEnabled(bEnabled);
}

int cControl::GetEnabled()
{
    return m_pControl && m_pControl->isEnabled() ? 1 : 0;
}

void cControl::SetFocus()
{
    if (m_pControl)
        m_pControl->setFocus(Qt::OtherFocusReason);
}
