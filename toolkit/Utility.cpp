#include "toolkit/Utility.h"

#include "platform/bundle/ResourceFolder.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTranslator>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
char sg_sResourceString[256];

// The loaded strings tables, the user's language first, then English. Reloaded when
// the resource folder or the language changes.
struct tagStringTables
{
    std::string folder;
    std::string language;
    bool bLoaded = false;
    std::vector<std::unique_ptr<QTranslator>> translators;
};

tagStringTables& StringTables()
{
    static tagStringTables tables;
    const std::string folder = GetResourceFolder() + "/strings";
    const std::string language = GetUserLanguageTag();
    if (tables.bLoaded && tables.folder == folder && tables.language == language)
        return tables;

    tables.bLoaded = true;
    tables.folder = folder;
    tables.language = language;
    tables.translators.clear();
    // "de_AT" tries quillmark_de_AT, then quillmark_de; English is the last resort.
    std::vector<std::string> names;
    if (!language.empty())
    {
        names.push_back("quillmark_" + language);
        if (const size_t separator = language.find('_'); separator != std::string::npos)
            names.push_back("quillmark_" + language.substr(0, separator));
    }
    bool bFoundUserLanguage = false;
    for (const std::string& name : names)
    {
        auto pTranslator = std::make_unique<QTranslator>();
        if (pTranslator->load(QString::fromStdString(name), QString::fromStdString(folder)))
        {
            tables.translators.push_back(std::move(pTranslator));
            bFoundUserLanguage = true;
            break;
        }
    }
    if (!bFoundUserLanguage || language.rfind("en", 0) != 0)
    {
        auto pTranslator = std::make_unique<QTranslator>();
        if (pTranslator->load(QStringLiteral("quillmark_en"), QString::fromStdString(folder)))
            tables.translators.push_back(std::move(pTranslator));
    }
    return tables;
}

QString LookUpResourceString(const char* pszKey)
{
    for (const auto& pTranslator : StringTables().translators)
    {
        const QString text = pTranslator->translate(nullptr, pszKey);
        if (!text.isEmpty())
            return text;
    }
    return C2CFString(pszKey);
}

// How long one dispatch may go on while events keep coming in: a steady stream of
// events must not keep the caller's own loop from running.
constexpr int kMaxDispatchMs = 50;
} // namespace

char* GetResourceString(const char* pszKey)
{
    CF2CString(sg_sResourceString, LookUpResourceString(pszKey ? pszKey : ""),
               sizeof(sg_sResourceString));
    return sg_sResourceString;
}

QString C2CFString(const char* pszText)
{
    return QString::fromLocal8Bit(pszText ? pszText : "");
}

int CF2CString(char* pszDest, const QString& str, int iSize)
{
    if (!pszDest || iSize < 1)
        return 0;
    const QByteArray bytes = str.toLocal8Bit();
    if (bytes.size() < iSize)
    {
        memcpy(pszDest, bytes.constData(), size_t(bytes.size()) + 1);
        return 1;
    }
    // Cut before the character that no longer fits, never inside it.
    qsizetype nLength = iSize - 1;
    while (nLength > 0 && (uchar(bytes[nLength]) & 0xC0) == 0x80)
        --nLength;
    memcpy(pszDest, bytes.constData(), size_t(nLength));
    pszDest[nLength] = '\0';
    return 0;
}

void GetFSSpecFileName(char* pszDest, const FSSpec& spec, int iSize)
{
    FSRef ref;
    std::string name;
    if (FSpMakeFSRef(&spec, &ref) == 0)
        FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &name, nullptr);
    CF2CString(pszDest, C2CFString(name.c_str()), iSize);
}

int CompareExtension(const char* psz1, const char* psz2)
{
    if (!psz1 || !psz2)
        return 0;
    const size_t nLength = strlen(psz1);
    if (strlen(psz2) != nLength)
        return 0;
    for (size_t i = 0; i < nLength; ++i)
    {
        if (tolower(uchar(psz1[i])) != tolower(uchar(psz2[i])))
            return 0;
    }
    return 1;
}

