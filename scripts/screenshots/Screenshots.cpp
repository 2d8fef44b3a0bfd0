// Takes the README's screenshots: runs the application on the virtual MIDI back end,
// goes through a reception and a transmission with the virtual instrument as a user
// would, and saves each window as it looks then (QWidget::grab) into the folder given
// as the first argument: main-window.png, receive-window.png, transmit-window.png.

#include "app/Application.h"
#include "platform/ui/EventTarget.h"
#include "support/DialogDriver.h"
#include "toolkit/Control.h"
#include "windows/MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace
{
constexpr uint32_t kSignature = FourCharCode("QMRK");

QString sg_outputFolder;
int sg_nFailures = 0;

void Fail(const char* pszWhat)
{
    fprintf(stderr, "screenshots: %s\n", pszWhat);
    ++sg_nFailures;
}

// Runs the event loop until the condition holds; false after the time-out.
bool WaitFor(const std::function<bool()>& condition, int nTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition())
    {
        if (timer.elapsed() > nTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void Settle()
{
    WaitFor([] { return false; }, 150);
}

// The window as grabbed, under a plain title bar with its title: the virtual display
// has no window manager to draw one.
QImage Framed(QWidget* pWindow)
{
    const QPixmap content = pWindow->grab();
    const int nTitle = 30;
    QImage image(content.width() + 2, content.height() + nTitle + 1, QImage::Format_RGB32);
    image.fill(QColor(0xa0, 0xa0, 0xa0));
    QPainter painter(&image);
    const QRect titleBar(1, 1, content.width(), nTitle - 1);
    painter.fillRect(titleBar, QColor(0xde, 0xde, 0xde));
    QFont font = pWindow->font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x30, 0x30, 0x30));
    painter.drawText(titleBar, Qt::AlignCenter, pWindow->windowTitle());
    painter.drawPixmap(1, nTitle, content);
    return image;
}

void Save(QWidget* pWindow, const char* pszName)
{
    if (!pWindow)
        return Fail("no window to take");
    Settle();
    const QString path = QDir(sg_outputFolder).filePath(QString::fromLatin1(pszName));
    if (!Framed(pWindow).save(path))
        return Fail("cannot write a screenshot");
    printf("%s\n", qPrintable(path));
}

template <class T> T* Control(QWidget* pWindow, int nID)
{
    return qobject_cast<T*>(GetControlByID(pWindow, {kSignature, nID}));
}

QWidget* ModalWindow(const char* pszName)
{
    QWidget* pModal = QApplication::activeModalWidget();
    return pModal && pModal->objectName() == QLatin1String(pszName) ? pModal : nullptr;
}

// A patch bank of 160 voices in 7-bit data, as an instrument would send it.
QByteArray PatchBank()
{
    QByteArray bytes("\xF0\x7D\x51\x4D\x02", 5);
    for (int i = 0; i < 160 * 128; ++i)
        bytes.append(char((i * 13 + i / 128) & 0x7F));
    bytes.append(char(0xF7));
    return bytes;
}

// Goes through the windows one step at a time, driven by a timer that also fires inside
// the modal loops. Whatever blocks (a button that runs a modal window or a transmission)
// is pressed from a timer of its own, so that the steps go on meanwhile.
class CTour
{
public:
    CTour(QWidget* pMain, const QString& syxPath) : m_pMain(pMain), m_syxPath(syxPath)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this]() { Step(); });
        m_timer.start(50);
        m_clock.start();
    }

private:
    static void PressLater(QAbstractButton* pButton)
    {
        QTimer::singleShot(0, pButton, [pButton]() { pButton->click(); });
    }

    void Next(int nState)
    {
        m_nState = nState;
        m_clock.restart();
    }

    void Step()
    {
        if (m_clock.elapsed() > 20000)
        {
            fprintf(stderr, "screenshots: stuck at step %d\n", m_nState);
            exit(1);
        }
        switch (m_nState)
        {
        case 0: // the main window with the virtual instrument chosen
            Save(m_pMain, "main-window.png");
            PressLater(Control<QAbstractButton>(m_pMain, 4));
            Next(1);
            break;
        case 1: // a dump from the virtual instrument has arrived
            if (QWidget* pWindow = ModalWindow("ReceiveWindow"))
            {
                auto* pSave = Control<QAbstractButton>(pWindow, 6);
                if (!pSave || !pSave->isEnabled())
                    return;
                Save(pWindow, "receive-window.png");
                // Closing asks about the unsaved dump.
                m_dialogs.PressButton(QMessageBox::Discard);
                PressLater(Control<QAbstractButton>(pWindow, 5));
                Next(2);
            }
            break;
        case 2: // receive window gone: transmit a patch bank
            if (ModalWindow("ReceiveWindow") || QApplication::activeModalWidget())
                return;
            m_dialogs.ChooseFile(m_syxPath);
            PressLater(Control<QAbstractButton>(m_pMain, 8));
            Next(3);
            break;
        case 3: // the file is chosen and ready: Start
            if (QWidget* pWindow = ModalWindow("TransmitWindow"))
            {
                auto* pButton = Control<QAbstractButton>(pWindow, 7);
                if (!pButton || m_clock.elapsed() < 300)
                    return;
                PressLater(pButton);
                Next(4);
            }
            break;
        case 4: // half way through: take it, then Cancel, which closes the window
            if (QWidget* pWindow = ModalWindow("TransmitWindow"))
            {
                auto* pProgress = Control<QProgressBar>(pWindow, 6);
                if (!pProgress || pProgress->value() < 45)
                    return;
                Save(pWindow, "transmit-window.png");
                Control<QAbstractButton>(pWindow, 7)->click();
                Next(5);
            }
            break;
        case 5:
            if (QApplication::activeModalWidget())
                return;
            m_timer.stop();
            m_pMain->close();
            break;
        }
    }

    QWidget* m_pMain;
    QString m_syxPath;
    QTimer m_timer;
    QElapsedTimer m_clock;
    DialogDriver m_dialogs;
    int m_nState = 0;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication qtApplication(argc, argv);
    if (argc < 2)
    {
        fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    sg_outputFolder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(sg_outputFolder);

    QTemporaryDir files;
    const QString syxPath = files.filePath(QStringLiteral("Patch Bank A.syx"));
    QFile syx(syxPath);
    if (!syx.open(QIODevice::WriteOnly) || syx.write(PatchBank()) < 0)
        return 1;
    syx.close();

    g_pApplication = new CApplication;
    std::unique_ptr<CTour> pTour;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout,
                     [&]()
                     {
                         CMainWindow* pMainWindow = g_pApplication->m_pMainWindow;
                         QWidget* pMain = pMainWindow ? pMainWindow->GetWindowRef() : nullptr;
                         if (!pMain || !pMain->isVisible())
                             return;
                         poll.stop();
                         pTour = std::make_unique<CTour>(pMain, syxPath);
                     });
    poll.start(50);
    g_pApplication->Run();
    pTour.reset();
    delete g_pApplication;
    g_pApplication = nullptr;
    return sg_nFailures == 0 ? 0 : 1;
}
