#include "toolkit/Canvas.h"

#include "toolkit/Image.h"

#include <QEvent>
#include <QMainWindow>
#include <QPainter>
#include <QWidget>

namespace
{
constexpr const char* kLayerName = "qm_canvasLayer";

// Keeps the canvas's picture on screen: a child that covers its parent, sits behind the
// parent's other children, lets the mouse through and paints the picture anchored at the
// lower left, where the canvas's origin is.
class CanvasLayer : public QWidget
{
public:
    explicit CanvasLayer(QWidget* pContent) : QWidget(pContent)
    {
        setObjectName(kLayerName);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(pContent->rect());
        lower();
        show();
        pContent->installEventFilter(this);
    }

    void SetPicture(const QImage& picture)
    {
        m_picture = picture;
        update();
    }
    const QImage& GetPicture() const { return m_picture; }

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (pObject == parent() && pEvent->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return false;
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawImage(0, height() - m_picture.height(), m_picture);
    }

private:
    QImage m_picture;
};

QWidget* ContentOf(QWidget* pWindow)
{
    if (auto* pMain = qobject_cast<QMainWindow*>(pWindow); pMain && pMain->centralWidget())
        return pMain->centralWidget();
    return pWindow;
}

CanvasLayer* FindLayer(QWidget* pContent)
{
    return dynamic_cast<CanvasLayer*>(
        pContent->findChild<QWidget*>(kLayerName, Qt::FindDirectChildrenOnly));
}
} // namespace

cCanvas::cCanvas() = default;

cCanvas::~cCanvas()
{
    Close();
}

bool cCanvas::Open(QWidget* pWindow)
{
    Close();
    if (!pWindow)
        return false;
    QWidget* pContent = ContentOf(pWindow);
    const QSize size = pContent->size();
    if (size.isEmpty())
        return false;

    // Drawing goes on over what the window already shows, as on a window's own port.
    const CanvasLayer* pLayer = FindLayer(pContent);
    if (pLayer && pLayer->GetPicture().size() == size)
        m_picture = pLayer->GetPicture();
    else
    {
        m_picture = QImage(size, QImage::Format_ARGB32_Premultiplied);
        m_picture.fill(Qt::transparent);
    }
    m_pPainter = std::make_unique<QPainter>();
    if (!m_pPainter->begin(&m_picture))
    {
        m_pPainter.reset();
        m_picture = QImage();
        return false;
    }
    m_pContent = pContent;
    return true;
}

void cCanvas::DrawImage(int x, int y, int nWidth, int nHeight, const cImage& image)
{
    if (!m_pPainter || image.GetType() == cImage::kTypeNone)
        return;
    // y grows upward from the lower left; Qt's grows downward from the upper left.
    const QRectF target(double(x), double(m_picture.height()) - double(y) - double(nHeight),
                        double(nWidth), double(nHeight));
    m_pPainter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_pPainter->drawImage(target, image.GetImage());
}

void cCanvas::Flush()
{
    if (!m_pPainter || !m_pContent)
        return;
    // The picture is handed over whole, so the painter is ended around the copy.
    m_pPainter->end();
    CanvasLayer* pLayer = FindLayer(m_pContent);
    if (!pLayer)
        pLayer = new CanvasLayer(m_pContent);
    pLayer->SetPicture(m_picture);
    m_pPainter->begin(&m_picture);
}

void cCanvas::Close()
{
    m_pPainter.reset();
    m_picture = QImage();
    m_pContent = nullptr;
}

QWidget* cCanvas::GetLayer(QWidget* pWindow)
{
    return pWindow ? FindLayer(ContentOf(pWindow)) : nullptr;
}

QImage cCanvas::GetLayerPicture(QWidget* pWindow)
{
    const CanvasLayer* pLayer = pWindow ? FindLayer(ContentOf(pWindow)) : nullptr;
    return pLayer ? pLayer->GetPicture() : QImage();
}
