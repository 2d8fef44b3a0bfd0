#include "ScopedEnv.h"

#include <cstdlib>

ScopedEnv::ScopedEnv(const char* pszName, const char* pszValue) : m_name(pszName)
{
    if (const char* pszOld = getenv(pszName))
        m_old = pszOld, m_bHadOld = true;
    if (pszValue)
        setenv(pszName, pszValue, 1);
    else
        unsetenv(pszName);
}

ScopedEnv::~ScopedEnv()
{
    if (m_bHadOld)
        setenv(m_name.c_str(), m_old.c_str(), 1);
    else
        unsetenv(m_name.c_str());
}
