#pragma once
// Running prnuninst.exe as its own process, reading its log, and taking the
// state of everything a removal could touch, for the end-to-end tests.

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/Packages.h"
#include "machine/Machine.h"
#include "support/WineBed.h"

namespace e2e {

constexpr DWORD kRunTimeout = 120000;

inline long RunProgram(const std::string& arguments, const std::string& program = bed::Deliverable("prnuninst.exe"))
{
    bed::Process process("\"" + program + "\" " + arguments);
    if (!process.Started())
        return -2;
    return process.Wait(kRunTimeout);
}

struct LogLine {
    std::string time, step, operation, item, outcome;
};

inline std::vector<LogLine> ReadLog(const std::string& path)
{
    std::vector<LogLine> lines;
    std::istringstream in(Content(path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        if (fields.size() == 5)
            lines.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
    }
    return lines;
}

inline bool Logged(const std::vector<LogLine>& log, const std::string& operation, const std::string& item,
            const std::string& outcome)
{
    return std::any_of(log.begin(), log.end(), [&](const LogLine& line) {
        return line.operation == operation && line.item == item && line.outcome.rfind(outcome, 0) == 0;
    });
}

inline std::string Joined(const std::set<std::string>& items)
{
    std::string all;
    for (const std::string& item : items)
        all += "  " + item + "\n";
    return all;
}

// A log file of its own for each run, gone before and after.
struct LogFileOnC {
    explicit LogFileOnC(const char* name) : path(std::string("C:\\") + name) { DeleteFileA(path.c_str()); }
    ~LogFileOnC() { DeleteFileA(path.c_str()); }
    LogFileOnC(const LogFileOnC&) = delete;
    LogFileOnC& operator=(const LogFileOnC&) = delete;
    std::string Switch() const { return "/LOG:\"" + path + "\""; }
    const std::string path;
};

inline bool DriverInstalled(const std::string& name)
{
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!EnumPrinterDriversA(nullptr, nullptr, 1, buffer.data(), needed, &needed, &count))
        return false;
    const auto* info = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (name == info[i].pName)
            return true;
    }
    return false;
}

inline bool Listed(const std::string& printer)
{
    const std::vector<std::string> printers = machine::ListedPrinters();
    return std::find(printers.begin(), printers.end(), printer) != printers.end();
}

inline std::string PendingRenames()
{
    char pending[16384] = {};
    DWORD size = sizeof pending - 2;
    RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                 "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending, &size);
    std::string renames(pending, size);
    std::replace(renames.begin(), renames.end(), '\0', '|');
    return renames;
}

inline void DumpKey(HKEY root, const std::string& path, std::string& out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        out += "[" + path + "] missing\n";
        return;
    }
    out += "[" + path + "]\n";
    for (DWORD i = 0;; ++i) {
        char name[512];
        BYTE data[4096];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        out += std::string(name, nameSize) + "=" + std::to_string(type) + ":" +
               std::string(reinterpret_cast<char*>(data), dataSize) + "\n";
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name, nameSize);
    }
    RegCloseKey(key);
    for (const std::string& subkey : subkeys)
        DumpKey(root, path + "\\" + subkey, out);
}

inline void DumpFiles(const std::string& directory, std::string& out, bool recurse)
{
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = directory + "\\" + name;
        char line[64];
        std::snprintf(line, sizeof line, " %lx %lu %lx%08lx\n", found.dwFileAttributes, found.nFileSizeLow,
                      found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime);
        out += path + line;
        if (recurse && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            DumpFiles(path, out, true);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

inline std::string Drivers(const char* environment)
{
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    std::string names;
    if (EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 1, buffer.data(), needed, &needed, &count)) {
        const auto* info = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            names += std::string(info[i].pName) + ";";
    }
    return names;
}

// Everything the removal could touch on this machine: queues, drivers in
// every environment, the spooler's and the maker's registry, the start-up
// and restart lists, the services, the system, spooler, INF, Windows and
// Programs folders with each file's size, attributes and time.
inline std::string MachineState()
{
    std::string state;
    for (const std::string& printer : machine::ListedPrinters())
        state += "printer " + printer + "\n";
    for (const char* environment : {"Windows x64", "Windows NT x86", "Windows 4.0"})
        state += std::string("drivers ") + environment + ": " + Drivers(environment) + "\n";
    DumpKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL", state);
    DumpKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print", state);
    DumpKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\QrvE2eService", state);
    DumpKey(HKEY_LOCAL_MACHINE, kRunKey, state);
    DumpKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", state);
    DumpKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts", state);
    DumpKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", state);
    state += "pending " + PendingRenames() + "\n";
    const std::string windows = e2e::Folder(CSIDL_WINDOWS);
    DumpFiles(windows.substr(0, windows.size() - 1), state, false);
    DumpFiles(windows + "inf", state, false);
    DumpFiles(e2e::Folder(CSIDL_SYSTEM).substr(0, e2e::Folder(CSIDL_SYSTEM).size() - 1), state, false);
    DumpFiles(windows + "system32\\spool", state, true);
    DumpFiles(e2e::Folder(CSIDL_PROGRAMS).substr(0, e2e::Folder(CSIDL_PROGRAMS).size() - 1), state, true);
    DumpFiles("C:\\Program Files\\QUORVEL", state, true);
    state += "win.ini " + Content(windows + "win.ini") + "\nqe2e.ini " + Content(windows + "qe2e.ini") + "\n";
    return state;
}

// Wine's spooler makes an environment's keys and driver folder the first
// time anybody asks for them, even only to read. The program reads every
// environment's drivers and processors; asking the same first keeps those
// traces of Wine's out of what the dry run is judged by.
inline void AskWhatWineMakesOnFirstRead()
{
    for (const char* environment : {"Windows x64", "Windows NT x86", "Windows 4.0", "Windows IA64", "Windows ARM64"}) {
        char* env = const_cast<char*>(environment);
        DWORD needed = 0, count = 0;
        BYTE buffer[8192];
        EnumPrinterDriversA(nullptr, env, 3, buffer, sizeof buffer, &needed, &count);
        EnumPrintProcessorsA(nullptr, env, 1, buffer, sizeof buffer, &needed, &count);
        GetPrinterDriverDirectoryA(nullptr, env, 1, buffer, sizeof buffer, &needed);
        GetPrintProcessorDirectoryA(nullptr, env, 1, buffer, sizeof buffer, &needed);
    }
}

// Runs a copy of the program that lies beside the tests, where it loads the
// test build of the spooler proxy, with these faults in its environment.
inline long RunWithFaults(const std::string& faults, const std::string& arguments)
{
    const std::string copy = bed::TestDirectory() + "prnuninst_faulty.exe";
    if (!CopyFileA(bed::Deliverable("prnuninst.exe").c_str(), copy.c_str(), FALSE))
        return -2;
    SetEnvironmentVariableA("SPLPROXY_FAULTS", faults.c_str());
    const long code = RunProgram(arguments, copy);
    SetEnvironmentVariableA("SPLPROXY_FAULTS", nullptr);
    DeleteFileA(copy.c_str());
    return code;
}

} // namespace e2e
