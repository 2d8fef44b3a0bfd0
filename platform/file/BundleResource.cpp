#include "platform/file/BundleResource.h"

#include "platform/bundle/ResourceFolder.h"

#include <string>
#include <vector>

namespace
{
bool IsPlainResourceName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (unsigned char c : name)
    {
        if (c == '/' || c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

bool FindFile(const std::string& path, FSRef* pRef)
{
    bool bIsFolder = false;
    FSRef ref;
    if (FSPathMakeRef(path.c_str(), &ref, &bIsFolder) != 0 || bIsFolder)
        return false;
    *pRef = ref;
    return true;
}
} // namespace

bool FindResourceFile(const char* pszName, FSRef* pRef)
{
    if (!pszName || !pRef || !IsPlainResourceName(pszName))
        return false;
    std::string folder = GetResourceFolder();

    std::vector<std::string> candidates;
    std::string tag = GetUserLanguageTag();
    if (!tag.empty() && tag.find('/') == std::string::npos)
    {
        candidates.push_back(folder + "/" + tag + ".lproj/" + pszName);
        std::string language = tag.substr(0, tag.find_first_of("_-"));
        if (language != tag && !language.empty())
            candidates.push_back(folder + "/" + language + ".lproj/" + pszName);
    }
    candidates.push_back(folder + "/" + pszName);

    for (const std::string& candidate : candidates)
    {
        if (FindFile(candidate, pRef))
            return true;
    }
    return false;
}
