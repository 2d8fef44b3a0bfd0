#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

// A fresh folder under $TMPDIR, removed with everything in it when the object goes.
class TempDir
{
public:
    TempDir()
    {
        const char* pszBase = getenv("TMPDIR");
        m_path = std::string(pszBase && *pszBase ? pszBase : "/tmp") + "/qmtest-XXXXXX";
        if (!mkdtemp(m_path.data()))
            throw std::runtime_error("mkdtemp failed");
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

    // Writes bytes to a file in the folder and returns its path.
    std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) const
    {
        const std::string path = File(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    std::string Write(const std::string& name, const std::string& text) const
    {
        return Write(name, std::vector<unsigned char>(text.begin(), text.end()));
    }
    static std::vector<unsigned char> Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::string m_path;
};
