#include "support/DialogDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace
{
constexpr int kPollMs = 10;
// How long an unexpected dialog stays before it is cancelled.
constexpr int kUnexpectedPolls = 300;
} // namespace

void DialogDriver::Reject(QWidget* pDialog)
{
    if (auto* pBox = qobject_cast<QMessageBox*>(pDialog); pBox && pBox->escapeButton())
        pBox->escapeButton()->click();
    else if (auto* pModal = qobject_cast<QDialog*>(pDialog))
        pModal->reject();
    else
        pDialog->close();
}

void DialogDriver::SelectFile(QFileDialog* pDialog, const QString& path)
{
    // selectFile leaves the name field alone while it has the focus, as it has in a shown
    // dialog: type the name as a user would.
    const QFileInfo file(path);
    pDialog->setDirectory(file.absolutePath());
    if (auto* pNameField = pDialog->findChild<QLineEdit*>("fileNameEdit"))
        pNameField->setText(file.fileName());
    else
        pDialog->selectFile(path);
}

DialogDriver::DialogDriver()
{
    connect(&m_timer, &QTimer::timeout, this, &DialogDriver::Poll);
    m_timer.start(kPollMs);
}

void DialogDriver::PressButton(QMessageBox::StandardButton button)
{
    Do(
        [button](QWidget* pDialog)
        {
            // A dialog without the button meant is answered as the user backing out.
            auto* pBox = qobject_cast<QMessageBox*>(pDialog);
            if (QAbstractButton* pButton = pBox ? pBox->button(button) : nullptr)
                return pButton->click();
            Reject(pDialog);
        });
}

void DialogDriver::PressButtonWithText(const QString& text)
{
    Do(
        [text](QWidget* pDialog)
        {
            for (QAbstractButton* pButton : pDialog->findChildren<QAbstractButton*>())
                if (pButton->isVisible() && pButton->text().remove('&') == text)
                    return pButton->click();
            Reject(pDialog);
        });
}

void DialogDriver::ChooseFile(const QString& path)
{
    Do(
        [path](QWidget* pDialog)
        {
            auto* pFileDialog = qobject_cast<QFileDialog*>(pDialog);
            if (!pFileDialog)
                return Reject(pDialog);
            SelectFile(pFileDialog, path);
            static_cast<QDialog*>(pFileDialog)->accept(); // QFileDialog hides its override
        });
}

void DialogDriver::Poll()
{
    // A modal window of the program (a progress window) is not a dialog to answer.
    QWidget* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!pDialog || !pDialog->isVisible() || m_answering.contains(pDialog))
    {
        m_nWaitingPolls = 0; // each unexpected dialog gets the whole wait
        return;
    }

    if (m_answers.empty())
    {
        if (++m_nWaitingPolls < kUnexpectedPolls)
            return;
        ++m_nUnexpected;
        m_nWaitingPolls = 0;
        return Reject(pDialog);
    }

    tagSeen seen;
    if (auto* pBox = qobject_cast<QMessageBox*>(pDialog))
    {
        seen.text = pBox->text();
        seen.informativeText = pBox->informativeText();
        seen.icon = pBox->icon();
        for (QAbstractButton* pButton : pBox->buttons())
            seen.buttons << pButton->text().remove('&');
        seen.buttons.sort(); // the order on screen is the platform's
        if (QPushButton* pDefault = pBox->defaultButton())
            seen.defaultButton = pDefault->text().remove('&');
    }
    m_seen.push_back(seen);

    // The answer runs outside this timer's slot: Qt does not fire a timer again while its
    // slot runs, and an answer may open a dialog of its own that needs answering.
    Action action = m_answers.front();
    m_answers.pop_front();
    m_answering.append(pDialog);
    QTimer::singleShot(0, this,
                       [this, action, dialog = QPointer<QWidget>(pDialog)]
                       {
                           if (dialog)
                               action(dialog);
                           m_answering.removeAll(dialog);
                       });
}
