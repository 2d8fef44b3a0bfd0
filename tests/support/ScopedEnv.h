#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets (or with null, removes) an environment variable for the life of the object and then
// puts back what was there, so that a test's setting never reaches the next test.
class ScopedEnv
{
public:
    ScopedEnv(const char* pszName, const char* pszValue) : m_name(pszName)
    {
        if (const char* pszOld = getenv(pszName))
            m_old = pszOld;
        Set(pszValue);
    }
    ScopedEnv(const char* pszName, const std::string& value) : ScopedEnv(pszName, value.c_str()) {}
    ~ScopedEnv() { Set(m_old ? m_old->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const char* pszValue)
    {
        if (pszValue)
            setenv(m_name.c_str(), pszValue, 1);
        else
            unsetenv(m_name.c_str());
    }

    std::string m_name;
    std::optional<std::string> m_old;
};
