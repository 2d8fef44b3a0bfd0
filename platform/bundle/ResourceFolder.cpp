#include "platform/bundle/ResourceFolder.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

std::string GetResourceFolder()
{
    if (const char* pszOverride = getenv("QUILLMARK_RESOURCES"); pszOverride && *pszOverride)
    {
        std::string folder = pszOverride;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        return folder;
    }
    char szExe[PATH_MAX];
    ssize_t nLength = readlink("/proc/self/exe", szExe, sizeof(szExe) - 1);
    if (nLength <= 0)
        return "share/quillmark";
    std::string exe(szExe, size_t(nLength));
    std::string binFolder = exe.substr(0, exe.find_last_of('/'));
    return binFolder + "/../share/quillmark";
}

std::string GetUserLanguageTag()
{
    for (const char* pszName : {"LC_ALL", "LC_MESSAGES", "LANG"})
    {
        const char* pszValue = getenv(pszName);
        if (!pszValue || !*pszValue)
            continue;
        std::string tag = pszValue;
        tag = tag.substr(0, tag.find_first_of(".@"));
        if (tag == "C" || tag == "POSIX")
            return {};
        return tag;
    }
    return {};
}