void ProcessMessage()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, kMaxDispatchMs);
}

void ProcessModalMessage(void*)
{
    ProcessMessage();
}

int MessageBox(const char* pszText, const char* pszMessage)
{
    QMessageBox box(QMessageBox::Warning, QString(), C2CFString(pszMessage), QMessageBox::Ok);
    box.setInformativeText(C2CFString(pszText));
    return box.exec() == QMessageBox::Ok ? 1 : 0;
}

int MessageBoxFromResource(const char* pszKey)
{
    char szText[256];
    CF2CString(szText, LookUpResourceString(pszKey ? pszKey : ""), sizeof(szText));
    return MessageBox(szText, "");
}

void GetDesktopRect(int* piX, int* piY, int* piWidth, int* piHeight)
{
    QRect bounds;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    {
        if (QScreen* pScreen = QGuiApplication::primaryScreen())
            bounds = pScreen->geometry();
    }
    *piX = bounds.x();
    *piY = bounds.y();
    *piWidth = bounds.width();
    *piHeight = bounds.height();
}

void FormatMinutesSeconds(char* pszDest, size_t nSize, uint32_t uiSeconds)
{
    snprintf(pszDest, nSize, GetResourceString("TimeMinutesSeconds"), int(uiSeconds / 60),
             int(uiSeconds % 60));
}

int NoteNumberToStr(char* pszDest, int iNote)
{
    static const char s_aszNoteName[12][3] = {"C",  "C#", "D",  "D#", "E",  "F",
                                              "F#", "G",  "G#", "A",  "A#", "B"};
    // Floored, so that a negative number still names a note (-1 is B-2).
    const int iOctave = (iNote >= 0 ? iNote / 12 : (iNote - 11) / 12);
    const int iName = iNote - iOctave * 12;
    return sprintf(pszDest, "%s%d", s_aszNoteName[iName], iOctave - 1);
}

char* ExtractString(char* pszDest, const char* pszSource, int iLength)
{
    if (iLength < 0)
        iLength = 0;
    memset(pszDest, 0, size_t(iLength));
    int iStart = 0;
    while (iStart < iLength && isspace(uchar(pszSource[iStart])))
        ++iStart;
    const int nCopied = iLength - iStart;
    memcpy(pszDest, pszSource + iStart, size_t(nCopied));
    pszDest[nCopied] = '\0';
    for (int i = iLength - 1; i >= 0; --i)
    {
        if (pszDest[i] != '\0' && pszDest[i] != ' ')
            break;
        pszDest[i] = '\0';
    }
    return pszDest;
}

void CenteringString(char* pszText, int iWidth)
{
    if (iWidth < 0)
        iWidth = 0;
    std::vector<char> trimmed(size_t(iWidth) + 1);
    ExtractString(trimmed.data(), pszText, iWidth);
    const int nLength = int(strlen(trimmed.data()));
    memset(pszText, ' ', size_t(iWidth));
    memcpy(pszText + (iWidth - nLength) / 2, trimmed.data(), size_t(nLength));
    pszText[iWidth] = '\0';
}

int ClipInt(int iValue, int iLow, int iHigh)
{
    if (iValue > iHigh)
        iValue = iHigh;
    if (iValue < iLow)
        iValue = iLow;
    return iValue;
}

float ClipFloat(float fValue, float fLow, float fHigh)
{
    if (fValue < fLow)
        fValue = fLow;
    if (fValue > fHigh)
        fValue = fHigh;
    return fValue;
}

int MaxInt(int a, int b)
{
    return a > b ? a : b;
}

int MinInt(int a, int b)
{
    return a < b ? a : b;
}

float MaxFloat(float a, float b)
{
    return a > b ? a : b;
}

float MixFloat(float a, float b)
{
    return a < b ? a : b;
}

bool ContainInt(int iValue, int iLow, int iHigh)
{
    return iLow <= iValue && iValue <= iHigh;
}

bool ContainFloat(float fValue, float fLow, float fHigh)
{
    return fLow <= fValue && fValue <= fHigh;
}
