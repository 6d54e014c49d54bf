#include "DriverFileNames.h"

#include <winspool.h>

#include <cstring>
#include <new>

#include "../common/AnsiLeadByte.h"
#include "../common/Text.h"
#include "../common/TwoCall.h"

namespace {

// What follows the last '\\' or '/'.
std::string_view FileNameOf(std::string_view path)
{
    const std::size_t separator = text::LastSeparator(path, AnsiLeadByte);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

void AddName(std::vector<std::string>& files, const char* path, bool once)
{
    if (!path)
        return;
    const std::string_view name = FileNameOf(path);
    if (name.empty())
        return;
    for (const std::string& file : files) {
        if (!once)
            break;
        if (text::FoldEqual(file, name))
            return;
    }
    files.emplace_back(name);
}

} // namespace

bool DriverFileNames::FilesOf(std::string_view driver, std::vector<std::string>& files)
{
    const std::string name(driver);
    return Collect(name.c_str(), files, true);
}

bool DriverFileNames::AllFiles(std::vector<std::string>& files, std::vector<std::string>& owners,
                               const std::function<bool(const char* driver)>& skip)
{
    Collect(nullptr, files, false, &owners, &skip);
    return listed_;
}

bool DriverFileNames::Collect(const char* driver, std::vector<std::string>& files, bool once,
                              std::vector<std::string>* owners, const std::function<bool(const char*)>* skip)
{
    if (!enumerated_)
        Enumerate();
    bool found = false;
    // A level-8 record begins as a level-3 one does.
    const std::size_t stride = level_ == 8 ? sizeof(DRIVER_INFO_8A) : sizeof(DRIVER_INFO_3A);
    for (DWORD i = 0; i < count_; ++i) {
        const BYTE* entry = entries_.data() + i * stride;
        const auto& info = *reinterpret_cast<const DRIVER_INFO_3A*>(entry);
        if (driver && (!info.pName || !text::FoldEqual(info.pName, driver)))
            continue;
        const char* name = info.pName ? info.pName : "";
        if (skip && *skip && (*skip)(name))
            continue;
        // Every version of the driver in this environment counts.
        found = true;
        const std::size_t first = files.size();
        AddName(files, info.pDriverPath, once);
        AddName(files, info.pDataFile, once);
        AddName(files, info.pConfigFile, once);
        AddName(files, info.pHelpFile, once);
        for (const char* dependent = info.pDependentFiles; dependent && *dependent;
             dependent += std::strlen(dependent) + 1)
            AddName(files, dependent, once);
        // Its colour profiles, which the colour folder holds.
        if (level_ == 8) {
            const char* profiles = reinterpret_cast<const DRIVER_INFO_8A*>(entry)->pszzColorProfiles;
            for (const char* profile = profiles; profile && *profile; profile += std::strlen(profile) + 1)
                AddName(files, profile, once);
        }
        if (owners)
            owners->resize(owners->size() + (files.size() - first), name);
    }
    return found;
}

void DriverFileNames::Enumerate()
{
    enumerated_ = true;
    DWORD returned = 0;
    std::optional<std::vector<BYTE>> listed;
    // Level 8 names the colour profiles too; a spooler before it knows
    // level 3 only.
    try {
        for (const DWORD level : {8u, 3u}) {
            level_ = level;
            listed = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
                return EnumPrinterDriversA(nullptr, const_cast<char*>(environment_), level, data, size, needed,
                                           &returned) != FALSE;
            });
            if (listed || GetLastError() != ERROR_INVALID_LEVEL)
                break;
        }
    } catch (const std::bad_alloc&) {
        error_ = ERROR_NOT_ENOUGH_MEMORY;
        return;
    }
    if (!listed) {
        error_ = GetLastError();
        return;
    }
    entries_ = std::move(*listed);
    count_ = entries_.empty() ? 0 : returned;
    listed_ = true;
}
