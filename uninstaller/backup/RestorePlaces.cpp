#include "RestorePlaces.h"

#include <initializer_list>

#include "../common/Journal.h"
#include "../common/Text.h"
#include "../script/ItemNames.h"

namespace {

// The part after `parent` and a backslash; false when the path is not
// below it.
bool Below(std::string_view path, std::string_view parent, std::string_view& rest)
{
    if (path.size() <= parent.size() + 1 || !text::FoldStartsWith(path, parent) || path[parent.size()] != '\\')
        return false;
    rest = path.substr(parent.size() + 1);
    return true;
}

// A path below one user's hive: the current user's, or one under their SID
// (their classes, "<SID>_Classes", as their Software\Classes); `rest` is
// the path within the user's hive.
bool UserPath(std::string_view shown, std::string& rest)
{
    std::string_view below;
    if (Below(shown, "HKEY_CURRENT_USER", below)) {
        rest = below;
        return true;
    }
    if (!Below(shown, "HKEY_USERS", below))
        return false;
    const std::size_t end = below.find('\\');
    if (end == std::string_view::npos)
        return false;
    const std::string_view hive = below.substr(0, end);
    rest = below.substr(end + 1);
    if (hive.size() > 8 && text::FoldEqual(hive.substr(hive.size() - 8), "_Classes"))
        rest = "Software\\Classes\\" + rest;
    return true;
}

// The path is one of the keys, or (`below`) a key directly below one.
bool OneOf(std::string_view path, std::initializer_list<std::string_view> keys, bool below)
{
    for (const std::string_view key : keys) {
        std::string_view rest;
        if (below ? Below(path, key, rest) && rest.find('\\') == std::string_view::npos : text::FoldEqual(path, key))
            return true;
    }
    return false;
}

// What a script's registry entry may name, as the removal judges it.
bool ScriptEntryAllowed(std::string_view shown)
{
    std::string line;
    std::string user;
    std::string_view rest;
    if (UserPath(shown, user))
        line = "HKCU,\"" + user + "\"";
    else if (Below(shown, "HKEY_LOCAL_MACHINE", rest))
        line = "HKLM,\"" + std::string(rest) + "\"";
    else if (Below(shown, "HKEY_CLASSES_ROOT", rest))
        line = "HKCR,\"" + std::string(rest) + "\"";
    else
        return false;
    // A service's key comes back only with its service.
    std::string_view system;
    if (Below(shown, "HKEY_LOCAL_MACHINE\\SYSTEM", system)) {
        for (std::size_t at = 0; (at = system.find('\\', at)) != std::string_view::npos; ++at) {
            if (text::FoldStartsWith(system.substr(at), "\\Services\\"))
                return false;
        }
    }
    ItemNamer namer;
    for (const ItemName& name : namer.Names(ItemKind::Registry, 'R', line + ",,1")) {
        if (name.untouchable)
            return false;
    }
    return true;
}

} // namespace

bool RestorePlaceAllowed(std::string_view operation, std::string_view shown)
{
    namespace op = journal::op;
    std::string user;
    std::string_view rest;
    if (operation == op::kRegistryKey || operation == op::kRegistryValue)
        return ScriptEntryAllowed(shown);
    if (operation == op::kPrinterTrace) {
        if (Below(shown, "HKEY_CLASSES_ROOT", rest))
            return rest.size() > 2 && rest.front() == '{' && rest.back() == '}' &&
                   rest.find('\\') == std::string_view::npos;
        return UserPath(shown, user) && OneOf(user,
                                              {"Printers\\DevModes2", "Printers\\Settings",
                                               "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices",
                                               "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts"},
                                              false);
    }
    if (operation == op::kDefaultPrinter)
        return UserPath(shown, user) && OneOf(user, {"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"}, false);
    if (operation == op::kConnection)
        return UserPath(shown, user) && OneOf(user, {"Printers\\Connections"}, true);
    if (operation == op::kStartupEntry)
        return OneOf(shown,
                     {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
                     false) ||
               (UserPath(shown, user) && OneOf(user, {"Software\\Microsoft\\Windows\\CurrentVersion\\Run"}, false));
    if (operation == op::kMonitor)
        return OneOf(shown, {"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Monitors"}, true);
    if (operation == op::kPrintProcessor) {
        if (!Below(shown, "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Environments", rest))
            return false;
        // <environment>\Print Processors\<name>
        const std::size_t end = rest.find('\\');
        std::string_view name;
        return end != std::string_view::npos && Below(rest.substr(end + 1), "Print Processors", name) &&
               name.find('\\') == std::string_view::npos;
    }
    return false;
}
