#include "IniRemoval.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "../common/Handles.h"
#include "../common/Text.h"
#include "../script/FileSpec.h"
#include "../script/Ini.h"
#include "../script/PathParts.h"
#include "../common/Journal.h"

namespace {

// A longer entry would be cut to another file, section or key.
constexpr std::size_t kMaxEntry = 255;

bool ResolvedWindowsDirectory(char (&out)[text::kMaxText])
{
    FileSpec windows;
    windows.Resolve(location::WindowsDirectory);
    return text::CopyWhole(out, windows.Compose()) && out[0] != '\0';
}

bool WindowsDirectory(const RemovalState& state, char (&out)[text::kMaxText])
{
    if (state.WindowsDirectory[0] != '\0')
        return text::CopyWhole(out, state.WindowsDirectory);
    return ResolvedWindowsDirectory(out);
}

// ERROR_SUCCESS when the file can be read or is not there (a mapped file
// need not be); else why it can't. Opened for reading only.
DWORD ReadError(const char* path)
{
    const KernelHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
}

std::string FileNameOf(const char* path)
{
    const std::string_view whole = path;
    const std::size_t separator = text::LastSeparator(whole, text::IsLeadByte);
    return std::string(separator == std::string_view::npos ? whole : whole.substr(separator + 1));
}

// Why an entry of this file and section is Windows' own on NT, or nullptr.
// WIN.INI and SYSTEM.INI are kept in the registry there: their sections
// are Windows' settings ([windows] names the shell's programs, [intl] the
// user's formats), but for the printers' and ports' lists.
const char* WindowsSection(std::string_view file, std::string_view section)
{
    if (!text::FoldEqual(file, "win.ini") && !text::FoldEqual(file, "system.ini"))
        return nullptr;
    if (text::FoldEqual(file, "win.ini")) {
        for (const char* list : {"Devices", "PrinterPorts", "Ports"}) {
            if (text::FoldEqual(section, list))
                return nullptr;
        }
    }
    return "a setting of Windows, kept in the registry";
}

// Whether the section lists the key, as the profile functions read it.
bool ProfileHoldsKey(const char* file, const char* section, const char* key)
{
    std::vector<char> keys(32 * 1024, '\0');
    DWORD length = 0;
    // A list that fills the buffer may have been cut: read it again larger.
    for (;;) {
        length = GetPrivateProfileStringA(section, nullptr, "", keys.data(), static_cast<DWORD>(keys.size()), file);
        if (length + 2 < keys.size() || keys.size() >= 4 * 1024 * 1024)
            break;
        keys.assign(keys.size() * 4, '\0');
    }
    for (const char* name = keys.data(); length > 0 && *name; name += std::strlen(name) + 1) {
        if (text::FoldEqual(name, key))
            return true;
    }
    return false;
}

// One of the ports Windows itself makes: LPTn:, COMn:, FILE: and the like.
bool WindowsPort(std::string_view port)
{
    for (const char* own : {"FILE:", "NUL:", "NUL", "PORTPROMPT:", "XPSPort:"}) {
        if (text::FoldEqual(port, own))
            return true;
    }
    for (const char* numbered : {"LPT", "COM"}) {
        if (!text::FoldStartsWith(port, numbered) || port.size() < 5 || port.back() != ':')
            continue;
        const std::string_view digits = port.substr(3, port.size() - 4);
        bool allDigits = !digits.empty();
        for (const char c : digits)
            allDigits = allDigits && c >= '0' && c <= '9';
        if (allDigits)
            return true;
    }
    return false;
}

// Why an entry of WIN.INI's lists of printers and ports stays: the printer
// it names is still installed, or the port is Windows' own or one a printer
// that stays prints through. Empty when it may go.
std::string StayingListReason(RemovalState& state, std::string_view file, std::string_view section,
                              std::string_view key)
{
    if (!text::FoldEqual(file, "win.ini"))
        return {};
    const bool printers = text::FoldEqual(section, "Devices") || text::FoldEqual(section, "PrinterPorts");
    const bool ports = text::FoldEqual(section, "Ports");
    if (!printers && !ports)
        return {};
    if (ports && WindowsPort(key))
        return "a port of Windows";
    const std::vector<ListedPrinter>* listed = state.Printers.Now();
    if (!listed)
        return "the installed printers could not be listed";
    for (const ListedPrinter& printer : *listed) {
        if (printers && text::FoldEqual(printer.Name, key))
            return journal::Reason("printer \"%s\" stays installed", printer.Name.c_str());
        if (ports && printer.UsesPort(key))
            return journal::Reason("printer \"%s\" prints through it", printer.Name.c_str());
    }
    return {};
}

} // namespace

