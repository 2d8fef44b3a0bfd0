#include "support/DialogDriver.h"
#include "support/TempDir.h"
#include "toolkit/Alert.h"
#include "toolkit/FileIconProvider.h"
#include "toolkit/LoadDialog.h"
#include "toolkit/SaveDialog.h"
#include "toolkit/Utility.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace
{
std::vector<std::pair<std::string, int>> sg_sunkAlerts;

// The names a file dialog lists in its current folder, once its model has read the
// folder's expected number of (non-hidden) entries.
QStringList ListedNames(QFileDialog* pDialog, int nEntries)
{
    auto* pProxy = pDialog->proxyModel();
    auto* pModel = qobject_cast<QFileSystemModel*>(pProxy->sourceModel());
    const QModelIndex root = pModel->index(pDialog->directory().absolutePath());
    QElapsedTimer timer;
    timer.start();
    while (pModel->rowCount(root) < nEntries && timer.elapsed() < 5000)
    {
        if (pModel->canFetchMore(root))
            pModel->fetchMore(root);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QStringList names;
    const QModelIndex proxyRoot = pProxy->mapFromSource(root);
    for (int i = 0; i < pProxy->rowCount(proxyRoot); ++i)
        names << pProxy->index(i, 0, proxyRoot).data().toString();
    names.sort();
    return names;
}

class Dialogs : public testing::Test
{
protected:
    // The dialogs remember their folders in the preferences: in a store of the test's own.
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(m_config.Path()));
    }

    void TearDown() override
    {
        EXPECT_EQ(m_driver.Unexpected(), 0);
        EXPECT_EQ(m_driver.Unanswered(), 0);
    }

    DialogDriver m_driver;
    TempDir m_folder;
    TempDir m_config;
};
} // namespace

