#include "DefaultPrinter.h"

#include "SpoolerLibrary.h"

namespace {

using GetDefaultFn = BOOL(WINAPI*)(LPSTR, LPDWORD);
using SetDefaultFn = BOOL(WINAPI*)(LPCSTR);

} // namespace

std::string CurrentDefaultPrinter()
{
    const auto get = SpoolerFunction<GetDefaultFn>("GetDefaultPrinterA");
    if (!get)
        return {};
    DWORD size = 0;
    get(nullptr, &size);
    if (size == 0)
        return {};
    std::string name(size, '\0');
    if (!get(name.data(), &size))
        return {};
    name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
    return name;
}

bool SetPlatformDefaultPrinter(const char* name, DWORD& error)
{
    const auto set = SpoolerFunction<SetDefaultFn>("SetDefaultPrinterA");
    if (!set) {
        error = ERROR_PROC_NOT_FOUND;
        return false;
    }
    if (set(name))
        return true;
    error = GetLastError();
    return false;
}
