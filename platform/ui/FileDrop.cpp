#include "platform/ui/FileDrop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace
{
class CFileDropFilter : public QObject
{
public:
    CFileDropFilter(QWidget* pWindow, const std::vector<std::string>& asExtensions,
                    FileDropProcPtr pProc, void* pUserData)
        : QObject(pWindow), m_pProc(pProc), m_pUserData(pUserData)
    {
        for (const std::string& sExtension : asExtensions)
            m_asExtensions.push_back(QString::fromStdString(sExtension));
    }

    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        switch (pEvent->type())
        {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        {
            auto* pDrag = static_cast<QDropEvent*>(pEvent);
            if (!Paths(pDrag->mimeData()).empty())
                pDrag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop:
        {
            auto* pDrop = static_cast<QDropEvent*>(pEvent);
            std::vector<std::string> asPaths = Paths(pDrop->mimeData());
            if (asPaths.empty())
                return true;
            pDrop->acceptProposedAction();
            // The file manager waits for the drop to end; the files are opened after it.
            QPointer<QObject> pAlive(this);
            QTimer::singleShot(0, this,
                               [this, asPaths, pAlive]()
                               {
                                   if (pAlive)
                                       m_pProc(asPaths, m_pUserData);
                               });
            return true;
        }
        default:
            return QObject::eventFilter(pObject, pEvent);
        }
    }

private:
    std::vector<std::string> Paths(const QMimeData* pData) const
    {
        std::vector<std::string> asPaths;
        if (!pData || !pData->hasUrls())
            return asPaths;
        for (const QUrl& url : pData->urls())
        {
            const QString path = url.toLocalFile();
            if (!url.isLocalFile() || !Accepts(path))
                return {};
            asPaths.push_back(path.toLocal8Bit().toStdString());
        }
        return asPaths;
    }

    bool Accepts(const QString& path) const
    {
        if (!QFileInfo(path).isFile())
            return false;
        for (const QString& extension : m_asExtensions)
            if (path.endsWith(extension, Qt::CaseInsensitive))
                return true;
        return false;
    }

    FileDropProcPtr m_pProc;
    void* m_pUserData;
    std::vector<QString> m_asExtensions;
};
} // namespace

OSStatus InstallFileDropHandler(WindowRef pWindow, const std::vector<std::string>& asExtensions,
                                FileDropProcPtr pProc, void* pUserData)
{
    if (!pWindow || !pProc)
        return eventInternalErr;
    pWindow->setAcceptDrops(true);
    pWindow->installEventFilter(new CFileDropFilter(pWindow, asExtensions, pProc, pUserData));
    return noErr;
}
