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

// Answers modal dialogs in order, polled by a timer so it works inside their loops; one with no
// answer left is cancelled after a few seconds and counted as unexpected, not left to hang.
class DialogDriver : public QObject
{
public:
    // What a dialog showed when it was answered; a message box's texts and buttons.
    struct tagSeen
    {
        QString text;
        QString informativeText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;   // without '&', sorted
        QString defaultButton; // likewise
    };
    // Gets the dialog and must close it.
    using Action = std::function<void(QWidget* pDialog)>;

    DialogDriver();

    // Presses a message box's standard button, or the button with this text.
    void PressButton(QMessageBox::StandardButton button);
    void PressButtonWithText(const QString& text);
    // Chooses the file at the path in a file dialog and accepts it.
    void ChooseFile(const QString& path);
    // Rejects the dialog, as its Cancel button or the Escape key would.
    void Cancel() { Do(&Reject); }
    void Do(const Action& action) { m_answers.push_back(action); }

    const std::vector<tagSeen>& Seen() const { return m_seen; }
    int Unanswered() const { return int(m_answers.size()); }
    int Unexpected() const { return m_nUnexpected; }

    // Puts the file at the path into a shown file dialog as the user's choice.
    static void SelectFile(QFileDialog* pDialog, const QString& path);
    static void Reject(QWidget* pDialog);

private:
    void Poll();

    QTimer m_timer;
    std::deque<Action> m_answers;
    std::vector<tagSeen> m_seen;
    // The dialogs whose answers are running: an answer may open a dialog of its own, and
    // the first dialog must not be answered again meanwhile.
    QList<QPointer<QWidget>> m_answering;
    int m_nWaitingPolls = 0; // how long an unexpected dialog has been up
    int m_nUnexpected = 0;
};
