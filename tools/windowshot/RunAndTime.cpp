// runtimed [--mute] PROGRAM [ARGS...]
// Starts the command line, waits for it, and prints its whole exit code and
// its wall time: the shell sees only the low byte of a Windows exit code
// under Wine (3010 arrives as 194). The program writes to this one's output
// unless --mute gives it none. Exits with the program's low byte. A demo
// helper: it never ships with the deliverables.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/Handles.h"

namespace {

// Quoted as the C runtime splits it again; the demo's arguments carry no
// quotes of their own.
std::string CommandLine(int first, int argc, char** argv)
{
    std::string line;
    for (int i = first; i < argc; ++i) {
        if (!line.empty())
            line += ' ';
        const bool quote = std::strpbrk(argv[i], " \t") != nullptr;
        if (quote)
            line += '"';
        line += argv[i];
        if (quote)
            line += '"';
    }
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    const bool mute = argc > 1 && std::strcmp(argv[1], "--mute") == 0;
    const int first = mute ? 2 : 1;
    if (argc <= first) {
        std::fprintf(stderr, "usage: runtimed [--mute] PROGRAM [ARGS...]\n");
        return 2;
    }
    std::string line = CommandLine(first, argc, argv);
    std::fflush(stdout);

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    KernelHandle nul(mute ? CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr)
                          : nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = mute ? nul.Get() : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = mute ? nul.Get() : GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    LARGE_INTEGER frequency{}, begin{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
        std::fprintf(stderr, "runtimed: %s could not be started (error %lu)\n", line.c_str(), GetLastError());
        return 2;
    }
    KernelHandle process(started.hProcess), thread(started.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    QueryPerformanceCounter(&end);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    const double ms = static_cast<double>(end.QuadPart - begin.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    std::printf("runtimed: %s\n  exit code %lu, wall time %.0f ms\n", line.c_str(), code, ms);
    return static_cast<int>(code & 0xFF);
}
