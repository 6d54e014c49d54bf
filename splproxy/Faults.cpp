// Fault table of the test build: which calls fail, with what code, how often.
#include "Faults.h"

#include <winspool.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Rule {
    DWORD error = 0;
    LONG remaining = 0; // -1: every call
    LONG skip = 0;      // calls that pass before the failures start
};

// Printer names compare as the spooler compares them, ignoring case.
struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const { return _stricmp(a.c_str(), b.c_str()) < 0; }
};

struct State {
    std::map<std::string, Rule> rules;
    std::map<std::string, LONG> calls;
    std::map<std::string, DWORD, NoCase> deniedPrinters;
    // "Function:Printer" from the environment: that call fails for that
    // printer alone.
    std::map<std::string, DWORD, NoCase> printerRules;
    std::map<std::string, std::string, NoCase> serverNames;
    std::map<std::string, DWORD, NoCase> addedAttributes;
    std::map<std::string, std::string, NoCase> driverNames;
    std::map<std::string, DWORD, NoCase> jobCounts;
    // Driver name to its made-up colour profiles, a list of NUL-ended names
    // ended by another NUL.
    std::map<std::string, std::string, NoCase> colorProfiles;
    std::map<HANDLE, std::string> openedPrinters;
    std::vector<std::pair<DWORD, DWORD>> setJobCalls;
    std::set<std::pair<HANDLE, DWORD>> endedJobs;
};

State& Table()
{
    static State state;
    return state;
}

// SPLPROXY_FAULTS=Name=code;Name:Printer=code
void LoadFromEnvironment()
{
    char text[1024] = {};
    DWORD n = GetEnvironmentVariableA("SPLPROXY_FAULTS", text, sizeof text);
    if (n == 0 || n >= sizeof text)
        return;
    char* context = nullptr;
    for (char* rule = strtok_r(text, ";", &context); rule; rule = strtok_r(nullptr, ";", &context)) {
        char* eq = std::strchr(rule, '=');
        if (!eq)
            continue;
        *eq = '\0';
        const DWORD error = static_cast<DWORD>(std::strtoul(eq + 1, nullptr, 10));
        if (std::strchr(rule, ':'))
            Table().printerRules[rule] = error;
        else
            Table().rules[rule] = Rule{error, -1};
    }
}

} // namespace

bool ProxyCallFails(const char* function, LONG& code)
{
    static const bool loaded = (LoadFromEnvironment(), true);
    (void)loaded;

    State& state = Table();
    ++state.calls[function];
    auto it = state.rules.find(function);
    if (it == state.rules.end() || it->second.remaining == 0)
        return false;
    if (it->second.skip > 0) {
        --it->second.skip;
        return false;
    }
    if (it->second.remaining > 0)
        --it->second.remaining;
    code = static_cast<LONG>(it->second.error);
    SetLastError(it->second.error);
    return true;
}

bool ProxyPrinterCallFails(const char* function, const char* printerName)
{
    if (!printerName)
        return false;
    const auto& rules = Table().printerRules;
    std::string key = function;
    key += ':';
    key += printerName;
    auto it = rules.find(key);
    if (it == rules.end())
        return false;
    SetLastError(it->second);
    return true;
}

bool ProxyHandleCallFails(const char* function, HANDLE printer)
{
    const auto& opened = Table().openedPrinters;
    auto it = opened.find(printer);
    return it != opened.end() && ProxyPrinterCallFails(function, it->second.c_str());
}

bool ProxyPrinterDenied(const char* printerName, DWORD& error)
{
    const auto& denied = Table().deniedPrinters;
    auto it = printerName ? denied.find(printerName) : denied.end();
    if (it == denied.end())
        return false;
    error = it->second;
    SetLastError(error);
    return true;
}

namespace {

void AlterDriverName(PRINTER_INFO_2A& info)
{
    const auto& drivers = Table().driverNames;
    auto driver = info.pPrinterName ? drivers.find(info.pPrinterName) : drivers.end();
    if (driver != drivers.end())
        info.pDriverName = const_cast<char*>(driver->second.c_str());
}

} // namespace

