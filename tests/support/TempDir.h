#pragma once

#include <string>
#include <vector>

// A fresh folder under $TMPDIR, removed with everything in it when the object goes.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

    // Writes bytes to a file in the folder and returns its path.
    std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) const;
    std::string Write(const std::string& name, const std::string& text) const;
    static std::vector<unsigned char> Read(const std::string& path);

private:
    std::string m_path;
};
