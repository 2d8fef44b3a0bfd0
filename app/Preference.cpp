#include "app/Preference.h"

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QVariant>

#include <cstring>
#include <limits>

namespace
{
QString KeyString(const char* pszKey)
{
    return QString::fromLocal8Bit(pszKey ? pszKey : "");
}

// The stored text as bytes of the system encoding; false when it has none, for
// instance a list, or text the encoding cannot express.
bool StoredBytes(const QVariant& vValue, QByteArray& abText)
{
    switch (vValue.typeId())
    {
    case QMetaType::QString:
    {
        QStringEncoder cEncoder(QStringConverter::System, QStringConverter::Flag::Stateless);
        abText = cEncoder.encode(vValue.toString());
        return !cEncoder.hasError();
    }
    case QMetaType::QByteArray:
        abText = vValue.toByteArray();
        return true;
    // A number under a text key reads as its decimal text: the INI store keeps no types,
    // so the text is also what the next run would see.
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        abText = vValue.toString().toLatin1();
        return true;
    default:
        return false;
    }
}

// The stored value as a whole number in [llMin, llMax]; false for anything else.
bool StoredNumber(const QVariant& vValue, long long llMin, long long llMax, long long& llNumber)
{
    bool bOk = false;
    switch (vValue.typeId())
    {
    case QMetaType::Double:
    case QMetaType::Float:
    {
        double dValue = vValue.toDouble(&bOk);
        // Also keeps out values the cast below could not represent.
        if (!bOk || !(dValue >= double(llMin) && dValue <= double(llMax)) ||
            dValue != double(static_cast<long long>(dValue)))
            return false;
        llNumber = static_cast<long long>(dValue);
        return true;
    }
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    {
        unsigned long long ullValue = vValue.toULongLong(&bOk);
        if (!bOk || ullValue > static_cast<unsigned long long>(llMax))
            return false;
        llNumber = static_cast<long long>(ullValue);
        return true;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        llNumber = vValue.toLongLong(&bOk);
        return bOk && llNumber >= llMin && llNumber <= llMax;
    default:
        return false;
    }
}

void CopyDefault(char* pszBuffer, const char* pszDefault)
{
    const char* pszText = pszDefault ? pszDefault : "";
    size_t nLength = strnlen(pszText, cPreference::sm_nStringCapacity - 1);
    memcpy(pszBuffer, pszText, nLength);
    pszBuffer[nLength] = '\0';
}
} // namespace

cPreference::cPreference() = default;

cPreference::~cPreference() = default;

void cPreference::SetAppName(const char* pszName)
{
    // Organisation and application share the name, so the store is
    // <config folder>/<name>/<name>.conf.
    QString sName = QString::fromLocal8Bit(pszName ? pszName : "");
    m_pSettings =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, sName, sName);
}

int cPreference::ReadInteger(const char* pszKey, int iDefault)
{
    if (!m_pSettings)
        return iDefault;
    long long llNumber = 0;
    if (!StoredNumber(m_pSettings->value(KeyString(pszKey)), std::numeric_limits<int>::min(),
                      std::numeric_limits<int>::max(), llNumber))
        return iDefault;
    return int(llNumber);
}

long cPreference::ReadLong(const char* pszKey, long lDefault)
{
    if (!m_pSettings)
        return lDefault;
    long long llNumber = 0;
    if (!StoredNumber(m_pSettings->value(KeyString(pszKey)), std::numeric_limits<long>::min(),
                      std::numeric_limits<long>::max(), llNumber))
        return lDefault;
    return long(llNumber);
}

void cPreference::ReadString(const char* pszKey, char* pszBuffer, const char* pszDefault)
{
    if (!pszBuffer)
        return;
    QByteArray abText;
    if (!m_pSettings || !StoredBytes(m_pSettings->value(KeyString(pszKey)), abText) ||
        abText.size() >= sm_nStringCapacity || abText.contains('\0'))
    {
        CopyDefault(pszBuffer, pszDefault);
        return;
    }
    memcpy(pszBuffer, abText.constData(), size_t(abText.size()));
    pszBuffer[abText.size()] = '\0';
}

int cPreference::WriteInteger(const char* pszKey, int iValue)
{
    if (!m_pSettings)
        return 0;
    m_pSettings->setValue(KeyString(pszKey), iValue);
    return Synchronize();
}

int cPreference::WriteLong(const char* pszKey, long lValue)
{
    if (!m_pSettings)
        return 0;
    m_pSettings->setValue(KeyString(pszKey), qlonglong(lValue));
    return Synchronize();
}

int cPreference::WriteString(const char* pszKey, const char* pszValue)
{
    if (!m_pSettings)
        return 0;
    // Bytes the system encoding cannot read are not stored: a mangled name would never
    // match a device again.
    QStringDecoder cDecoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QString sValue = cDecoder.decode(QByteArrayView(pszValue ? pszValue : ""));
    if (cDecoder.hasError())
        return 0;
    m_pSettings->setValue(KeyString(pszKey), sValue);
    return Synchronize();
}

int cPreference::Synchronize()
{
    m_pSettings->sync();
    return m_pSettings->status() == QSettings::NoError ? 1 : 0;
}