// Each alert shows its texts, icon and buttons, and answers with the one pressed; an
// error alert goes to the sink instead where one is set.
TEST_F(Dialogs, AlertsShowTheirTextsAndAnswerWithTheButtonPressed)
{
    sg_sunkAlerts.clear();
    SetErrorAlertSink([](const char* pszKey, int iType)
                      { sg_sunkAlerts.emplace_back(pszKey, iType); });
    ShowErrorAlert("Illegal Msy File", kAlertCautionAlert);
    SetErrorAlertSink(nullptr);
    EXPECT_EQ(sg_sunkAlerts, (std::vector<std::pair<std::string, int>>{{"Illegal Msy File", 2}}));
    EXPECT_TRUE(m_driver.Seen().empty());

    m_driver.PressButton(QMessageBox::Ok);
    ShowErrorAlert("Can't Open File", kAlertStopAlert);
    m_driver.PressButton(QMessageBox::Ok);
    ShowErrorAlert("No Such Message", kAlertCautionAlert);
    m_driver.PressButtonWithText("Later");
    EXPECT_EQ(cAlert::Alert("Message", "Explanation", "Go", "Stop", "Later", kAlertNoteAlert),
              noErr);
    m_driver.PressButton(QMessageBox::Save);
    EXPECT_EQ(cAlert::SaveAlert(0, "Quillmark", "Untitled"), kNavAskSaveChangesSave);
    m_driver.PressButtonWithText("Don’t Save");
    EXPECT_EQ(cAlert::SaveAlert(0, "Quillmark", "Untitled"), kNavAskSaveChangesDontSave);
    m_driver.Cancel();
    EXPECT_EQ(cAlert::SaveAlert(1, "Quillmark", "Untitled"), kNavAskSaveChangesCancel);
    m_driver.PressButton(QMessageBox::Discard);
    EXPECT_EQ(cAlert::RevertAlert("Quillmark", "Untitled"), kNavAskDiscardChanges);
    m_driver.Cancel();
    EXPECT_EQ(cAlert::RevertAlert("Quillmark", "Untitled"), kNavAskDiscardChangesCancel);
    // A message box shows the localised text as the explanation.
    m_driver.PressButton(QMessageBox::Ok);
    EXPECT_EQ(MessageBoxFromResource("Can't Open File"), 1);
    m_driver.PressButton(QMessageBox::Ok);
    EXPECT_EQ(MessageBox("explanation", "message"), 1);

    const auto& seen = m_driver.Seen();
    ASSERT_EQ(seen.size(), 10u);
    const struct
    {
        const char* pszText;
        QMessageBox::Icon icon;
        QStringList buttons;
        const char* pszDefault;
    } expected[] = {{"The file could not be opened.", QMessageBox::Critical, {"OK"}, "OK"},
                    {"No Such Message", QMessageBox::Warning, {"OK"}, "OK"},
                    {"Message", QMessageBox::Information, {"Go", "Later", "Stop"}, "Go"},
                    {"Do you want to save the changes you made in the document “Untitled”?",
                     QMessageBox::Warning,
                     {"Cancel", "Don’t Save", "Save"},
                     "Save"}};
    for (size_t i = 0; i < std::size(expected); ++i)
    {
        EXPECT_EQ(seen[i].text, expected[i].pszText) << i;
        EXPECT_EQ(seen[i].icon, expected[i].icon) << i;
        EXPECT_EQ(seen[i].buttons, expected[i].buttons) << i;
        EXPECT_EQ(seen[i].defaultButton, expected[i].pszDefault) << i;
    }
    EXPECT_EQ(seen[2].informativeText, "Explanation");
    EXPECT_NE(seen[5].text, seen[3].text); // quitting asks otherwise
    EXPECT_TRUE(seen[5].text.contains("Untitled"));
    EXPECT_EQ(seen[8].text, "");
    EXPECT_EQ(seen[8].informativeText, "The file could not be opened.");
    EXPECT_EQ(seen[8].icon, QMessageBox::Warning);
    EXPECT_EQ(seen[9].text + seen[9].informativeText, "messageexplanation");
    int iX = -1, iY = -1, iWidth = 0, iHeight = 0;
    GetDesktopRect(&iX, &iY, &iWidth, &iHeight);
    EXPECT_GT(iWidth * iHeight, 0);
}

