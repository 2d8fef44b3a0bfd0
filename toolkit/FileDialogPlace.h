#pragma once

class QFileDialog;
class QFileIconProvider;

// What the open and save dialogs share: they run only on the GUI thread of a
// QApplication, use Qt's own dialog with an icon provider that never reads files, hide
// the file type pop-up unless the caller offers types, and open where the dialog of the same
// preference key was last left (else the home folder) rather than in Qt's memory of a folder
// that may be gone. The place is kept in the preferences store, so it outlives the run.

// False where no dialog can be shown (no QApplication, or not its thread).
bool CanShowFileDialog();
void PrepareFileDialog(QFileDialog& dialog, long lPreferenceKey, QFileIconProvider& icons);
// The folder of the file chosen, also when its path was typed in full; a folder that
// does not exist is not remembered.
void RememberFileDialogPlace(const QFileDialog& dialog, long lPreferenceKey);
// Shows the file type pop-up PrepareFileDialog hid, for a dialog offering types.
void ShowFileDialogTypes(QFileDialog& dialog);
