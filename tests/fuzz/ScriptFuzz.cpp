// libFuzzer target: arbitrary bytes as an uninstall script, through the INI
// parser, the list queries, the key searches, the script reader and the
// database build, with and without the double-byte characters of code page 932.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/DatabaseBuild.h"
#include "script/IniModel.h"
#include "script/ScriptReader.h"
#include "script/UninstallProfile.h"

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// FindKey's offset lies on the line DeleteKeyLine cuts, after blanks only;
// the cut is that whole line with its one line end, and nothing else changes.
void CheckKeySearch(std::string_view file, std::string_view section, std::string_view key)
{
    const std::size_t at = FindKeyInText(file, section, key);
    const auto rest = DeleteKeyLineInText(file, section, key);
    if ((at == 0) != !rest)
        __builtin_trap();
    if (!rest)
        return;
    if (at >= file.size() || rest->size() >= file.size() || !text::FoldEqual(file.substr(at, key.size()), key))
        __builtin_trap();
    std::size_t start = at;
    while (start > 0 && !IsLineEnd(file[start - 1]))
        --start;
    const std::size_t cut = file.size() - rest->size();
    if (start == 0 || *rest != std::string(file.substr(0, start)).append(file.substr(start + cut)))
        __builtin_trap();
    for (std::size_t i = start; i < at; ++i) {
        if (file[i] != ' ' && file[i] != '\t')
            __builtin_trap();
    }
    const std::string_view line = file.substr(start, cut);
    const std::size_t end = line.find_first_of("\r\n");
    if (end == std::string_view::npos) {
        if (start + cut != file.size())
            __builtin_trap();
        return;
    }
    const std::string_view lineEnd = line.substr(end);
    const bool lfNext = start + cut < file.size() && file[start + cut] == '\n';
    if (at + key.size() > start + end ||
        !(lineEnd == "\n" || lineEnd == "\r\n" || (lineEnd == "\r" && !lfNext)))
        __builtin_trap();
}

bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// A build over the script's profiles, every other printer staying: whatever
// the keep list holds is never in the merged profile.
void CheckBuild(const std::vector<UninstallProfile>& profiles)
{
    DatabaseContent db;
    db.Profiles = profiles;
    bool stays = false;
    for (const UninstallProfile& p : profiles) {
        CActivePrinter printer;
        text::CopyWhole(printer.PrinterName, p.Name);
        text::CopyWhole(printer.DriverName, p.Name);
        printer.Skip = stays;
        stays = !stays;
        db.Printers.push_back(printer);
    }
    FillBaseWorkList(db, db.BaseWorkList);
    AdjustForVeltrope(db, false);
    BuildDatabase(db, false);
    for (auto list : kAllLists) {
        for (const std::string& kept : db.KeepList.*list) {
            for (const std::string& item : db.Merged.*list) {
                if (text::FoldEqual(kept, item))
                    __builtin_trap();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    text::SetLeadBytes(size > 0 && (data[0] & 1) ? ShiftJisLead : nullptr);

    IniModel model;
    model.Parse(bytes.data(), bytes.size());

    char buffer[300];
    std::size_t searched = 0;
    for (const IniSection& section : model.Sections()) {
        for (std::int32_t bufferSize : {0, 1, 5, 260, 300}) {
            const std::int32_t keys = model.GetKeys(section.name, buffer, bufferSize);
            const std::int32_t lines = model.GetSectionLines(section.name, buffer, bufferSize);
            if (keys > bufferSize || lines > bufferSize)
                __builtin_trap();
        }
        if (searched++ < 8) {
            for (std::size_t i = 0; i < section.entries.size() && i < 2; ++i) {
                const std::string_view key = section.entries[i].key;
                CheckKeySearch(bytes, section.name, key);
                CheckKeySearch(bytes, section.name, key.substr(0, key.size() / 2));
            }
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
        CheckBuild(profiles);
        all.Subtract(profiles.front());
        all.Subtract(all);
        for (auto list : kAllLists) {
            if (!(all.*list).empty())
                __builtin_trap();
        }
    }
    return 0;
}
