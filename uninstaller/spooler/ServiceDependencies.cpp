#include "ServiceDependencies.h"

#include "../common/Text.h"

namespace {

// Deeper than any chain of services Windows has: a cycle, or a reader that
// keeps inventing names, ends here.
constexpr std::size_t kMaxServices = 512;

} // namespace

std::optional<ItemList> ServicesNeededBy(const std::string& root, const DependencyReader& dependenciesOf)
{
    ItemList needed{root};
    for (std::size_t next = 0; next < needed.size(); ++next) {
        const std::string service = needed[next];
        if (service.empty() || service[0] == '+')
            continue;
        const std::optional<ItemList> direct = dependenciesOf(service);
        if (!direct)
            return std::nullopt;
        for (const std::string& dependency : *direct) {
            if (dependency.empty() || HoldsItem(needed, dependency))
                continue;
            if (needed.size() >= kMaxServices)
                return std::nullopt;
            needed.push_back(dependency);
        }
    }
    return needed;
}
