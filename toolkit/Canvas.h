#pragma once

#include <QImage>
#include <QPointer>

#include <memory>

class QPainter;
class QWidget;
class cImage;

// Drawing into a window. A Qt window paints itself on demand, so the canvas keeps what
// was drawn in a picture layer behind the window's controls (a child widget covering its
// content) that repaints it whenever needed. Coordinates have their origin at the lower
// left of the content, y growing upward. Main thread only.
class cCanvas
{
public:
    cCanvas();
    ~cCanvas();

    cCanvas(const cCanvas&) = delete;
    cCanvas& operator=(const cCanvas&) = delete;

    // Starts drawing into the window's content (the central widget of a main window,
    // else the window). false for a null window or one without area; a canvas that is
    // already open is closed first.
    bool Open(QWidget* pWindow);

    // Draws the image scaled into the rectangle, without smoothing. Nothing when the
    // canvas is closed or the image holds nothing.
    void DrawImage(int x, int y, int nWidth, int nHeight, const cImage& image);

    // Shows what has been drawn so far.
    void Flush();

    // Ends drawing without showing what was drawn since the last Flush.
    void Close();

    bool IsOpen() const { return m_pPainter != nullptr; }

    // The picture layer of the window's content, null when nothing was ever flushed
    // there. Its picture is what the canvas showed last.
    static QWidget* GetLayer(QWidget* pWindow);
    static QImage GetLayerPicture(QWidget* pWindow);

private:
    QPointer<QWidget> m_pContent;
    QImage m_picture;
    std::unique_ptr<QPainter> m_pPainter;
};
