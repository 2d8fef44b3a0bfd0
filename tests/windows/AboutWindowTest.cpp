#include "windows/AboutWindow.h"
#include "app/Application.h"
#include "platform/ui/EventTarget.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "toolkit/Canvas.h"
#include "toolkit/Control.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace
{
// The application object the about box reports to, with its command handler installed
// as Run installs it, so that About arrives as the menu item sends it.
class AboutWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_pApplication = &m_application;
        InstallEventHandler(GetApplicationEventTarget(), &CApplication::OnMacEvent, 2,
                            CApplication::sm_amMacEventList, &m_application, &m_pHandler);
    }
    void TearDown() override
    {
        RemoveEventHandler(m_pHandler);
        CloseBox();
        g_pApplication = nullptr;
    }

    QWidget* AboutWidget()
    {
        return m_application.m_pAboutWindow ? m_application.m_pAboutWindow->GetWindowRef()
                                            : nullptr;
    }

    void CloseBox()
    {
        m_application.CloseAboutWindow();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static int VisibleAboutBoxes()
    {
        int nCount = 0;
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            if (pWidget->objectName() == QLatin1String("AboutWindow") && pWidget->isVisible())
                ++nCount;
        return nCount;
    }

    CApplication m_application;
    EventHandlerRef m_pHandler = nullptr;
    const std::string m_resources = getenv("QUILLMARK_RESOURCES");
};

QImage Premultiplied(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
} // namespace

// About opens one box and brings it to the front again. The close box, a click into it and
// the keys of a dialog all close the box; the application disposes it and forgets it, and
// the next About builds a new one.
TEST_F(AboutWindowTest, OneBoxComesToTheFrontClosesByTheCloseBoxAClickOrAKeyAndDrawsItsIcon)
{
    EXPECT_EQ(ProcessHICommand(FourCharCode("Abou")), eventNotHandledErr);
    CAboutWindow* pFirst = m_application.m_pAboutWindow;
    ASSERT_EQ(VisibleAboutBoxes(), 1);
    auto* pVersion =
        qobject_cast<QLabel*>(GetControlByID(AboutWidget(), {FourCharCode("QMRK"), 1}));
    EXPECT_EQ(pVersion->text(), "Version 1.0.1") << "the version format filled with 1, 0, 1";

    // Another window comes in front of the box.
    QWidget other;
    other.show();
    other.activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), &other);

    EXPECT_EQ(ProcessHICommand(FourCharCode("Abou")), eventNotHandledErr);
    QApplication::processEvents();
    EXPECT_EQ(m_application.m_pAboutWindow, pFirst);
    EXPECT_EQ(VisibleAboutBoxes(), 1);
    EXPECT_EQ(QApplication::activeWindow(), AboutWidget());

    const std::vector<std::pair<const char*, std::function<void(QWidget*)>>> ways = {
        {"close box", [](QWidget* pBox) { pBox->close(); }},
        {"click", [](QWidget* pBox) { QTest::mouseClick(pBox, Qt::LeftButton); }},
        {"Return", [](QWidget* pBox) { QTest::keyClick(pBox, Qt::Key_Return); }},
        {"Escape", [](QWidget* pBox) { QTest::keyClick(pBox, Qt::Key_Escape); }},
    };
    for (const auto& [pszWay, close] : ways)
    {
        SCOPED_TRACE(pszWay);
        ASSERT_EQ(m_application.OpenAboutWindow(), 1);
        QPointer<QWidget> pWidget = AboutWidget();
        ASSERT_FALSE(pWidget.isNull());
        QTest::keyClick(pWidget, Qt::Key_A);
        EXPECT_NE(m_application.m_pAboutWindow, nullptr) << "another key leaves it";

        close(pWidget);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(m_application.m_pAboutWindow, nullptr);
        EXPECT_TRUE(pWidget.isNull());
        EXPECT_EQ(VisibleAboutBoxes(), 0);
    }

    // The icon is drawn at 66, 120 from the lower left, behind the texts, which stay
    // clickable; a box whose icon cannot be read shows without it, and without its layout
    // no box opens.
    ASSERT_EQ(m_application.OpenAboutWindow(), 1);
    const QImage icon =
        Premultiplied(QImage(QString::fromStdString(m_resources + "/AboutIcon.png")));
    ASSERT_EQ(icon.size(), QSize(128, 128));
    QImage picture = Premultiplied(cCanvas::GetLayerPicture(AboutWidget()));
    ASSERT_EQ(picture.size(), AboutWidget()->size());
    // The icon's top left corner, in Qt's downward coordinates.
    const int nLeft = 66, nTop = picture.height() - 120 - 128;
    int nOpaque = 0;
    for (int y = 0; y < 128; y += 7)
        for (int x = 0; x < 128; x += 7)
        {
            ASSERT_EQ(picture.pixel(nLeft + x, nTop + y), icon.pixel(x, y)) << x << "," << y;
            nOpaque += qAlpha(icon.pixel(x, y)) == 255;
        }
    EXPECT_GT(nOpaque, 50); // the comparison saw the picture, not only transparent corners
    QWidget* pLayer = cCanvas::GetLayer(AboutWidget());
    ASSERT_NE(pLayer, nullptr);
    EXPECT_TRUE(pLayer->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(AboutWidget()->children().indexOf(pLayer), 0);
    CloseBox();

    TempDir dir;
    std::filesystem::create_directories(dir.File("main"));
    std::filesystem::copy_file(m_resources + "/main/AboutWindow.ui",
                               dir.File("main/AboutWindow.ui"));
    dir.Write("AboutIcon.png", std::string("not a picture"));
    ScopedEnv resources("QUILLMARK_RESOURCES", dir.Path());
    ASSERT_EQ(m_application.OpenAboutWindow(), 1);
    ASSERT_EQ(VisibleAboutBoxes(), 1);
    picture = Premultiplied(cCanvas::GetLayerPicture(AboutWidget()));
    EXPECT_EQ(qAlpha(picture.pixel(nLeft + 64, nTop + 64)), 0) << "no icon drawn";
    CloseBox();

    std::filesystem::remove(dir.File("main/AboutWindow.ui"));
    EXPECT_EQ(m_application.OpenAboutWindow(), 1);
    EXPECT_EQ(m_application.m_pAboutWindow, nullptr);
    EXPECT_EQ(VisibleAboutBoxes(), 0);
}
