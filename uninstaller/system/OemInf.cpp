#include "OemInf.h"

#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "../common/Handles.h"
#include "../common/Text.h"
#include "../common/Journal.h"
#include "../door/Door.h"

namespace {

InfLister& TestLister()
{
    static InfLister lister;
    return lister;
}

bool SetupLibraryList(HMODULE setupApi, std::string& names)
{
    using ListFn = BOOL(WINAPI*)(PCSTR, DWORD, PSTR, DWORD, PDWORD);
    const auto list = ProcAddress<ListFn>(setupApi, "SetupGetInfFileListA");
    if (!list)
        return false;
    DWORD size = 0;
    if (!list(nullptr, INF_STYLE_WIN4, nullptr, 0, &size) || size == 0)
        return false;
    std::vector<char> buffer(size + 2, '\0');
    if (!list(nullptr, INF_STYLE_WIN4, buffer.data(), size, &size))
        return false;
    names.assign(buffer.data(), buffer.size());
    return true;
}

} // namespace

void SetInfLister(InfLister lister) { TestLister() = std::move(lister); }

bool InfNamesDriver(const char* path, const char* driverName, unsigned valueSize)
{
    if (!driverName || !*driverName)
        return false;
    std::vector<char> value(valueSize, '\0');
    GetPrivateProfileStringA("Strings", "PrinterName", "", value.data(), valueSize, path);
    return value[0] != '\0' && std::strstr(value.data(), driverName) != nullptr;
}

bool InfNamesAnyOther(const char* path, const char* driverName, const std::vector<std::string>& drivers,
                      unsigned valueSize)
{
    std::vector<char> value(valueSize, '\0');
    GetPrivateProfileStringA("Strings", "PrinterName", "", value.data(), valueSize, path);
    // Letter case folded on both sides: an INF that may have installed a
    // driver that stays is kept.
    const auto folded = [](std::string s) {
        for (char& c : s) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return s;
    };
    const std::string names = folded(value.data());
    for (const std::string& driver : drivers) {
        if (driver.empty() || text::FoldEqual(driver, driverName ? driverName : ""))
            continue;
        if (names.find(folded(driver)) != std::string::npos)
            return true;
    }
    return false;
}

std::vector<std::string> OemInfsNaming(const Door& door, const char* driverName)
{
    std::vector<std::string> found;
    LoadedModule setupApi = LoadSystemLibrary("setupapi.dll");
    if (!setupApi)
        return found;
    char windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows)
        return found;
    std::string names;
    const bool listed = TestLister() ? TestLister()(names) : SetupLibraryList(setupApi.Get(), names);
    if (!listed)
        return found;
    names.push_back('\0');
    for (const char* name = names.c_str(); *name; name += std::strlen(name) + 1) {
        if (!text::FoldStartsWith(name, "OEM") || std::strlen(name) >= 20)
            continue;
        char path[text::kMaxText] = {};
        const int n = std::snprintf(path, sizeof path, "%s\\INF\\%s", windows, name);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path || door.Gone(journal::op::kOemInf, path))
            continue;
        if (InfNamesDriver(path, driverName, 1024))
            found.emplace_back(name);
    }
    return found;
}

void FindOemInfForPrinter(const Door& door, char (&result)[20], const char* driverName)
{
    result[0] = '\0';
    const std::vector<std::string> found = OemInfsNaming(door, driverName);
    if (!found.empty())
        text::CopyWhole(result, found.front());
}