void ProxyAlterEnumeratedPrinters(DWORD level, LPBYTE buffer, DWORD count)
{
    if (level != 2 || !buffer)
        return;
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer);
    for (DWORD i = 0; i < count; ++i)
        AlterDriverName(info[i]);
}

void ProxyAlterPrinterInfo(DWORD level, LPBYTE buffer)
{
    if (level != 2 || !buffer)
        return;
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer);
    const auto& servers = Table().serverNames;
    if (!info->pPrinterName)
        return;
    auto server = servers.find(info->pPrinterName);
    if (server != servers.end())
        info->pServerName = const_cast<char*>(server->second.c_str());
    auto attributes = Table().addedAttributes.find(info->pPrinterName);
    if (attributes != Table().addedAttributes.end())
        info->Attributes |= attributes->second;
    AlterDriverName(*info);
}

void ProxyNoteOpened(const char* printerName, HANDLE printer)
{
    if (printerName && printer)
        Table().openedPrinters[printer] = printerName;
}

void ProxyNoteClosed(HANDLE printer)
{
    Table().openedPrinters.erase(printer);
}

namespace {

// Made-up job ids start here, far from any the platform hands out.
constexpr DWORD kFirstJobId = 7001;

// How many jobs the test gave the printer of this handle; false for none.
bool JobCountOf(HANDLE printer, DWORD& jobs)
{
    const State& state = Table();
    auto opened = state.openedPrinters.find(printer);
    if (opened == state.openedPrinters.end())
        return false;
    auto it = state.jobCounts.find(opened->second);
    if (it == state.jobCounts.end())
        return false;
    jobs = it->second;
    return true;
}

} // namespace

bool ProxyFakeJobs(HANDLE printer, DWORD first, DWORD count, DWORD level, LPBYTE buffer, DWORD size,
                   LPDWORD needed, LPDWORD returned, BOOL& result)
{
    DWORD jobs = 0;
    if (!JobCountOf(printer, jobs))
        return false;
    if (needed) *needed = 0;
    if (returned) *returned = 0;
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        result = FALSE;
        return true;
    }
    const DWORD listed = first >= jobs ? 0 : (jobs - first < count ? jobs - first : count);
    const std::string& name = Table().openedPrinters[printer];
    const DWORD bytes = listed == 0 ? 0 : static_cast<DWORD>(listed * sizeof(JOB_INFO_1A) + name.size() + 1);
    if (needed) *needed = bytes;
    if (listed == 0) {
        result = TRUE;
        return true;
    }
    if (!buffer || size < bytes) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        result = FALSE;
        return true;
    }
    auto* info = reinterpret_cast<JOB_INFO_1A*>(buffer);
    char* text = reinterpret_cast<char*>(buffer + listed * sizeof(JOB_INFO_1A));
    std::memcpy(text, name.c_str(), name.size() + 1);
    for (DWORD i = 0; i < listed; ++i) {
        info[i] = JOB_INFO_1A{};
        info[i].JobId = kFirstJobId + first + i;
        info[i].pPrinterName = text;
        info[i].Position = first + i + 1;
        info[i].TotalPages = 1;
    }
    if (returned) *returned = listed;
    result = TRUE;
    return true;
}

bool ProxyRecordSetJob(HANDLE printer, DWORD job, DWORD command, BOOL& result)
{
    State& state = Table();
    state.setJobCalls.emplace_back(job, command);
    DWORD jobs = 0;
    if (!JobCountOf(printer, jobs))
        return false;
    // As the NT spooler does: cancelling a job deletes it too, and a job
    // that is gone is an invalid parameter.
    const auto key = std::make_pair(printer, job);
    if (state.endedJobs.count(key) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        result = FALSE;
        return true;
    }
    if (command == JOB_CONTROL_CANCEL || command == JOB_CONTROL_DELETE)
        state.endedJobs.insert(key);
    result = TRUE;
    return true;
}

