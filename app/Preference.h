#pragma once

#include <memory>

class QSettings;

// The per-user store of the program's settings, one per application id. Keys and
// string values are NUL-terminated byte strings in the system encoding.
class cPreference
{
public:
    cPreference();
    ~cPreference();

    cPreference(const cPreference&) = delete;
    cPreference& operator=(const cPreference&) = delete;

    // Chooses the store; call once, before any read or write.
    void SetAppName(const char* pszName);

    int ReadInteger(const char* pszKey, int iDefault);
    long ReadLong(const char* pszKey, long lDefault);
    // Fills a 256-byte buffer with the stored text, or with the default when the key is
    // missing or its text does not fit in 255 bytes.
    void ReadString(const char* pszKey, char* pszBuffer, const char* pszDefault);

    // Each write is synchronised at once; the result is 1 when it reached the store.
    int WriteInteger(const char* pszKey, int iValue);
    int WriteLong(const char* pszKey, long lValue);
    int WriteString(const char* pszKey, const char* pszValue);

    static constexpr int sm_nStringCapacity = 256;

private:
    int Synchronize();

    std::unique_ptr<QSettings> m_pSettings;
};
