#pragma once

#include "platform/ui/MacEvent.h"

// Alert types, in the platform's numbering.
constexpr short kAlertStopAlert = 0;
constexpr short kAlertNoteAlert = 1;
constexpr short kAlertCautionAlert = 2;
constexpr short kAlertPlainAlert = 3;

// What the save-changes question is asked for, and its answers.
constexpr short kNavSaveChangesClosingDocument = 1;
constexpr short kNavSaveChangesQuittingApplication = 2;
constexpr int kNavAskSaveChangesSave = 1;
constexpr int kNavAskSaveChangesCancel = 2;
constexpr int kNavAskSaveChangesDontSave = 3;
constexpr int kNavAskDiscardChanges = 1;
constexpr int kNavAskDiscardChangesCancel = 2;

// Shows the localised text for the key (the key itself when the strings table lacks it)
// in an application-modal alert of the type with one OK button; returns when the user
// has dismissed it.
void ShowErrorAlert(const char* pszKey, int iAlertType);

// Where error alerts go instead of the screen: with a sink installed, ShowErrorAlert
// hands it the key and the alert type and shows nothing (null restores the alerts).
// For programs that must not wait for a user, such as a batch check of list files.
using ErrorAlertSink = void (*)(const char* pszKey, int iAlertType);
void SetErrorAlertSink(ErrorAlertSink pSink);

// The platform's standard alerts and questions, application-modal. Texts are
// NUL-terminated in the system encoding. Without a running GUI they show nothing and
// report failure.
class cAlert
{
public:
    // A message with an optional explanation below it. A null default text gives the
    // platform's OK button; a null cancel or other text gives no such button. Returns
    // noErr once the alert was shown and dismissed (which button is not told), or an
    // error when it could not be shown.
    static OSStatus Alert(const char* pszMessage, const char* pszExplanation,
                          const char* pszDefaultText, const char* pszCancelText,
                          const char* pszOtherText, short nAlertType);

    // A question with the two answers: true when the user chose the default one; false
    // for the cancel one, Esc, or when it could not be asked.
    static bool Ask(const char* pszMessage, const char* pszExplanation,
                    const char* pszDefaultText, const char* pszCancelText, short nAlertType);

    // Save before closing (nQuitting 0) or before quitting (otherwise)? Save, Cancel or
    // Don't Save (kNavAskSaveChanges...); any failure answers Cancel.
    // The question and its explanation are the strings-table texts of the keys when given.
    static int SaveAlert(short nQuitting, const char* pszApplicationName,
                         const char* pszDocumentName, const char* pszQuestionKey = nullptr,
                         const char* pszExplanationKey = nullptr);

    // Discard the changes? kNavAskDiscardChanges or, also on failure, Cancel.
    static int RevertAlert(const char* pszApplicationName, const char* pszDocumentName);
};
