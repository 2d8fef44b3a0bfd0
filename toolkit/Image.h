#pragma once

#include <QImage>

// A picture for a cCanvas, loaded from the program's resource folder.
class cImage
{
public:
    // What the object holds; the numbers are those the toolkit has always used.
    enum
    {
        kTypeNone = 0,
        kTypePNG = 2,
    };

    cImage();
    ~cImage();

    cImage(const cImage&) = delete;
    cImage& operator=(const cImage&) = delete;

    // Reads the PNG file of that name from the top of the resource folder. true when an
    // image was made; on false the object holds what it held before.
    bool LoadPNGFromResource(const char* pszName);

    // Frees the image; the type becomes kTypeNone.
    void Release();

    int GetType() const { return m_nType; }
    const QImage& GetImage() const { return m_image; }

private:
    QImage m_image;
    int m_nType;
};
