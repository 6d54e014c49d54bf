#pragma once
// The services a service needs to run, all the way down. Pure logic: the
// service manager is asked through the reader the caller gives.

#include <functional>
#include <optional>
#include <string>

#include "../script/UninstallProfile.h"

// The services one service depends on directly, as its configuration names
// them (a group as "+" and its name); nothing when they can't be read.
using DependencyReader = std::function<std::optional<ItemList>(const std::string& service)>;

// `root` and every service it needs, directly or through another, each
// once, groups as "+" and their name; nothing when any list on the way
// can't be read.
std::optional<ItemList> ServicesNeededBy(const std::string& root, const DependencyReader& dependenciesOf);
