#include "toolkit/Alert.h"

#include "toolkit/Utility.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <atomic>

namespace
{
std::atomic<ErrorAlertSink> sg_pErrorAlertSink{nullptr};

// Alerts are widgets: they need a QApplication and its thread.
bool CanShowAlerts()
{
    auto* pApplication = qobject_cast<QApplication*>(QCoreApplication::instance());
    return pApplication && QThread::currentThread() == pApplication->thread();
}

QMessageBox::Icon AlertIcon(short nAlertType)
{
    switch (nAlertType)
    {
    case kAlertStopAlert:
        return QMessageBox::Critical;
    case kAlertNoteAlert:
        return QMessageBox::Information;
    case kAlertCautionAlert:
        return QMessageBox::Warning;
    default:
        return QMessageBox::NoIcon;
    }
}

// The localised text for the key with the document name filled into its "%1".
QString DocumentText(const char* pszKey, const char* pszDocumentName)
{
    return C2CFString(GetResourceString(pszKey)).arg(C2CFString(pszDocumentName));
}
} // namespace

void SetErrorAlertSink(ErrorAlertSink pSink)
{
    sg_pErrorAlertSink.store(pSink);
}

void ShowErrorAlert(const char* pszKey, int iAlertType)
{
    if (ErrorAlertSink pSink = sg_pErrorAlertSink.load())
    {
        pSink(pszKey, iAlertType);
        return;
    }
    char szText[1024];
    CF2CString(szText, C2CFString(GetResourceString(pszKey)), sizeof(szText));
    cAlert::Alert(szText, nullptr, nullptr, nullptr, nullptr, short(iAlertType));
}

namespace
{
// Shows the alert until a button is pressed; whether it was the default one.
bool RunAlert(const char* pszMessage, const char* pszExplanation, const char* pszDefaultText,
              const char* pszCancelText, const char* pszOtherText, short nAlertType)
{
    // The texts may sit in GetResourceString's one buffer: taken before the title is.
    const QString message = C2CFString(pszMessage);
    const QString explanation = pszExplanation ? C2CFString(pszExplanation) : QString();
    QMessageBox box(AlertIcon(nAlertType), C2CFString(GetResourceString("Quillmark")), message);
    if (pszExplanation)
        box.setInformativeText(explanation);
    QAbstractButton* pDefault =
        pszDefaultText ? box.addButton(C2CFString(pszDefaultText), QMessageBox::AcceptRole)
                       : box.addButton(QMessageBox::Ok);
    box.setDefaultButton(qobject_cast<QPushButton*>(pDefault));
    if (pszCancelText)
        box.setEscapeButton(box.addButton(C2CFString(pszCancelText), QMessageBox::RejectRole));
    if (pszOtherText)
        box.addButton(C2CFString(pszOtherText), QMessageBox::DestructiveRole);
    box.setWindowModality(Qt::ApplicationModal);

    QApplication::beep();
    box.exec();
    return box.clickedButton() == pDefault;
}
} // namespace

OSStatus cAlert::Alert(const char* pszMessage, const char* pszExplanation,
                       const char* pszDefaultText, const char* pszCancelText,
                       const char* pszOtherText, short nAlertType)
{
    if (!CanShowAlerts())
        return eventInternalErr;
    RunAlert(pszMessage, pszExplanation, pszDefaultText, pszCancelText, pszOtherText, nAlertType);
    return noErr;
}

bool cAlert::Ask(const char* pszMessage, const char* pszExplanation, const char* pszDefaultText,
                 const char* pszCancelText, short nAlertType)
{
    return CanShowAlerts() && RunAlert(pszMessage, pszExplanation, pszDefaultText, pszCancelText,
                                       nullptr, nAlertType);
}

int cAlert::SaveAlert(short nQuitting, const char* pszApplicationName, const char* pszDocumentName,
                      const char* pszQuestionKey, const char* pszExplanationKey)
{
    if (!CanShowAlerts())
        return kNavAskSaveChangesCancel;

    QApplication::beep();
    const char* pszQuestion = pszQuestionKey ? pszQuestionKey
                              : nQuitting    ? "Save Changes Before Quitting"
                                             : "Save Changes Before Closing";
    QMessageBox box(QMessageBox::Warning, C2CFString(pszApplicationName),
                    DocumentText(pszQuestion, pszDocumentName));
    box.setInformativeText(C2CFString(
        GetResourceString(pszExplanationKey ? pszExplanationKey : "Save Changes Explanation")));
    QPushButton* pSave = box.addButton(QMessageBox::Save);
    QPushButton* pDontSave = box.addButton(QMessageBox::Discard);
    pDontSave->setText(C2CFString(GetResourceString("ButtonDontSave")));
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(pSave);
    box.setEscapeButton(QMessageBox::Cancel);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();

    if (box.clickedButton() == pSave)
        return kNavAskSaveChangesSave;
    if (box.clickedButton() == pDontSave)
        return kNavAskSaveChangesDontSave;
    return kNavAskSaveChangesCancel;
}

int cAlert::RevertAlert(const char* pszApplicationName, const char* pszDocumentName)
{
    if (!CanShowAlerts())
        return kNavAskDiscardChangesCancel;

    QApplication::beep();
    QMessageBox box(QMessageBox::Warning, C2CFString(pszApplicationName),
                    DocumentText("Discard Changes", pszDocumentName));
    QPushButton* pDiscard = box.addButton(QMessageBox::Discard);
    QPushButton* pCancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(pCancel);
    box.setEscapeButton(pCancel);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return box.clickedButton() == pDiscard ? kNavAskDiscardChanges : kNavAskDiscardChangesCancel;
}