bool SplitIniEntry(std::string_view entry, IniEntryParts& parts)
{
    const std::size_t first = entry.find(',');
    const std::size_t second = first == std::string_view::npos ? first : entry.find(',', first + 1);
    if (second == std::string_view::npos)
        return false;
    const std::size_t third = entry.find(',', second + 1);
    parts.file = entry.substr(0, first);
    parts.section = entry.substr(first + 1, second - first - 1);
    parts.key = entry.substr(second + 1, third == std::string_view::npos ? third : third - second - 1);
    return !parts.file.empty() && !parts.section.empty() && !parts.key.empty();
}

std::optional<IniTarget> ReadIniEntry(std::string_view entry, const char* windowsDirectory)
{
    IniEntryParts parts;
    if (entry.size() > kMaxEntry || !SplitIniEntry(entry, parts))
        return std::nullopt;
    // Only the name and extension count: the file is always the Windows
    // directory's.
    PathParts named;
    named.Split(parts.file, text::IsLeadByte);
    if (named.name[0] == '\0')
        return std::nullopt;
    PathParts target;
    IniTarget ini;
    if (!text::CopyWhole(target.directory, windowsDirectory) || !text::CopyWhole(target.name, named.name) ||
        !text::CopyWhole(target.extension, named.extension) || !ComposePath(target, ini.Path, text::IsLeadByte) ||
        ini.Path[0] == '\0')
        return std::nullopt;
    ini.Section = parts.section;
    ini.Key = parts.key;
    ini.Item = std::string(ini.Path) + " [" + ini.Section + "] " + ini.Key;
    return ini;
}

std::string IniEntryItem(std::string_view entry)
{
    char windows[text::kMaxText] = {};
    if (!ResolvedWindowsDirectory(windows))
        return {};
    const std::optional<IniTarget> ini = ReadIniEntry(entry, windows);
    return ini ? ini->Item : std::string();
}

void RemoveIniEntries(RemovalState& state)
{
    char windows[text::kMaxText] = {};
    if (!state.Database || !WindowsDirectory(state, windows))
        return;
    using journal::op::kIniEntry;
    for (const std::string& entry : state.Database->Merged.DeleteIni) {
        const std::optional<IniTarget> ini = ReadIniEntry(entry, windows);
        if (!ini) {
            journal::Kept(kIniEntry, entry.c_str(), "refused as unsafe");
            continue;
        }
        // A file that is there but can't be read may hold the key.
        if (const DWORD error = ReadError(ini->Path); error != ERROR_SUCCESS) {
            journal::Failed(kIniEntry, ini->Item.c_str(), error);
            continue;
        }
        // What a printer that stays is listed by, or prints through.
        if (const std::string why = StayingListReason(state, FileNameOf(ini->Path), ini->Section, ini->Key);
            !why.empty()) {
            journal::Kept(kIniEntry, ini->Item.c_str(), why.c_str());
            continue;
        }
        if (state.Platform.isNT()) {
            // NT reads some files' sections from the registry (WIN.INI's
            // [Devices], [PrinterPorts], [Windows], ...): what is there and
            // what goes is asked of the profile functions, which know.
            const std::string file = FileNameOf(ini->Path);
            // Those sections are Windows' settings, but for the lists of
            // printers and ports, whose entries a driver package adds.
            if (const char* why = WindowsSection(file, ini->Section)) {
                journal::Kept(kIniEntry, ini->Item.c_str(), why);
                continue;
            }
            if (!ProfileHoldsKey(file.c_str(), ini->Section.c_str(), ini->Key.c_str())) {
                journal::NotPresent(kIniEntry, ini->Item.c_str());
                continue;
            }
            state.Changes.DeleteProfileKey(ini->Item.c_str(), file.c_str(), ini->Section.c_str(), ini->Key.c_str());
            continue;
        }
        if (CIni::FindKey(ini->Path, ini->Section.c_str(), ini->Key.c_str()) == 0) {
            journal::NotPresent(kIniEntry, ini->Item.c_str());
            continue;
        }
        state.Changes.DeleteIniLine(ini->Item.c_str(), ini->Path, ini->Section.c_str(), ini->Key.c_str());
    }
}
