#include "platform/bundle/ResourceFolder.h"
#include "support/DialogDriver.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "toolkit/Alert.h"
#include "toolkit/Button.h"
#include "toolkit/EditText.h"
#include "toolkit/FileIconProvider.h"
#include "toolkit/LoadDialog.h"
#include "toolkit/Popup.h"
#include "toolkit/Progress.h"
#include "toolkit/SaveDialog.h"
#include "toolkit/StaticText.h"
#include "toolkit/Utility.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace
{
constexpr uint32_t kSignature = FourCharCode("QMRK");

template <class T> T* AddControl(QWidget* pWindow, const char* pszSignature, int nID)
{
    auto* pControl = new T(pWindow);
    pControl->setProperty("signature", QString::fromLatin1(pszSignature));
    pControl->setProperty("id", nID);
    return pControl;
}

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

// A resource folder holding the program's English table under another name.
std::string CopyEnglishTableAs(const TempDir& folder, const std::string& name)
{
    static const std::string english = GetResourceFolder() + "/strings/quillmark_en.qm";
    std::filesystem::create_directories(folder.File("strings"));
    std::filesystem::copy_file(english, folder.File("strings/" + name + ".qm"));
    return folder.Path();
}
} // namespace

// On a window laid out like the program's (controls with signature QMRK and small ids),
// controls are found by signature and id, unbound ones do nothing, the pop-up menu counts from
// one, and texts, captions, menus and the attached flag reach their widgets.
TEST(Controls, FoundBySignatureAndIdUnboundOnesDoNothingAndBoundOnesReachTheirWidgets)
{
    QWidget window;
    QComboBox* pPopup = AddControl<QComboBox>(&window, "QMRK", 3);
    QLabel* pLabel = AddControl<QLabel>(&window, "QMRK", 2);
    QPushButton* pButton = AddControl<QPushButton>(&window, "QMRK", 5);
    AddControl<QLineEdit>(&window, "QMRK", 8);
    QLabel* pOther = AddControl<QLabel>(&window, "XXXX", 2);
    const auto ItemText = [](cPopupMenu& menu, int nItem)
    {
        char szText[256];
        memset(szText, 'x', sizeof(szText));
        menu.GetItemText(nItem, szText);
        return std::string(szText);
    };
    EXPECT_EQ(GetControlByID(&window, {kSignature, 2}), pLabel);
    EXPECT_EQ(GetControlByID(&window, {FourCharCode("XXXX"), 2}), pOther);
    EXPECT_EQ(GetControlByID(&window, {kSignature, 9}), nullptr);
    EXPECT_EQ(GetControlByID(nullptr, {kSignature, 2}), nullptr);

    pLabel->setText("Idle");
    char szText[] = "changed";
    cStaticText unbound;
    unbound.Set(szText);
    unbound.SetTitle(szText);
    unbound.SetEnabled(false);
    unbound.SetValue(3);
    EXPECT_EQ(unbound.GetValue() + unbound.GetEnabled(), 0);
    EXPECT_EQ(pLabel->text(), "Idle");
    cPopup loose;
    loose.m_cPopupMenu.AddItem(szText, 0);
    EXPECT_EQ(loose.m_cPopupMenu.GetNumberOfMenuItem(), 0);
    EXPECT_EQ(loose.GetSelectItem(), -1);
    cProgress progress;
    progress.Set(50);
    EXPECT_EQ(progress.Get(), 0);
    cEditText field;
    char szBuffer[8] = "x";
    field.Get(szBuffer, sizeof(szBuffer));
    EXPECT_STREQ(szBuffer, "");

    // The bound pop-up selects from 0, its menu counts items from 1, holds at most 200 of
    // them and passes texts of at most 255 bytes.
    cPopup popup(&window, kSignature, 3);
    for (int i = 1; i <= 201; ++i)
    {
        std::string text = "Port " + std::to_string(i);
        popup.m_cPopupMenu.AddItem(text.data(), 0);
    }
    EXPECT_EQ(popup.m_cPopupMenu.GetNumberOfMenuItem(), 200);
    EXPECT_EQ(popup.GetSelectItem(), 0);
    popup.SetSelectItem(1);
    EXPECT_EQ(pPopup->currentIndex(), 1);
    EXPECT_EQ(popup.GetValue(), 2);
    popup.SetSelectItem(250);
    EXPECT_EQ(popup.GetSelectItem(), 199);

    cPopupMenu& menu = popup.m_cPopupMenu;
    EXPECT_EQ(ItemText(menu, 1), "Port 1");
    EXPECT_EQ(ItemText(menu, 201), "");
    char szInserted[] = "Port 1b";
    menu.DeleteItem(200);
    menu.InsertItem(szInserted, 0, 1);
    menu.DeleteItem(1);
    EXPECT_EQ(ItemText(menu, 1), "Port 1b");
    menu.SetValue(2, 77);
    EXPECT_EQ(menu.GetValue(2), 77);
    menu.DisableItem(2);
    EXPECT_FALSE(menu.GetValue(999));

    std::string longName(300, 'a');
    menu.SetItemText(1, longName.data());
    EXPECT_EQ(ItemText(menu, 1), std::string(255, 'a'));

    menu.Clear();
    EXPECT_EQ(pPopup->count(), 0);
    EXPECT_EQ(popup.GetSelectItem(), -1);

    pButton->setEnabled(false);
    cButton button;
    EXPECT_EQ(button.IsEnabled(), 0);
    button.SetControl(&window, kSignature, 5);
    EXPECT_EQ(button.IsEnabled(), 1); // attached, which is not the enabled state
    EXPECT_EQ(button.GetEnabled(), 0);
    button.SetEnabled(true);
    EXPECT_TRUE(pButton->isEnabled());
    char szCaption[] = "Close", szHelp[] = "Ends the transfer";
    button.SetCaption(szCaption);
    button.SetHelp(szHelp);
    EXPECT_EQ(pButton->text(), "Close");
    EXPECT_EQ(pButton->toolTip(), "Ends the transfer");

    cStaticText status(&window, kSignature, 2);
    char szStatus[] = "Receiving 512 bytes";
    status.Set(szStatus);
    EXPECT_EQ(pLabel->text(), "Receiving 512 bytes");

    cEditText boundField(&window, kSignature, 8);
    char szName[] = "Received.syx", szShort[5];
    boundField.Set(szName);
    boundField.Get(szShort, sizeof(szShort));
    EXPECT_STREQ(szShort, "Rece");

    auto* pBar = AddControl<QProgressBar>(&window, "QMRK", 6);
    pBar->setRange(0, 100);
    progress.SetControl(&window, kSignature, 6);
    progress.Set(51);
    EXPECT_EQ(pBar->value(), 51);
    EXPECT_EQ(progress.Get(), 51);

    // A button's menu counts its items from 1.
    auto* pMenu = new QMenu(pButton);
    pButton->setMenu(pMenu);
    cButton menuButton(&window, kSignature, 5);
    EXPECT_EQ(menuButton.GetControl(), pButton);
    EXPECT_EQ(menuButton.GetMenu(), nullptr);
    menuButton.SetMenu();
    ASSERT_EQ(menuButton.GetMenu(), pMenu);
    char szFirst[] = "Bank A", szSecond[] = "Bank B";
    menuButton.m_cPopupMenu.AddItem(szFirst, FourCharCode("BnkA"));
    menuButton.m_cPopupMenu.AddItem(szSecond, FourCharCode("BnkB"));
    EXPECT_EQ(cPopupMenu::GetItemCommand(pMenu, 2), FourCharCode("BnkB"));
    EXPECT_EQ(menuButton.GetMenuSelectedItem(), 0);
    menuButton.SetMenuSelectedItem(2);
    EXPECT_EQ(menuButton.GetMenuSelectedItem(), 2);
    menuButton.m_cPopupMenu.HideItem(1);
    EXPECT_FALSE(pMenu->actions().at(0)->isVisible());
    menuButton.m_cPopupMenu.Clear();
    EXPECT_TRUE(pMenu->actions().isEmpty());
}

