// Runs the fuzz target once on every file named on the command line, or in the folders
// named there: the seed corpus as a plain test where no fuzzer is at hand.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize);

namespace
{
int Replay(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    int nFailed = 0;
    int nRun = 0;
    for (int i = 1; i < argc; ++i)
    {
        const std::filesystem::path path = argv[i];
        if (std::filesystem::is_directory(path))
        {
            for (const auto& entry : std::filesystem::directory_iterator(path))
            {
                if (!entry.is_regular_file())
                    continue;
                nFailed += Replay(entry.path());
                ++nRun;
            }
        }
        else
        {
            nFailed += Replay(path);
            ++nRun;
        }
    }
    printf("%d inputs replayed, %d unreadable\n", nRun, nFailed);
    return nFailed == 0 && nRun > 0 ? 0 : 1;
}