bool ProxyEnumDriversWithProfiles(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                   LPDWORD needed, LPDWORD returned, BOOL& result)
{
    const auto& profiles = Table().colorProfiles;
    if (level != 8 || profiles.empty() || !needed || !returned)
        return false;
    // The platform's records and texts fill the front of the buffer; the
    // made-up lists go after them, at its end.
    DWORD extra = 0;
    for (const auto& listed : profiles)
        extra += static_cast<DWORD>(listed.second.size());
    const DWORD front = size > extra ? size - extra : 0;
    result = ::EnumPrinterDriversA(server, environment, level, front ? buffer : nullptr, front, needed, returned);
    if (!result) {
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER)
            *needed += extra;
        return true;
    }
    if (*returned == 0)
        return true;
    if (size < *needed + extra) {
        *needed += extra;
        *returned = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        result = FALSE;
        return true;
    }
    char* at = reinterpret_cast<char*>(buffer) + front;
    auto* info = reinterpret_cast<DRIVER_INFO_8A*>(buffer);
    for (const auto& listed : profiles) {
        std::memcpy(at, listed.second.data(), listed.second.size());
        for (DWORD i = 0; i < *returned; ++i) {
            if (info[i].pName && _stricmp(info[i].pName, listed.first.c_str()) == 0)
                info[i].pszzColorProfiles = at;
        }
        at += listed.second.size();
    }
    *needed += extra;
    return true;
}

bool ProxyIsConnection(const char* printerName)
{
    return printerName && Table().serverNames.count(printerName) != 0;
}

extern "C" {

void WINAPI SplProxyFault_Set(const char* function, DWORD error, LONG times)
{
    if (function && std::strchr(function, ':'))
        Table().printerRules[function] = error;
    else if (function)
        Table().rules[function] = Rule{error, times, 0};
}

void WINAPI SplProxyFault_SetAfter(const char* function, DWORD error, LONG skip, LONG times)
{
    if (function)
        Table().rules[function] = Rule{error, times, skip};
}

void WINAPI SplProxyFault_DenyPrinter(const char* printerName, DWORD error)
{
    if (printerName)
        Table().deniedPrinters[printerName] = error;
}

void WINAPI SplProxyFault_SetServerName(const char* printerName, const char* serverName)
{
    if (printerName && serverName)
        Table().serverNames[printerName] = serverName;
}

void WINAPI SplProxyFault_AddAttributes(const char* printerName, DWORD attributes)
{
    if (printerName)
        Table().addedAttributes[printerName] = attributes;
}

void WINAPI SplProxyFault_SetDriverName(const char* printerName, const char* driverName)
{
    if (printerName && driverName)
        Table().driverNames[printerName] = driverName;
}

void WINAPI SplProxyFault_SetColorProfiles(const char* driverName, const char* profiles)
{
    if (!driverName || !profiles)
        return;
    std::string list;
    for (const char* name = profiles; *name;) {
        const char* end = std::strchr(name, ';');
        const std::size_t length = end ? static_cast<std::size_t>(end - name) : std::strlen(name);
        list.append(name, length);
        list += '\0';
        name += end ? length + 1 : length;
    }
    list += '\0';
    Table().colorProfiles[driverName] = list;
}

void WINAPI SplProxyFault_SetJobs(const char* printerName, DWORD jobs)
{
    if (printerName)
        Table().jobCounts[printerName] = jobs;
}

LONG WINAPI SplProxyFault_SetJobCalls(DWORD* pairs, LONG maxPairs)
{
    const auto& calls = Table().setJobCalls;
    for (LONG i = 0; pairs && i < maxPairs && i < static_cast<LONG>(calls.size()); ++i) {
        pairs[2 * i] = calls[i].first;
        pairs[2 * i + 1] = calls[i].second;
    }
    return static_cast<LONG>(calls.size());
}

void WINAPI SplProxyFault_Clear()
{
    Table().rules.clear();
    Table().calls.clear();
    Table().deniedPrinters.clear();
    Table().serverNames.clear();
    Table().addedAttributes.clear();
    Table().driverNames.clear();
    Table().jobCounts.clear();
    Table().colorProfiles.clear();
    Table().setJobCalls.clear();
}

LONG WINAPI SplProxyFault_CallCount(const char* function)
{
    auto it = Table().calls.find(function ? function : "");
    return it == Table().calls.end() ? 0 : it->second;
}

}
