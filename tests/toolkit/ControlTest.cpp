#include "toolkit/Button.h"
#include "toolkit/EditText.h"
#include "toolkit/Popup.h"
#include "toolkit/Progress.h"
#include "toolkit/StaticText.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

// A window laid out like the program's: controls with signature QMRK and small ids.
class Controls : public testing::Test
{
protected:
    void SetUp() override
    {
        m_pPopup = AddControl<QComboBox>(&m_window, "QMRK", 3);
        m_pLabel = AddControl<QLabel>(&m_window, "QMRK", 2);
        m_pButton = AddControl<QPushButton>(&m_window, "QMRK", 5);
        m_pProgress = AddControl<QProgressBar>(&m_window, "QMRK", 6);
        m_pProgress->setRange(0, 100);
        m_pField = AddControl<QLineEdit>(&m_window, "QMRK", 8);
        m_pOther = AddControl<QLabel>(&m_window, "XXXX", 2);
    }

    void AddPorts(cPopup& popup, int nCount)
    {
        for (int i = 1; i <= nCount; ++i)
        {
            std::string text = "Port " + std::to_string(i);
            popup.m_cPopupMenu.AddItem(text.data(), 0);
        }
    }

    QWidget m_window;
    QComboBox* m_pPopup = nullptr;
    QLabel* m_pLabel = nullptr;
    QPushButton* m_pButton = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLineEdit* m_pField = nullptr;
    QLabel* m_pOther = nullptr;
};
} // namespace

TEST_F(Controls, ControlsAreFoundBySignatureAndId)
{
    EXPECT_EQ(GetControlByID(&m_window, {kSignature, 2}), m_pLabel);
    EXPECT_EQ(GetControlByID(&m_window, {FourCharCode("XXXX"), 2}), m_pOther);
    EXPECT_EQ(GetControlByID(&m_window, {kSignature, 9}), nullptr);
    EXPECT_EQ(GetControlByID(nullptr, {kSignature, 2}), nullptr);

    cStaticText text(&m_window, kSignature, 2);
    EXPECT_EQ(text.GetControl(), m_pLabel);
}

TEST_F(Controls, PopupSelectionIsAnIndexFromZero)
{
    cPopup popup;
    popup.SetControl(&m_window, kSignature, 3);
    EXPECT_EQ(m_pPopup->maxCount(), cPopup::kMaxItems);
    EXPECT_EQ(popup.GetSelectItem(), -1); // empty: nothing selected
    AddPorts(popup, 3);
    EXPECT_EQ(popup.GetSelectItem(), 0); // Qt selects the first item added

    popup.SetSelectItem(1);
    EXPECT_EQ(m_pPopup->currentIndex(), 1);
    EXPECT_EQ(popup.GetSelectItem(), 1);
    EXPECT_EQ(popup.GetValue(), 2);
    popup.SetSelectItem(0);
    EXPECT_EQ(m_pPopup->currentText(), "Port 1");
}

TEST_F(Controls, MenuItemsAreNumberedFromOne)
{
    cPopup popup(&m_window, kSignature, 3);
    AddPorts(popup, 3);
    char szText[256];
    memset(szText, 'x', sizeof(szText));
    popup.m_cPopupMenu.GetItemText(1, szText);
    EXPECT_STREQ(szText, "Port 1");
    popup.m_cPopupMenu.GetItemText(3, szText);
    EXPECT_STREQ(szText, "Port 3");
    popup.m_cPopupMenu.GetItemText(4, szText);
    EXPECT_STREQ(szText, "");
    EXPECT_EQ(popup.m_cPopupMenu.GetNumberOfMenuItem(), 3);

    char szInserted[] = "Port 1b";
    popup.m_cPopupMenu.InsertItem(szInserted, 0, 1);
    popup.m_cPopupMenu.GetItemText(2, szText);
    EXPECT_STREQ(szText, "Port 1b");
    popup.m_cPopupMenu.DeleteItem(1);
    popup.m_cPopupMenu.GetItemText(1, szText);
    EXPECT_STREQ(szText, "Port 1b");

    popup.m_cPopupMenu.SetValue(2, 77);
    EXPECT_EQ(popup.m_cPopupMenu.GetValue(2), 77);
    popup.m_cPopupMenu.DisableItem(2);
    EXPECT_FALSE(popup.m_cPopupMenu.GetValue(9));

    popup.m_cPopupMenu.Clear();
    EXPECT_EQ(m_pPopup->count(), 0);
    EXPECT_EQ(popup.GetSelectItem(), -1);
}

TEST_F(Controls, PopupHoldsAtMostTwoHundredItems)
{
    cPopup popup(&m_window, kSignature, 3);
    AddPorts(popup, 201);
    EXPECT_EQ(popup.m_cPopupMenu.GetNumberOfMenuItem(), 200);
    popup.SetSelectItem(199);
    EXPECT_EQ(popup.GetSelectItem(), 199);
    popup.SetSelectItem(250); // beyond the maximum: clipped to it
    EXPECT_EQ(popup.GetSelectItem(), 199);
}

