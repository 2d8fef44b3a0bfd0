#include "toolkit/Image.h"

#include "platform/bundle/ResourceFolder.h"

#include <QString>

cImage::cImage() : m_nType(kTypeNone) {}

cImage::~cImage()
{
    Release();
}

bool cImage::LoadPNGFromResource(const char* pszName)
{
    if (!pszName || !*pszName)
        return false;
    const QString path =
        QString::fromStdString(GetResourceFolder()) + '/' + QString::fromLatin1(pszName);
    // The format is forced: a file that is not a PNG does not load, whatever its name.
    QImage image;
    if (!image.load(path, "PNG"))
        return false;
    Release();
    m_image = std::move(image);
    m_nType = kTypePNG;
    return true;
}

void cImage::Release()
{
    m_image = QImage();
    m_nType = kTypeNone;
}
