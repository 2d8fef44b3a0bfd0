// The main window's device menus follow devices as they are plugged in and out. These run
// on the virtual back end here and, in the alsa-vm VM, on the kernel's sequencer.

#include "MainWindowFixture.h"

namespace
{
class MainWindowHotPlug : public MainWindowFixture
{
protected:
    // Opened past the window's first half second.
    void Open(const char* pszRememberedOut)
    {
        Remember("", pszRememberedOut);
        ASSERT_NE(OpenMainWindow(), nullptr);
        PumpFor(600);
    }
};
} // namespace

TEST_F(MainWindowHotPlug, ARememberedDeviceThatIsPluggedInIsSelectedAndNoLongerMarked)
{
    const QByteArray remembered = PluggedName().toUtf8();
    Open(remembered.constData());
    const QString marked = PluggedName() + " (Not Connected)";
    EXPECT_EQ(MidiOut()->currentText(), marked);
    PlugIn();
    ASSERT_TRUE(PumpUntil([&] { return PluggedListed() == 1; }));
    EXPECT_EQ(MidiOut()->currentText(), PluggedName());
    EXPECT_EQ(MidiOut()->findText(marked), -1);
}

TEST_F(MainWindowHotPlug, DevicesThatArriveLateInABurstAreListedAndDroppedWhenUnplugged)
{
    Open("");
    // Three changes 150 ms apart: the refill at the first one cannot see the others.
    for (int i = 0; i < 3; ++i)
    {
        PlugIn();
        PumpFor(150);
    }
    EXPECT_TRUE(PumpUntil([&] { return PluggedListed() == 3; }));

    // So is a device that comes right after the window was made.
    CloseMainWindow();
    OpenMainWindow();
    PlugIn();
    EXPECT_TRUE(PumpUntil([&] { return PluggedListed() == 4; }));
    // Unplugged, they are dropped.
    UnplugAll();
    EXPECT_TRUE(PumpUntil([&] { return PluggedListed() == 0; }));
}
