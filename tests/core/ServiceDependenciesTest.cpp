#include <gtest/gtest.h>

#include <map>

#include "spooler/ServiceDependencies.h"

namespace {

// Dependencies as a service manager would give them; a service it doesn't
// know makes the reader fail.
DependencyReader From(std::map<std::string, ItemList> known)
{
    return [known](const std::string& service) -> std::optional<ItemList> {
        const auto found = known.find(service);
        if (found == known.end())
            return std::nullopt;
        return found->second;
    };
}

} // namespace

TEST(ServiceDependencies, EveryServiceOnTheWayDownIsNeededOnceAndGroupsAreNotRead)
{
    const auto reader = From({
        {"Spooler", {"RPCSS", "http", "+NetworkProvider"}},
        {"RPCSS", {"RpcEptMapper", "DcomLaunch"}},
        {"http", {}},
        {"RpcEptMapper", {"RpcSs"}}, // back up the chain, another letter case
        {"DcomLaunch", {}},
    });
    EXPECT_EQ(ServicesNeededBy("Spooler", reader),
              (ItemList{"Spooler", "RPCSS", "http", "+NetworkProvider", "RpcEptMapper", "DcomLaunch"}));
}

TEST(ServiceDependencies, AListThatCantBeReadOnTheWayGivesNothing)
{
    // "RPCSS" is named but can't be read: what it needs is unknown.
    EXPECT_FALSE(ServicesNeededBy("Spooler", From({{"Spooler", {"RPCSS"}}})).has_value());
}