// Each alert shows its texts, icon and buttons, and answers with the one pressed; an error
// alert goes to the sink instead where one is set. The open dialog lists through its filter
// and the save dialog offers the title and name; each returns the file chosen.
TEST(Dialogs, AlertsAnswerWithTheButtonPressedTheFileDialogsWithTheFileChosen)
{
    DialogDriver driver;
    TempDir folder, config;
    // The dialogs remember their folders in the preferences: in a store of the test's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(config.Path()));
    sg_sunkAlerts.clear();
    SetErrorAlertSink([](const char* pszKey, int iType)
                      { sg_sunkAlerts.emplace_back(pszKey, iType); });
    ShowErrorAlert("Illegal Msy File", kAlertCautionAlert);
    SetErrorAlertSink(nullptr);
    EXPECT_EQ(sg_sunkAlerts, (std::vector<std::pair<std::string, int>>{{"Illegal Msy File", 2}}));
    EXPECT_TRUE(driver.Seen().empty());

    driver.PressButton(QMessageBox::Ok);
    ShowErrorAlert("Can't Open File", kAlertStopAlert);
    driver.PressButton(QMessageBox::Ok);
    ShowErrorAlert("No Such Message", kAlertCautionAlert);
    driver.PressButtonWithText("Later");
    EXPECT_EQ(cAlert::Alert("Message", "Explanation", "Go", "Stop", "Later", kAlertNoteAlert),
              noErr);
    driver.PressButton(QMessageBox::Save);
    EXPECT_EQ(cAlert::SaveAlert(0, "Quillmark", "Untitled"), kNavAskSaveChangesSave);
    driver.PressButtonWithText("Don’t Save");
    EXPECT_EQ(cAlert::SaveAlert(0, "Quillmark", "Untitled"), kNavAskSaveChangesDontSave);
    driver.Cancel();
    EXPECT_EQ(cAlert::SaveAlert(1, "Quillmark", "Untitled"), kNavAskSaveChangesCancel);
    driver.PressButton(QMessageBox::Discard);
    EXPECT_EQ(cAlert::RevertAlert("Quillmark", "Untitled"), kNavAskDiscardChanges);
    driver.Cancel();
    EXPECT_EQ(cAlert::RevertAlert("Quillmark", "Untitled"), kNavAskDiscardChangesCancel);
    // A message box shows the localised text as the explanation.
    driver.PressButton(QMessageBox::Ok);
    EXPECT_EQ(MessageBoxFromResource("Can't Open File"), 1);
    driver.PressButton(QMessageBox::Ok);
    EXPECT_EQ(MessageBox("explanation", "message"), 1);

    const auto& seen = driver.Seen();
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

    // A folder as a user keeps one: dumps, lists and other files.
    folder.Write("Dump.SYX", std::vector<unsigned char>{0xF0, 0x7E, 0xF7});
    folder.Write("list.msy", "[MultiSysEx]\n1=Dump.SYX\n");
    folder.Write("notes.txt", "notes");
    folder.Write("syx", "no extension");
    folder.Write(".syx", "only a leading dot");
    std::filesystem::create_directory(folder.File("banks"));
    FSSpec dump;
    dump.folder = folder.Path();
    dump.name = "Dump.SYX";
    FInfo info;
    info.fdType = FourCharCode("SysX");
    bool bHasCodes = FSpSetFInfo(&dump, &info) == 0;

    QStringList listed, offered, all;
    bool bOwnProvider = false;
    driver.Do(
        [&](QWidget* pDialog)
        {
            auto* pFileDialog = qobject_cast<QFileDialog*>(pDialog);
            EXPECT_EQ(pFileDialog->directory().absolutePath(), QDir::homePath())
                << "nothing remembered yet";
            bOwnProvider = dynamic_cast<const CFileIconProvider*>(pFileDialog->iconProvider());
            pFileDialog->setDirectory(QString::fromStdString(folder.Path()));
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
            DialogDriver::SelectFile(pFileDialog, QString::fromStdString(folder.File("Dump.SYX")));
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
        EXPECT_FALSE(CLoadDialog::FilterProc(folder.File(pszHidden).c_str())) << pszHidden;
    ASSERT_EQ(lCount, 1);
    EXPECT_EQ(files[0].name, "Dump.SYX");
    EXPECT_EQ(std::filesystem::path(files[0].folder), std::filesystem::canonical(folder.Path()));
    EXPECT_EQ(types[0], bHasCodes ? FourCharCode("SysX") : 0u);
    EXPECT_TRUE(bOwnProvider);
    // The next dialog with the same key opens where this one was left.
    QString startFolder;
    driver.Do(
        [&](QWidget* pDialog)
        {
            startFolder = qobject_cast<QFileDialog*>(pDialog)->directory().absolutePath();
            qobject_cast<QFileDialog*>(pDialog)->reject();
        });
    EXPECT_FALSE(dialog.Execute(FourCharCode("QMRK"), files, types, &lCount));
    EXPECT_EQ(std::filesystem::path(startFolder.toStdString()),
              std::filesystem::canonical(folder.Path()));

    QString title, offeredName;
    const std::string target = folder.File("Bank A.syx");
    driver.Do(
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
    FSRef chosenFolder;
    CSaveDialog saveDialog;
    ASSERT_TRUE(saveDialog.Execute(FourCharCode("QMRK"), "Save SysEx File", "Received.syx", &file,
                                   &chosenFolder));
    EXPECT_EQ(title, "Save SysEx File");
    EXPECT_EQ(offeredName, "Received.syx");
    EXPECT_EQ(file.name, "Bank A.syx");
    EXPECT_EQ(std::filesystem::path(file.folder), std::filesystem::canonical(folder.Path()));
    EXPECT_EQ(chosenFolder.path, file.folder);
    EXPECT_FALSE(std::filesystem::exists(target)); // the dialog creates nothing

    driver.Cancel();
    EXPECT_FALSE(saveDialog.Execute(FourCharCode("QMRK"), "Save SysEx File", "Received.syx", &file,
                                    &chosenFolder));
    EXPECT_EQ(driver.Unexpected() + driver.Unanswered(), 0);
}

// Resources come in the user's language, then English, then as the key, from one shared
// buffer; every copy into a fixed buffer stops at a whole character.
TEST(Strings, ResourcesByLanguageCopiesExtensionsNotesFieldsCentringAndNumbers)
{
    EXPECT_STREQ(GetResourceString("No Such Key"), "No Such Key");
    char* pszFirst = GetResourceString("ButtonStart");
    EXPECT_STREQ(pszFirst, "&Start");
    EXPECT_EQ(GetResourceString("ButtonClose"), pszFirst);
    EXPECT_STREQ(pszFirst, "&Close");
    // Longer than the buffer: cut to 255 bytes, never inside a character.
    const std::string longKey = std::string(254, 'a') + "\xC3\xA9";
    EXPECT_EQ(std::string(GetResourceString(longKey.c_str())), std::string(254, 'a'));

    // The user's language comes first, then English; without either, the key.
    TempDir french;
    ScopedEnv resources("QUILLMARK_RESOURCES", CopyEnglishTableAs(french, "quillmark_fr").c_str());
    ScopedEnv language("LC_ALL", "fr_CA.UTF-8");
    EXPECT_STREQ(GetResourceString("ButtonNext"), "&Next") << "fr_CA falls back to fr";
    setenv("LC_ALL", "de_AT.UTF-8", 1); // restored with the rest
    EXPECT_STREQ(GetResourceString("ButtonNext"), "ButtonNext") << "neither de nor en here";
    TempDir english;
    ScopedEnv englishResources("QUILLMARK_RESOURCES",
                               CopyEnglishTableAs(english, "quillmark_en").c_str());
    EXPECT_STREQ(GetResourceString("ButtonNext"), "&Next");

    // Every copy into a fixed buffer stops at a whole character, and says whether all fitted.
    using Row = std::tuple<const char*, int, const char*>;
    char szBuffer[8];
    for (const auto& [pszText, iWhole, pszCopied] :
         std::vector<Row>{{"1234567", 1, "1234567"},
                          {"12345678", 0, "1234567"},
                          {"123456\xC3\xA9", 0, "123456"}})
    {
        EXPECT_EQ(CF2CString(szBuffer, C2CFString(pszText), sizeof(szBuffer)), iWhole);
        EXPECT_STREQ(szBuffer, pszCopied);
    }

    EXPECT_EQ(CompareExtension(".syx", ".SYX"), 1);
    EXPECT_EQ(CompareExtension(".syx", ".sy"), 0);
    EXPECT_EQ(CompareExtension(".syx", ".msy"), 0);
    EXPECT_EQ(CompareExtension(std::string(300, 'A').c_str(), std::string(300, 'a').c_str()), 1);

    char szText[16];
    for (const auto& [iNote, pszName] : std::vector<std::pair<int, const char*>>{
             {60, "C4"}, {59, "B3"}, {0, "C-1"}, {61, "C#4"}, {127, "G9"}, {-1, "B-2"}})
    {
        EXPECT_EQ(NoteNumberToStr(szText, iNote), int(strlen(pszName)));
        EXPECT_STREQ(szText, pszName);
    }

    EXPECT_STREQ(ExtractString(szText, "  AB  \0\0", 8), "AB");
    EXPECT_STREQ(ExtractString(szText, "        ", 8), "");
    EXPECT_STREQ(ExtractString(szText, "\t\nA B \r", 7), "A B \r") << "only spaces are trimmed";
    EXPECT_STREQ(ExtractString(szText, "ABCDEFGH", 4), "ABCD");

    for (const auto& [pszIn, nWidth, pszOut] :
         std::vector<Row>{{"AB", 5, " AB  "}, {"   ", 4, "    "}, {"    XY", 6, "  XY  "}})
    {
        strcpy(szText, pszIn);
        CenteringString(szText, nWidth);
        EXPECT_STREQ(szText, pszOut);
    }

    // Clipping takes its bounds in either order; NAN is unordered.
    EXPECT_EQ(ClipInt(5, 10, 0), 10);
    EXPECT_EQ(ClipFloat(5.0f, 10.0f, 0.0f), 0.0f);
    EXPECT_EQ(ClipInt(15, 0, 10), 10);
    EXPECT_EQ(ClipInt(-3, 0, 10), 0);
    EXPECT_EQ(ClipFloat(-3.0f, 0.0f, 1.0f), 0.0f);
    EXPECT_TRUE(std::isnan(ClipFloat(NAN, 0.0f, 1.0f)));
    EXPECT_EQ(MaxInt(3, -4) * 10 + MinInt(3, -4), 26);
    EXPECT_EQ(MaxFloat(NAN, 1.0f), 1.0f);
    EXPECT_EQ(MixFloat(NAN, 1.0f), 1.0f);
    EXPECT_EQ(MixFloat(2.0f, 3.0f), 2.0f);
    EXPECT_TRUE(ContainInt(10, 0, 10) && ContainInt(0, 0, 10) && !ContainInt(11, 0, 10));
    EXPECT_TRUE(ContainFloat(1.0f, 0.0f, 1.0f));
    EXPECT_FALSE(ContainFloat(NAN, 0.0f, 1.0f));
}
