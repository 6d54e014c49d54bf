#include "WindowsServices.h"

#include <windows.h>

#include "../common/AnsiLeadByte.h"
#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../common/Text.h"
#include "../script/LoadLine.h"
#include "FileProtection.h"

namespace {

bool Absolute(std::string_view path)
{
    return (path.size() >= 2 && path[1] == ':') || (path.size() >= 2 && path[0] == '\\' && path[1] == '\\');
}

bool HasExtension(std::string_view path)
{
    const std::size_t separator = text::LastSeparator(path, AnsiLeadByte);
    const std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    return name.find('.') != std::string_view::npos;
}

// The text with its environment variables expanded; nothing when it does
// not expand whole.
std::optional<std::string> Expanded(const std::string& text)
{
    char expanded[text::kMaxText * 4] = {};
    const DWORD length = ExpandEnvironmentStringsA(text.c_str(), expanded, sizeof expanded);
    if (length == 0 || length > sizeof expanded)
        return std::nullopt;
    return std::string(expanded);
}

std::string WindowsFolder()
{
    char folder[text::kMaxText] = {};
    const UINT length = GetSystemWindowsDirectoryA(folder, sizeof folder);
    return length > 0 && length < sizeof folder ? std::string(folder) : std::string();
}

// The first of the paths that Windows protects, each also as the file
// system reads it ("..", "/", short names resolved); nothing when none is.
std::optional<std::string> ProtectedOne(const PlatformKind& platform, const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        std::vector<std::string> forms{path};
        char full[text::kMaxText] = {};
        const DWORD fullLength = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
        if (fullLength > 0 && fullLength < sizeof full) {
            forms.emplace_back(full);
            char longer[text::kMaxText] = {};
            const DWORD longLength = GetLongPathNameA(full, longer, sizeof longer);
            if (longLength > 0 && longLength < sizeof longer)
                forms.emplace_back(longer);
        }
        for (const std::string& form : forms)
            if (IsProtectedByWindows(platform, form.c_str()))
                return path;
    }
    return std::nullopt;
}

} // namespace

std::vector<std::string> ServiceFilePaths(std::string_view image, std::string_view windowsFolder)
{
    while (!image.empty() && (image.front() == ' ' || image.front() == '\t'))
        image.remove_prefix(1);
    std::string command;
    if (text::FoldStartsWith(image, "\\SystemRoot\\"))
        command = std::string(windowsFolder) + std::string(image.substr(11));
    else if (image.substr(0, 4) == "\\??\\" || image.substr(0, 4) == "\\\\?\\")
        command = std::string(image.substr(4));
    else if (text::FoldStartsWith(image, "\\DosDevices\\"))
        command = std::string(image.substr(12));
    else
        command = std::string(image);
    std::vector<std::string> paths;
    for (const std::string_view candidate : CommandProgramCandidates(command)) {
        if (candidate.empty())
            continue;
        std::vector<std::string> readings;
        if (Absolute(candidate))
            readings.emplace_back(candidate);
        else if (candidate.front() == '\\')
            readings.push_back(std::string(windowsFolder.substr(0, 2)) + std::string(candidate)); // the drive's root
        else if (text::LastSeparator(candidate, AnsiLeadByte) == std::string_view::npos) {
            // A bare program name is looked for in the system folder first.
            readings.push_back(std::string(windowsFolder) + "\\System32\\" + std::string(candidate));
            readings.push_back(std::string(windowsFolder) + "\\" + std::string(candidate));
        } else
            readings.push_back(std::string(windowsFolder) + "\\" + std::string(candidate));
        for (const std::string& path : readings) {
            paths.push_back(path);
            if (!HasExtension(candidate))
                paths.push_back(path + ".exe");
        }
    }
    return paths;
}

std::optional<std::string> WindowsServiceReason(const PlatformKind& platform, const char* name)
{
    const std::string_view service(name ? name : "");
    // A name with a separator names no service, but would name another key.
    if (service.empty() || service.find_first_of("\\/") != std::string_view::npos)
        return std::string("not a name a service can have");
    const std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + std::string(service);
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &opened);
    if (NotFound(status))
        return std::nullopt;
    if (status != ERROR_SUCCESS)
        return journal::Reason("its key could not be read (error %ld)", static_cast<long>(status));
    const RegistryKey key{opened};
    // Every service has a type; a key below Services without one is no
    // service but settings kept there (WinSock2's catalogue, a counter's).
    DWORD type = 0;
    DWORD typeSize = sizeof type;
    const LONG typeRead = RegGetValueA(key.Get(), nullptr, "Type", RRF_RT_REG_DWORD, nullptr, &type, &typeSize);
    if (NotFound(typeRead))
        return std::string("no service: settings kept below Services");
    if (typeRead != ERROR_SUCCESS)
        return journal::Reason("its type could not be read (error %ld)", static_cast<long>(typeRead));
    const std::string windowsFolder = WindowsFolder();
    if (windowsFolder.size() < 3)
        return std::string("the Windows folder could not be read");

    // A shared host's service is the library it loads, named under
    // Parameters or in its own key: either counts.
    bool hosted = false;
    for (const char* where : {"Parameters", static_cast<const char*>(nullptr)}) {
        const RegistryText library = ReadRegistryText(key.Get(), where, "ServiceDll");
        if (library.Missing)
            continue;
        const std::optional<std::string> expanded = library.Text ? Expanded(*library.Text) : std::nullopt;
        if (!expanded)
            return std::string("its ServiceDll could not be read");
        if (expanded->empty())
            continue;
        hosted = true;
        if (const std::optional<std::string> windows =
                ProtectedOne(platform, ServiceFilePaths("\"" + *expanded + "\"", windowsFolder)))
            return journal::Reason("a service of Windows: its library %s is a file of Windows", windows->c_str());
    }
    if (hosted)
        return std::nullopt;

    const RegistryText image = ReadRegistryText(key.Get(), nullptr, "ImagePath");
    std::optional<std::string> command;
    // An empty image path is read as none.
    if (image.Missing || (image.Text && image.Text->find_first_not_of(' ') == std::string::npos))
        command = "System32\\drivers\\" + std::string(service) + ".sys";
    else if (image.Text)
        command = Expanded(*image.Text);
    if (!command)
        return std::string("its image path could not be read");
    if (const std::optional<std::string> windows = ProtectedOne(platform, ServiceFilePaths(*command, windowsFolder)))
        return journal::Reason("a service of Windows: its program %s is a file of Windows", windows->c_str());
    return std::nullopt;
}
