#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

// Answers the modal dialogs the code under test opens, as a user would: each queued answer
// goes to the next dialog that shows, in order, found by a timer (so it works inside the
// dialog's own loop); a dialog opened while an answer runs, or one still open after its
// answer, gets the next one. A dialog with no answer left is cancelled after a few seconds
// and counted as unexpected, so that a test fails instead of hanging.
class DialogDriver : public QObject
{
public:
    // What a dialog showed when it was answered.
    struct tagSeen
    {
        QString className;       // "QMessageBox", "QFileDialog", ...
        QString title;           // the window title
        QString text;            // a message box's main text
        QString informativeText; // a message box's explanation
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;   // a message box's button texts, as shown
        QString defaultButton; // the text of its default button
    };

    using Action = std::function<void(QWidget* pDialog)>;

    DialogDriver();
    ~DialogDriver() override;

    // Presses a message box's standard button, or the button with this text.
    void PressButton(QMessageBox::StandardButton button);
    void PressButtonWithText(const QString& text);
    // Chooses the file at the path in a file dialog and accepts it.
    void ChooseFile(const QString& path);
    // Rejects the dialog, as its Cancel button or the Escape key would.
    void Cancel();
    // Anything else: the action gets the dialog and must close it.
    void Do(const Action& action);

    const std::vector<tagSeen>& Seen() const { return m_seen; }
    int Unanswered() const { return int(m_answers.size()); }
    int Unexpected() const { return m_nUnexpected; }

    // Puts the file at the path into a shown file dialog as the user's choice.
    static void SelectFile(QFileDialog* pDialog, const QString& path);

private:
    void Poll();

    QTimer m_timer;
    std::deque<Action> m_answers;
    std::vector<tagSeen> m_seen;
    // The dialogs whose answers are running: an answer may open a dialog of its own, and
    // the first dialog must not be answered again meanwhile.
    QList<QPointer<QWidget>> m_answering;
    QPointer<QWidget> m_pWaiting; // an unexpected dialog, and since when
    int m_nWaitingPolls = 0;
    int m_nUnexpected = 0;
};
