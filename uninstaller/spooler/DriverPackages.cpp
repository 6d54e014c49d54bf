#include "DriverPackages.h"

#include <windows.h>
#include <winspool.h>

#include "../common/Handles.h"
#include "../common/Text.h"
#include "../common/TwoCall.h"

namespace {

DriverPackageLister& TestLister()
{
    static DriverPackageLister lister;
    return lister;
}

std::string_view FileNamePart(std::string_view path)
{
    const std::size_t separator = text::LastSeparator(path, text::IsLeadByte);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

// The name the driver-store INF was published under in the INF directory;
// empty when it can't be told. An INF already in the INF directory is its
// own published name.
std::string PublishedInf(const char* infPath)
{
    if (!infPath || !*infPath)
        return {};
    const std::string_view path = infPath;
    char windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length > 0 && length < sizeof windows) {
        const std::string infFolder = std::string(windows) + "\\INF\\";
        if (path.size() > infFolder.size() && text::FoldStartsWith(path, infFolder) &&
            path.find('\\', infFolder.size()) == std::string_view::npos)
            return std::string(FileNamePart(path));
    }
    static const LoadedModule setupApi = LoadSystemLibrary("setupapi.dll");
    using PublishedNameFn = BOOL(WINAPI*)(PCSTR, PSTR, DWORD, PDWORD);
    const auto published = setupApi ? ProcAddress<PublishedNameFn>(setupApi.Get(), "SetupGetInfPublishedNameA")
                                    : nullptr;
    char name[MAX_PATH] = {};
    if (!published || !published(infPath, name, sizeof name, nullptr))
        return {};
    return std::string(FileNamePart(name));
}

std::optional<std::vector<DriverPackage>> SpoolerPackages(const char* environment)
{
    DWORD returned = 0;
    const auto listed = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
        return EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 8, data, size, needed, &returned) !=
               FALSE;
    });
    // A spooler without that environment has no driver in it.
    if (!listed)
        return GetLastError() == ERROR_INVALID_ENVIRONMENT ? std::optional<std::vector<DriverPackage>>(
                                                                 std::vector<DriverPackage>{})
                                                           : std::nullopt;
    std::vector<DriverPackage> packages;
    if (listed->empty())
        return packages;
    const auto* info = reinterpret_cast<const DRIVER_INFO_8A*>(listed->data());
    for (DWORD i = 0; i < returned; ++i) {
        if (info[i].pName)
            packages.push_back({info[i].pName, PublishedInf(info[i].pszInfPath)});
    }
    return packages;
}

} // namespace

bool HasDriverStore(const PlatformKind& platform)
{
    return platform.isNT() && platform.Version().dwMajorVersion >= 6;
}

std::optional<std::vector<DriverPackage>> ListDriverPackages(const char* environment)
{
    return TestLister() ? TestLister()(environment) : SpoolerPackages(environment);
}

std::optional<std::string> PackageOfDriver(const char* environment, const char* driver)
{
    const std::optional<std::vector<DriverPackage>> packages = ListDriverPackages(environment);
    if (!packages)
        return std::nullopt;
    for (const DriverPackage& package : *packages) {
        if (text::FoldEqual(package.Driver, driver ? driver : ""))
            return package.Inf;
    }
    return std::string();
}

void SetDriverPackageLister(DriverPackageLister lister) { TestLister() = std::move(lister); }
