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
    std::string ItemText(cPopupMenu& menu, int nItem)
    {
        char szText[256];
        memset(szText, 'x', sizeof(szText));
        menu.GetItemText(nItem, szText);
        return szText;
    }

    QWidget m_window;
    QComboBox* m_pPopup = AddControl<QComboBox>(&m_window, "QMRK", 3);
    QLabel* m_pLabel = AddControl<QLabel>(&m_window, "QMRK", 2);
    QPushButton* m_pButton = AddControl<QPushButton>(&m_window, "QMRK", 5);
    QLineEdit* m_pField = AddControl<QLineEdit>(&m_window, "QMRK", 8);
    QLabel* m_pOther = AddControl<QLabel>(&m_window, "XXXX", 2);
};
} // namespace

TEST_F(Controls, FoundBySignatureAndIdUnboundOnesDoNothingAndThePopupMenuCountsFromOne)
{
    EXPECT_EQ(GetControlByID(&m_window, {kSignature, 2}), m_pLabel);
    EXPECT_EQ(GetControlByID(&m_window, {FourCharCode("XXXX"), 2}), m_pOther);
    EXPECT_EQ(GetControlByID(&m_window, {kSignature, 9}), nullptr);
    EXPECT_EQ(GetControlByID(nullptr, {kSignature, 2}), nullptr);

    m_pLabel->setText("Idle");
    char szText[] = "changed";
    cStaticText unbound;
    unbound.Set(szText);
    unbound.SetTitle(szText);
    unbound.SetEnabled(false);
    unbound.SetValue(3);
    EXPECT_EQ(unbound.GetValue() + unbound.GetEnabled(), 0);
    EXPECT_EQ(m_pLabel->text(), "Idle");
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
    cPopup popup(&m_window, kSignature, 3);
    for (int i = 1; i <= 201; ++i)
    {
        std::string text = "Port " + std::to_string(i);
        popup.m_cPopupMenu.AddItem(text.data(), 0);
    }
    EXPECT_EQ(popup.m_cPopupMenu.GetNumberOfMenuItem(), 200);
    EXPECT_EQ(popup.GetSelectItem(), 0);
    popup.SetSelectItem(1);
    EXPECT_EQ(m_pPopup->currentIndex(), 1);
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
    EXPECT_EQ(m_pPopup->count(), 0);
    EXPECT_EQ(popup.GetSelectItem(), -1);
}

TEST_F(Controls, TextsCaptionsMenusAndTheAttachedFlagReachTheirWidgets)
{
    m_pButton->setEnabled(false);
    cButton button;
    EXPECT_EQ(button.IsEnabled(), 0);
    button.SetControl(&m_window, kSignature, 5);
    EXPECT_EQ(button.IsEnabled(), 1); // attached, which is not the enabled state
    EXPECT_EQ(button.GetEnabled(), 0);
    button.SetEnabled(true);
    EXPECT_TRUE(m_pButton->isEnabled());
    char szCaption[] = "Close", szHelp[] = "Ends the transfer";
    button.SetCaption(szCaption);
    button.SetHelp(szHelp);
    EXPECT_EQ(m_pButton->text(), "Close");
    EXPECT_EQ(m_pButton->toolTip(), "Ends the transfer");

    cStaticText status(&m_window, kSignature, 2);
    char szStatus[] = "Receiving 512 bytes";
    status.Set(szStatus);
    EXPECT_EQ(m_pLabel->text(), "Receiving 512 bytes");

    cEditText field(&m_window, kSignature, 8);
    char szName[] = "Received.syx", szShort[5];
    field.Set(szName);
    field.Get(szShort, sizeof(szShort));
    EXPECT_STREQ(szShort, "Rece");

    auto* pBar = AddControl<QProgressBar>(&m_window, "QMRK", 6);
    pBar->setRange(0, 100);
    cProgress progress;
    progress.SetControl(&m_window, kSignature, 6);
    progress.Set(51);
    EXPECT_EQ(pBar->value(), 51);
    EXPECT_EQ(progress.Get(), 51);

    // A button's menu counts its items from 1.
    auto* pMenu = new QMenu(m_pButton);
    m_pButton->setMenu(pMenu);
    cButton menu(&m_window, kSignature, 5);
    EXPECT_EQ(menu.GetControl(), m_pButton);
    EXPECT_EQ(menu.GetMenu(), nullptr);
    menu.SetMenu();
    ASSERT_EQ(menu.GetMenu(), pMenu);
    char szFirst[] = "Bank A", szSecond[] = "Bank B";
    menu.m_cPopupMenu.AddItem(szFirst, FourCharCode("BnkA"));
    menu.m_cPopupMenu.AddItem(szSecond, FourCharCode("BnkB"));
    EXPECT_EQ(cPopupMenu::GetItemCommand(pMenu, 2), FourCharCode("BnkB"));
    EXPECT_EQ(menu.GetMenuSelectedItem(), 0);
    menu.SetMenuSelectedItem(2);
    EXPECT_EQ(menu.GetMenuSelectedItem(), 2);
    menu.m_cPopupMenu.HideItem(1);
    EXPECT_FALSE(pMenu->actions().at(0)->isVisible());
    menu.m_cPopupMenu.Clear();
    EXPECT_TRUE(pMenu->actions().isEmpty());
}
