#pragma once

class QFileDialog;
class QFileIconProvider;

// What the open and save dialogs share: they run only on the GUI thread of a
// QApplication, use Qt's own dialog with an icon provider that never reads files, hide
// the file type pop-up, and open where the dialog of the same preference key was last
// left (else the home folder) rather than in Qt's memory of a folder that may be gone.

// False where no dialog can be shown (no QApplication, or not its thread).
bool CanShowFileDialog();
void PrepareFileDialog(QFileDialog& dialog, long lPreferenceKey, QFileIconProvider& icons);
void RememberFileDialogPlace(const QFileDialog& dialog, long lPreferenceKey);
