// `quillmark send` as its users run it, on the virtual back end, whose instrument takes
// SysEx at MIDI wire speed (3125 bytes a second). Prints, from the median of a few runs:
//   send_4104_wall_ms      start of the program to its exit, sending a 4104-byte file
//   wire_4104_ms           the time the bytes need on the wire
//   send_ratio_to_wire     the two divided
//   startup_and_exit_ms    the same program sending a 2-byte message: start-up to the
//                          first byte, and the way out, with next to no wire time
//   goal_wall_ms           1.02 x wire + 100 ms, which send_4104_wall_ms should not pass

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
constexpr int kRuns = 5;
constexpr double kWireMsPerByte = 0.32;
const char* const kInstrument = "Quillmark Virtual Instrument - Port 1";

std::string WriteFile(const std::filesystem::path& folder, const char* pszName, size_t nLength)
{
    std::vector<unsigned char> bytes{0xF0};
    while (bytes.size() + 1 < nLength)
        bytes.push_back((unsigned char)(bytes.size() & 0x7F));
    bytes.push_back(0xF7);
    const std::string sPath = (folder / pszName).string();
    FILE* pFile = fopen(sPath.c_str(), "wb");
    if (!pFile || fwrite(bytes.data(), 1, bytes.size(), pFile) != bytes.size())
    {
        fprintf(stderr, "bench_cli: cannot write %s\n", sPath.c_str());
        exit(1);
    }
    fclose(pFile);
    return sPath;
}

// Wall time of one `quillmark send`, in ms; -1 when it failed.
double TimeSend(const std::string& sFile)
{
    std::vector<std::string> asArgv{QUILLMARK_BINARY, "send", "--out", kInstrument, sFile};
    std::vector<char*> apArgv;
    for (std::string& sArgument : asArgv)
        apArgv.push_back(sArgument.data());
    apArgv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int iError = posix_spawn(&pid, apArgv[0], &actions, nullptr, apArgv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (iError != 0)
        return -1;
    int iStatus = 0;
    waitpid(pid, &iStatus, 0);
    const double dMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0 ? dMs : -1;
}

double MedianSend(const std::string& sFile)
{
    std::vector<double> adMs;
    for (int i = 0; i < kRuns; ++i)
    {
        const double dMs = TimeSend(sFile);
        if (dMs < 0)
        {
            fprintf(stderr, "bench_cli: quillmark send %s failed\n", sFile.c_str());
            exit(1);
        }
        adMs.push_back(dMs);
    }
    std::sort(adMs.begin(), adMs.end());
    return adMs[adMs.size() / 2];
}
} // namespace

int main()
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("bench_cli_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    // The runs' preferences stay out of the user's.
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    setenv("QUILLMARK_MIDI", "virtual", 1);
    const std::string sDump = WriteFile(folder, "dump.syx", 4104);
    const std::string sTiny = WriteFile(folder, "tiny.syx", 2);

    const double dStartupMs = MedianSend(sTiny);
    const double dWallMs = MedianSend(sDump);
    const double dWireMs = 4104 * kWireMsPerByte;
    printf("send_4104_wall_ms      %8.1f\n", dWallMs);
    printf("wire_4104_ms           %8.1f\n", dWireMs);
    printf("send_ratio_to_wire     %8.3f\n", dWallMs / dWireMs);
    printf("startup_and_exit_ms    %8.1f\n", dStartupMs);
    printf("goal_wall_ms           %8.1f   (%s)\n", 1.02 * dWireMs + 100,
           dWallMs <= 1.02 * dWireMs + 100 ? "met" : "not met");
    std::filesystem::remove_all(folder);
    return 0;
}