TEST_F(Controls, ItemTextsPassAtMost255Bytes)
{
    cPopup popup(&m_window, kSignature, 3);
    std::string longName(300, 'a');
    popup.m_cPopupMenu.AddItem(longName.data(), 0);
    char szText[256];
    popup.m_cPopupMenu.GetItemText(1, szText);
    EXPECT_EQ(std::string(szText), std::string(255, 'a'));

    // A cut never splits a character: 127 two-byte characters fill 254 bytes.
    std::string umlauts;
    for (int i = 0; i < 130; ++i)
        umlauts += "\xC3\xA4";
    popup.m_cPopupMenu.SetItemText(1, umlauts.data());
    popup.m_cPopupMenu.GetItemText(1, szText);
    EXPECT_EQ(strlen(szText), 254u);
    EXPECT_EQ(m_pPopup->itemText(0).size(), 127);
}

TEST_F(Controls, AttachedFlagIsNotTheEnabledState)
{
    m_pButton->setEnabled(false);
    cButton button;
    EXPECT_EQ(button.IsEnabled(), 0);
    button.SetControl(&m_window, kSignature, 5);
    EXPECT_EQ(button.IsEnabled(), 1);
    EXPECT_EQ(button.GetEnabled(), 0);
    button.SetEnabled(true);
    EXPECT_TRUE(m_pButton->isEnabled());
    EXPECT_EQ(button.GetEnabled(), 1);

    cButton missing(&m_window, kSignature, 42);
    EXPECT_EQ(missing.IsEnabled(), 1);
    EXPECT_EQ(missing.GetControl(), nullptr);
}

TEST_F(Controls, TextsAndCaptionsReachTheirWidgets)
{
    cStaticText status(&m_window, kSignature, 2);
    char szStatus[] = "Receiving 512 bytes";
    status.Set(szStatus);
    EXPECT_EQ(m_pLabel->text(), "Receiving 512 bytes");

    cButton button(&m_window, kSignature, 5);
    char szCaption[] = "Close";
    button.SetCaption(szCaption);
    EXPECT_EQ(m_pButton->text(), "Close");
    char szHelp[] = "Ends the transfer";
    button.SetHelp(szHelp);
    EXPECT_EQ(m_pButton->toolTip(), "Ends the transfer");

    cEditText field(&m_window, kSignature, 8);
    char szName[] = "Received.syx";
    field.Set(szName);
    char szShort[5];
    field.Get(szShort, sizeof(szShort));
    EXPECT_STREQ(szShort, "Rece");

    cProgress progress;
    progress.SetControl(&m_window, kSignature, 6);
    progress.Set(51);
    EXPECT_EQ(m_pProgress->value(), 51);
    EXPECT_EQ(progress.Get(), 51);
}

TEST_F(Controls, UnboundControlsDoNothing)
{
    m_pLabel->setText("Idle");
    cStaticText unbound;
    char szText[] = "changed";
    unbound.Set(szText);
    unbound.SetTitle(szText);
    unbound.SetEnabled(false); // a null control: nothing to disable
    unbound.SetValue(3);
    EXPECT_EQ(unbound.GetValue(), 0);
    EXPECT_EQ(unbound.GetEnabled(), 0);
    EXPECT_EQ(m_pLabel->text(), "Idle");

    cPopup popup;
    popup.m_cPopupMenu.AddItem(szText, 0);
    EXPECT_EQ(popup.m_cPopupMenu.GetNumberOfMenuItem(), 0);
    EXPECT_EQ(popup.GetSelectItem(), -1);

    cProgress progress;
    progress.Set(50);
    EXPECT_EQ(progress.Get(), 0);

    cEditText field;
    char szBuffer[8] = "x";
    field.Get(szBuffer, sizeof(szBuffer));
    EXPECT_STREQ(szBuffer, "");
}

TEST_F(Controls, ButtonMenuIsAMenuOfItemsFromOne)
{
    auto* pMenu = new QMenu(m_pButton);
    m_pButton->setMenu(pMenu);
    cButton button(&m_window, kSignature, 5);
    EXPECT_EQ(button.GetMenu(), nullptr);
    button.SetMenu();
    ASSERT_EQ(button.GetMenu(), pMenu);

    char szFirst[] = "Bank A";
    char szSecond[] = "Bank B";
    button.m_cPopupMenu.AddItem(szFirst, FourCharCode("BnkA"));
    button.m_cPopupMenu.AddItem(szSecond, FourCharCode("BnkB"));
    EXPECT_EQ(button.m_cPopupMenu.GetNumberOfMenuItem(), 2);
    EXPECT_EQ(cPopupMenu::GetItemCommand(pMenu, 2), FourCharCode("BnkB"));

    EXPECT_EQ(button.GetMenuSelectedItem(), 0);
    button.SetMenuSelectedItem(2);
    EXPECT_EQ(button.GetMenuSelectedItem(), 2);
    button.m_cPopupMenu.HideItem(1);
    EXPECT_FALSE(pMenu->actions().at(0)->isVisible());
    button.m_cPopupMenu.Clear();
    EXPECT_TRUE(pMenu->actions().isEmpty());
}
