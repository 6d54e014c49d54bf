// libFuzzer target: arbitrary bytes as an uninstall script, through the INI
// parser, the list queries, the key searches and the script reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/IniModel.h"
#include "script/ScriptReader.h"
#include "script/UninstallProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    IniModel model;
    model.Parse(bytes.data(), bytes.size());

    char buffer[300];
    for (const IniSection& section : model.Sections()) {
        for (std::int32_t bufferSize : {0, 1, 5, 260, 300}) {
            const std::int32_t keys = model.GetKeys(section.name, buffer, bufferSize);
            const std::int32_t lines = model.GetSectionLines(section.name, buffer, bufferSize);
            if (keys > bufferSize || lines > bufferSize)
                __builtin_trap();
        }
        for (const IniEntry& entry : section.entries) {
            const std::size_t at = FindKeyInText(bytes, section.name, entry.key);
            const auto rest = DeleteKeyLineInText(bytes, section.name, entry.key);
            if (at > bytes.size() || (rest && rest->size() > bytes.size()))
                __builtin_trap();
            break;
        }
    }

    std::vector<UninstallProfile> profiles;
    if (ReadScriptProfiles(profiles, model, "fuzz.unm") && !profiles.empty()) {
        UninstallProfile all;
        for (const UninstallProfile& p : profiles)
            all.Merge(p);
        for (auto list : kAllLists) {
            if ((all.*list).size() > 1 && text::FoldCompare((all.*list)[0], (all.*list)[1]) >= 0)
                __builtin_trap();
        }
        all.Subtract(profiles.front());
        all.Subtract(all);
        for (auto list : kAllLists) {
            if (!(all.*list).empty())
                __builtin_trap();
        }
    }
    return 0;
}
