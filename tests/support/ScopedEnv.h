#pragma once

#include <string>

// Sets (or with null, removes) an environment variable for the life of the object and then
// puts back what was there, so that a test's setting never reaches the next test.
class ScopedEnv
{
public:
    ScopedEnv(const char* pszName, const char* pszValue);
    ScopedEnv(const char* pszName, const std::string& value) : ScopedEnv(pszName, value.c_str()) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_bHadOld = false;
};