TEST_F(Dialogs, OpenDialogListsThroughTheFilterAndReturnsTheChosenFile)
{
    // A folder as a user keeps one: dumps, lists and other files.
    m_folder.Write("Dump.SYX", std::vector<unsigned char>{0xF0, 0x7E, 0xF7});
    m_folder.Write("list.msy", "[MultiSysEx]\n1=Dump.SYX\n");
    m_folder.Write("notes.txt", "notes");
    m_folder.Write("syx", "no extension");
    m_folder.Write(".syx", "only a leading dot");
    std::filesystem::create_directory(m_folder.File("banks"));
    FSSpec dump;
    dump.folder = m_folder.Path();
    dump.name = "Dump.SYX";
    FInfo info;
    info.fdType = FourCharCode("SysX");
    bool bHasCodes = FSpSetFInfo(&dump, &info) == 0;

    QStringList listed, offered, all;
    bool bOwnProvider = false;
    m_driver.Do(
        [&](QWidget* pDialog)
        {
            auto* pFileDialog = qobject_cast<QFileDialog*>(pDialog);
            EXPECT_EQ(pFileDialog->directory().absolutePath(), QDir::homePath())
                << "nothing remembered yet";
            bOwnProvider = dynamic_cast<const CFileIconProvider*>(pFileDialog->iconProvider());
            pFileDialog->setDirectory(QString::fromStdString(m_folder.Path()));
            listed = ListedNames(pFileDialog, 3);
            offered = pFileDialog->nameFilters();
            // The user picks "All files" in the type pop-up.
            auto* pTypes = pFileDialog->findChild<QComboBox*>("fileTypeCombo");
            ASSERT_NE(pTypes, nullptr);
            EXPECT_FALSE(pTypes->isHidden());
            pTypes->setCurrentIndex(1);
            pTypes->activated(1);
            pTypes->textActivated(pTypes->itemText(1));
            all = ListedNames(pFileDialog, 5); // Qt never lists the hidden ".syx"
            DialogDriver::SelectFile(pFileDialog,
                                     QString::fromStdString(m_folder.File("Dump.SYX")));
            static_cast<QDialog*>(pFileDialog)->accept(); // QFileDialog hides its override
        });
    FSSpec files[1];
    unsigned long types[1] = {0};
    long lCount = 0;
    CLoadDialog dialog;
    ASSERT_TRUE(dialog.Execute(FourCharCode("QMRK"), files, types, &lCount));
    EXPECT_EQ(listed.join(", ").toStdString(), "Dump.SYX, banks, list.msy");
    EXPECT_EQ(offered,
              (QStringList{GetResourceString("Sendable Files"), GetResourceString("All Files")}));
    EXPECT_EQ(all.join(", ").toStdString(), "Dump.SYX, banks, list.msy, notes.txt, syx");
    for (const char* pszHidden : {"missing.syx", ".syx"}) // Qt would not list ".syx" anyway
        EXPECT_FALSE(CLoadDialog::FilterProc(m_folder.File(pszHidden).c_str())) << pszHidden;
    ASSERT_EQ(lCount, 1);
    EXPECT_EQ(files[0].name, "Dump.SYX");
    EXPECT_EQ(std::filesystem::path(files[0].folder), std::filesystem::canonical(m_folder.Path()));
    EXPECT_EQ(types[0], bHasCodes ? FourCharCode("SysX") : 0u);
    EXPECT_TRUE(bOwnProvider);
    // The next dialog with the same key opens where this one was left.
    QString startFolder;
    m_driver.Do(
        [&](QWidget* pDialog)
        {
            startFolder = qobject_cast<QFileDialog*>(pDialog)->directory().absolutePath();
            qobject_cast<QFileDialog*>(pDialog)->reject();
        });
    EXPECT_FALSE(dialog.Execute(FourCharCode("QMRK"), files, types, &lCount));
    EXPECT_EQ(std::filesystem::path(startFolder.toStdString()),
              std::filesystem::canonical(m_folder.Path()));
}

TEST_F(Dialogs, SaveDialogOffersTheTitleAndDefaultNameAndReturnsTheLocation)
{
    QString title, offeredName;
    const std::string target = m_folder.File("Bank A.syx");
    m_driver.Do(
        [&](QWidget* pDialog)
        {
            auto* pFileDialog = qobject_cast<QFileDialog*>(pDialog);
            title = pFileDialog->windowTitle();
            if (auto* pNameField = pFileDialog->findChild<QLineEdit*>("fileNameEdit"))
                offeredName = pNameField->text();
            DialogDriver::SelectFile(pFileDialog, QString::fromStdString(target));
            static_cast<QDialog*>(pFileDialog)->accept(); // QFileDialog hides its override
        });
    FSSpec file;
    FSRef folder;
    CSaveDialog dialog;
    ASSERT_TRUE(
        dialog.Execute(FourCharCode("QMRK"), "Save SysEx File", "Received.syx", &file, &folder));
    EXPECT_EQ(title, "Save SysEx File");
    EXPECT_EQ(offeredName, "Received.syx");
    EXPECT_EQ(file.name, "Bank A.syx");
    EXPECT_EQ(std::filesystem::path(file.folder), std::filesystem::canonical(m_folder.Path()));
    EXPECT_EQ(folder.path, file.folder);
    EXPECT_FALSE(std::filesystem::exists(target)); // the dialog creates nothing

    m_driver.Cancel();
    EXPECT_FALSE(
        dialog.Execute(FourCharCode("QMRK"), "Save SysEx File", "Received.syx", &file, &folder));
}
