#include "Progman.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "../common/Journal.h"
#include "../common/Text.h"
#include "../door/Door.h"

namespace {

// Program Manager's commands are built in 64 bytes.
constexpr std::size_t kMaxCommand = 64;

// A name that holds one of these could end the command and start another
// one ("G)][DeleteGroup(Startup"), or end it early: it is never sent.
bool FitsInCommand(const char* name)
{
    if (!name)
        return false;
    // Judged by character: the second byte of a double-byte character
    // ("ー" is 0x81 0x5B) is no bracket.
    bool fits = true;
    const std::string_view text = name;
    text::ForEachChar(text, text::IsLeadByte, [&](std::size_t i) {
        if (std::string_view("[]()\"").find(text[i]) != std::string_view::npos)
            fits = false;
    });
    return fits;
}

// The command, whole, in the 64-byte buffer; false when it does not fit: a
// cut name would be another group's or item's.
template <typename... Args>
bool Format(char (&command)[kMaxCommand], const char* format, Args... args)
{
    const int length = std::snprintf(command, sizeof command, format, args...);
    return length >= 0 && static_cast<std::size_t>(length) < sizeof command;
}

} // namespace

bool ProgmanDeleteGroup(Door& door, const char* group)
{
    using journal::op::kProgramGroup;
    char command[kMaxCommand] = {};
    if (!FitsInCommand(group) || !Format(command, "[DeleteGroup(%s)]", group)) {
        journal::Kept(kProgramGroup, group ? group : "", "refused as unsafe");
        return false;
    }
    return door.SendProgmanCommands(kProgramGroup, group, {command});
}

bool ProgmanDeleteItem(Door& door, const char* group, const char* item)
{
    using journal::op::kShortcut;
    const std::string named = std::string(group ? group : "") + "\\" + (item ? item : "");
    char show[kMaxCommand] = {};
    char remove[kMaxCommand] = {};
    if (!FitsInCommand(group) || !FitsInCommand(item) || !Format(show, "[ShowGroup(%s,1)]", group) ||
        !Format(remove, "[DeleteItem(%s)]", item)) {
        journal::Kept(kShortcut, named.c_str(), "refused as unsafe");
        return false;
    }
    return door.SendProgmanCommands(kShortcut, named.c_str(), {show, remove});
}
