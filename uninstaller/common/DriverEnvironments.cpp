#include "DriverEnvironments.h"

#include <windows.h>
#include <winspool.h>

#include <cstring>

#include "Handles.h"
#include "PrinterHandle.h"
#include "Text.h"

namespace {

constexpr char kX64[] = "Windows x64";
constexpr char kArm64[] = "Windows ARM64";

EnvironmentReader reader = nullptr;
bool known = false;
std::string running;
const char* removal[4] = {};
const char* all[5] = {};

// The print server's own answer.
std::optional<std::string> AskSpooler()
{
    const PrinterHandle server = OpenPrinterFor(nullptr, SERVER_ACCESS_ENUMERATE);
    if (!server)
        return std::nullopt;
    char name[64] = {};
    DWORD type = 0;
    DWORD needed = 0;
    if (GetPrinterDataA(server.Get(), const_cast<char*>("Architecture"), &type, reinterpret_cast<BYTE*>(name),
                        sizeof name - 1, &needed) != ERROR_SUCCESS ||
        type != REG_SZ || name[0] == '\0')
        return std::nullopt;
    return std::string(name);
}

// The machine's own processor, which an emulated program doesn't see
// otherwise.
std::optional<std::string> AskProcessor()
{
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    static LoadedModule kernel = LoadSystemLibrary("kernel32.dll");
    const auto isWow64Process2 = kernel ? ProcAddress<IsWow64Process2Fn>(kernel.Get(), "IsWow64Process2") : nullptr;
    USHORT process = 0;
    USHORT native = 0;
    if (!isWow64Process2 || !isWow64Process2(GetCurrentProcess(), &process, &native))
        return std::nullopt;
    if (native == IMAGE_FILE_MACHINE_ARM64)
        return std::string(kArm64);
    if (native == IMAGE_FILE_MACHINE_AMD64)
        return std::string(kX64);
    return std::nullopt;
}

void Read()
{
    if (known)
        return;
    known = true;
    std::optional<std::string> answer = reader ? reader() : AskSpooler();
    if (!answer && !reader)
        answer = AskProcessor();
#ifdef _WIN64
    running = answer ? *answer : kX64;
#else
    running = answer ? *answer : "Windows NT x86";
#endif
    const char* other64 = text::FoldEqual(running, kArm64) ? kX64 : kArm64;
    removal[0] = nullptr;
    removal[1] = "Windows NT x86";
    removal[2] = "Windows 4.0";
    removal[3] = other64;
    std::memcpy(all, removal, sizeof removal);
    all[4] = "Windows IA64";
}

} // namespace

const char* RunningEnvironment()
{
    Read();
    return running.c_str();
}

void SetEnvironmentReader(EnvironmentReader stand)
{
    reader = stand;
    known = false;
}

std::span<const char* const> RemovalEnvironments()
{
    Read();
    return removal;
}

std::span<const char* const> AllDriverEnvironments()
{
    Read();
    return all;
}
