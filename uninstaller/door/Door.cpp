#include "Door.h"

#include <vector>

#include "../common/DriverEnvironments.h"
#include "../common/Text.h"

namespace {

// Operation, a separator no name holds, item.
std::string GoneKey(const char* operation, const char* item)
{
    std::string key = operation ? operation : "";
    key += '\x01';
    key += item ? item : "";
    return key;
}

// A driver's copy in one environment.
std::string DriverKey(const char* environment, const char* name)
{
    return GoneKey(EnvironmentKeyName(environment), name);
}

} // namespace

bool Door::FoldLess::operator()(const std::string& a, const std::string& b) const
{
    return text::FoldCompare(a, b) < 0;
}

bool Door::Gone(const char* operation, const char* item) const
{
    return gone_.count(GoneKey(operation, item)) != 0;
}

bool Door::KeyGone(const char* item) const
{
    if (!item || goneTrees_.empty())
        return false;
    // The key itself, or any key above it: "HKLM\A\B" went with "HKLM\A".
    const std::string path = item;
    std::vector<std::size_t> separators;
    text::ForEachChar(path, text::IsLeadByte, [&](std::size_t i) {
        if (path[i] == '\\')
            separators.push_back(i);
    });
    if (goneTrees_.count(path) != 0)
        return true;
    for (const std::size_t end : separators) {
        if (goneTrees_.count(path.substr(0, end)) != 0)
            return true;
    }
    return false;
}

void Door::WouldRemove(const char* operation, const char* item)
{
    gone_.insert(GoneKey(operation, item));
    journal::Record(operation, item, journal::Outcome::WouldRemove);
}

void Door::TreeWouldRemove(const char* operation, const char* item)
{
    goneTrees_.insert(item ? item : "");
    WouldRemove(operation, item);
}

void Door::MarkGone(const char* operation, const char* item)
{
    gone_.insert(GoneKey(operation, item));
}

bool Door::DriverGone(const char* environment, const char* name) const
{
    return gone_.count(DriverKey(environment, name)) != 0;
}

void Door::MarkDriverGone(const char* environment, const char* name)
{
    gone_.insert(DriverKey(environment, name));
}

void Door::MarkTreeGone(const char* item)
{
    goneTrees_.insert(item ? item : "");
}

bool Door::MovedOff(const char* printer, const char* processor) const
{
    return gone_.count(GoneKey(processor, printer) + "\x02") != 0;
}

void Door::MarkMovedOff(const char* printer, const char* processor)
{
    gone_.insert(GoneKey(processor, printer) + "\x02");
}

void Door::ForgetGone()
{
    gone_.clear();
    goneTrees_.clear();
    ++printerChanges_;
}
