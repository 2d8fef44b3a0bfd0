#include "WindowFixture.h"

#include "file/SysExDump.h"
#include "toolkit/Utility.h"
#include "windows/HexRowModel.h"
#include "windows/MessageWindow.h"
#include "windows/ReceiveWindow.h"
#include "windows/SysExMessageModel.h"
#include "windows/TransmitWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBrush>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QTableView>

#include <filesystem>
#include <memory>
#include <string>

namespace
{
// GS reset with its sum right, and wrong; GM System On (no sum); a Yamaha message cut off.
const Bytes kRoland = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
const Bytes kRolandBad = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x40, 0xF7};
const Bytes kGMOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
const Bytes kYamahaCut = {0xF0, 0x43, 0x00, 0x09, 0x00};

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

// The message window while it is up, or null.
QWidget* MessageWindowUp()
{
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        if (pWidget->objectName() == "MessageWindow" && pWidget->isVisible())
            return pWidget;
    return nullptr;
}

QTableView* Table(QWidget* pWindow)
{
    return pWindow ? pWindow->findChild<QTableView*>("messageTable") : nullptr;
}

void Select(QWidget* pWindow, std::initializer_list<int> rows)
{
    QTableView* pTable = Table(pWindow);
    ASSERT_NE(pTable, nullptr);
    pTable->clearSelection();
    for (int iRow : rows)
        pTable->selectionModel()->select(pTable->model()->index(iRow, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void Click(QWidget* pWindow, const char* pszButton)
{
    auto* pButton = pWindow ? pWindow->findChild<QAbstractButton*>(pszButton) : nullptr;
    ASSERT_NE(pButton, nullptr) << pszButton;
    ASSERT_TRUE(pButton->isEnabled()) << pszButton;
    pButton->click();
}

class MessageWindowTest : public WindowFixture
{
protected:
    Bytes m_dumpBytes = Joined({kRoland, kRolandBad, kGMOn, kYamahaCut});
};

struct tagRowCase
{
    int iRow;
    const char* apszTexts[CSysExMessageModel::kColumnCount];
    const char* pszChecksumKey;
};

const tagRowCase kRows[] = {
    {0, {"1", "Roland", "10", "11", "42 12 40 00 7F 00 41", nullptr}, "ChecksumOK"},
    {1, {"2", "Roland", "10", "11", "42 12 40 00 7F 00 40", nullptr}, "ChecksumBad"},
    {2,
     {"3", "Universal Non-Real Time: GM System On", "7F", "6", "09 01", nullptr},
     "ChecksumNone"},
    {3, {"4", "Yamaha", "00", "5", "09 00", nullptr}, "ChecksumUnterminated"},
};
} // namespace

TEST_F(MessageWindowTest, TheModelShowsEachMessagesColumns)
{
    CSysExDump dump;
    dump.Assign(m_dumpBytes);
    CSysExMessageModel model(dump.Index());
    ASSERT_EQ(model.rowCount(), 4);
    ASSERT_EQ(model.columnCount(), int(CSysExMessageModel::kColumnCount));
    for (const tagRowCase& row : kRows)
    {
        SCOPED_TRACE(row.iRow);
        for (int iColumn = 0; iColumn < CSysExMessageModel::kChecksum; ++iColumn)
            EXPECT_EQ(model.data(model.index(row.iRow, iColumn)).toString(),
                      QString::fromLatin1(row.apszTexts[iColumn]));
        EXPECT_EQ(model.data(model.index(row.iRow, CSysExMessageModel::kChecksum)).toString(),
                  Text(row.pszChecksumKey));
        // Only a BAD sum stands out.
        EXPECT_EQ(
            model.data(model.index(row.iRow, CSysExMessageModel::kChecksum), Qt::ForegroundRole)
                .isValid(),
            row.iRow == 1);
    }
    EXPECT_FALSE(model.data(model.index(4, 0)).isValid());
}

TEST_F(MessageWindowTest, TheHexModelShowsSixteenBytesARowAtTheirOffsetInTheDump)
{
    CHexRowModel model;
    const Bytes bytes = Joined({kRoland, kRoland});
    model.SetBytes(bytes.data(), bytes.size(), 0x20);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(1, 0)).toString(),
              "000030  40 00 7F 00 41 F7                                 @...A.");
    model.SetBytes(nullptr, 0, 0);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(MessageWindowTest, SavesTheSelectedMessagesAsANewFile)
{
    CSysExDump dump;
    dump.Assign(m_dumpBytes);
    CMessageWindow window(dump, false);
    ASSERT_EQ(window.Create(nullptr), 1);
    const std::string sPath = m_dir.File("chosen.syx");
    WindowScript script;
    script.Then(
        "shown", [] { return MessageWindowUp() != nullptr; },
        [&]
        {
            QWidget* pWindow = MessageWindowUp();
            EXPECT_EQ(pWindow->findChild<QLabel*>("summaryText")->text(),
                      Text("MessageSummary", 4, int(m_dumpBytes.size()), 1, 1));
            EXPECT_FALSE(pWindow->findChild<QAbstractButton*>("sendSelectedButton")->isVisible());
            // The first message is current: its bytes are in the hex view.
            EXPECT_EQ(pWindow->findChild<QListView*>("hexView")->model()->rowCount(), 1);
            Select(pWindow, {2, 0});
            m_driver.ChooseFile(QString::fromStdString(sPath));
            Click(pWindow, "saveSelectedButton");
        });
    script.Then(
        "saved", [&] { return std::filesystem::exists(sPath) && !DialogUp(); },
        [&] { Click(MessageWindowUp(), "closeButton"); });
    script.RunModal(window);
    window.Destroy();

    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(TempDir::Read(sPath), Joined({kRoland, kGMOn})) << "in the order of the dump";
    EXPECT_TRUE(window.GetMessagesToSend().empty());
    ASSERT_EQ(m_driver.Seen().size(), 1u);
    EXPECT_EQ(m_driver.Seen()[0].title, Text("Save Selected Messages"));
}

TEST_F(MessageWindowTest, TheReceiveWindowTellsOfABadSumAndSavesSelectedMessages)
{
    const MIDIEndpointRef hSource = m_pVirtual->AddSource("Synth Co", "Port 1");
    m_pVirtual->WaitIdle();
    ASSERT_EQ(m_pManager->MidiInOpenByName("Synth Co - Port 1"), 1);
    CReceiveWindow window;
    ASSERT_EQ(window.Create(nullptr), 1);
    PumpFor(220);
    const std::string sPath = m_dir.File("part.syx");
    WindowScript script;
    script.Then(
        "shown", [&] { return IsShown(window) && !ControlEnabled(window, 16); },
        [&] { m_pVirtual->Inject(hSource, {kRolandBad}); });
    script.Then(
        "the bad sum told", [&] { return ControlText(window, 2) == Text("StatusReceiveCompleteBad", int(kRolandBad.size()), 1); },
        [&] { ClickButton(window, 16); });
    script.Then(
        "the messages shown", [] { return MessageWindowUp() != nullptr; },
        [&]
        {
            QWidget* pWindow = MessageWindowUp();
            ASSERT_EQ(Table(pWindow)->model()->rowCount(), 1);
            Select(pWindow, {0});
            m_driver.ChooseFile(QString::fromStdString(sPath));
            Click(pWindow, "saveSelectedButton");
        });
    script.Then(
        "saved", [&] { return std::filesystem::exists(sPath) && !DialogUp(); },
        [&] { Click(MessageWindowUp(), "closeButton"); });
    // The dump itself was not saved: closing asks.
    script.Then(
        "back in the receive window", [] { return MessageWindowUp() == nullptr; },
        [&]
        {
            m_driver.PressButton(QMessageBox::Discard);
            ClickButton(window, 5);
        });
    script.RunModal(window);
    window.Destroy();

    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(TempDir::Read(sPath), kRolandBad);
}

TEST_F(MessageWindowTest, TheTransmitWindowSendsJustTheSelectedMessagesThenTheWholeFile)
{
    const MIDIEndpointRef hDestination = m_pVirtual->AddDestination("Synth Co", "Port 1");
    m_pVirtual->WaitIdle();
    ASSERT_EQ(m_pManager->MidiOutOpenByName("Synth Co - Port 1"), 1);
    CTransmitWindow window;
    ASSERT_EQ(window.Create(nullptr), 1);
    const Bytes file = Joined({kRoland, kGMOn, kRolandBad});
    const Bytes selection = Joined({kGMOn, kRolandBad});
    m_driver.ChooseFile(QString::fromStdString(m_dir.Write("bank.syx", file)));
    const auto status = [&] { return ControlText(window, 3); };
    WindowScript script;
    script.Then(
        "ready", [&] { return status() == Text("StatusTransmitReady", int(file.size())); },
        [&] { ClickButton(window, 15); });
    script.Then(
        "the messages shown", [] { return MessageWindowUp() != nullptr; },
        [&]
        {
            QWidget* pWindow = MessageWindowUp();
            Select(pWindow, {1, 2});
            Click(pWindow, "sendSelectedButton");
        });
    script.Then(
        "the selection sent",
        [&]
        {
            return status() == Text("StatusTransmitComplete", int(selection.size())) &&
                   ControlText(window, 7) == Text("ButtonStart");
        },
        [&]
        {
            EXPECT_EQ(m_pVirtual->Captured(hDestination), selection);
            ClickButton(window, 7);
        });
    script.Then(
        "the whole file sent",
        [&]
        {
            return status() == Text("StatusTransmitComplete", int(file.size())) &&
                   ControlText(window, 7) == Text("ButtonClose");
        },
        [&] { ClickButton(window, 7); });
    script.RunModal(window);
    window.Destroy();

    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(m_pVirtual->Captured(hDestination), Joined({selection, file}));
}
