#include "ServiceRemoval.h"

#include <cstring>
#include <string>
#include <vector>

#include "../common/Journal.h"
#include "../common/TwoCall.h"
#include "../door/SpoolerService.h"
#include "../system/WindowsServices.h"
#include "ServiceDependencies.h"

namespace {

// The configuration of a service, or nothing when it can't be read.
std::optional<std::vector<BYTE>> Configuration(SC_HANDLE manager, const char* name, DWORD& error)
{
    ServiceHandle service{OpenServiceA(manager, name, SERVICE_QUERY_CONFIG)};
    if (!service) {
        error = GetLastError();
        return std::nullopt;
    }
    auto config = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
        return QueryServiceConfigA(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(data), size, needed) !=
               FALSE;
    });
    if (!config || config->empty()) {
        error = config ? ERROR_INVALID_DATA : GetLastError();
        return std::nullopt;
    }
    error = ERROR_SUCCESS;
    return config;
}

const QUERY_SERVICE_CONFIGA& AsConfig(const std::vector<BYTE>& buffer)
{
    return *reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(buffer.data());
}

// A listed service stays when another service, one the scripts don't list,
// depends on it: taking it away would stop that one from starting. Unable
// to tell, it stays.
bool OthersDependOn(SC_HANDLE service, const ItemList& listed, std::string& reason)
{
    reason = "its dependent services could not be listed";
    DWORD returned = 0;
    const auto dependentList = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
        return EnumDependentServicesA(service, SERVICE_STATE_ALL, reinterpret_cast<ENUM_SERVICE_STATUSA*>(data), size,
                                      needed, &returned) != FALSE;
    });
    if (!dependentList)
        return true;
    if (dependentList->empty())
        return false;
    const auto* dependents = reinterpret_cast<const ENUM_SERVICE_STATUSA*>(dependentList->data());
    for (DWORD i = 0; i < returned; ++i) {
        if (!dependents[i].lpServiceName || !HoldsItem(listed, dependents[i].lpServiceName)) {
            reason = journal::Reason("needed by service \"%s\"",
                                     dependents[i].lpServiceName ? dependents[i].lpServiceName : "");
            return true;
        }
    }
    return false;
}

// A service in a load-order group the spooler needs stays too.
bool InNeededGroup(SC_HANDLE manager, const char* name, const ItemList& kept)
{
    bool anyGroup = false;
    for (const std::string& k : kept)
        anyGroup = anyGroup || (!k.empty() && k[0] == '+');
    if (!anyGroup)
        return false;
    DWORD error = 0;
    const std::optional<std::vector<BYTE>> config = Configuration(manager, name, error);
    if (!config)
        return true;
    const char* group = AsConfig(*config).lpLoadOrderGroup;
    return group && *group && HoldsItem(kept, (std::string("+") + group).c_str());
}

} // namespace

std::optional<ItemList> ProtectedServices(SC_HANDLE manager)
{
    const DependencyReader dependenciesOf = [manager](const std::string& name) -> std::optional<ItemList> {
        DWORD error = 0;
        const std::optional<std::vector<BYTE>> config = Configuration(manager, name.c_str(), error);
        // A dependency that isn't installed needs nothing itself.
        if (!config)
            return error == ERROR_SERVICE_DOES_NOT_EXIST ? std::optional<ItemList>(ItemList{}) : std::nullopt;
        ItemList names;
        // A list of names, each ended by a NUL, the whole by another.
        for (const char* n = AsConfig(*config).lpDependencies; n && *n; n += std::strlen(n) + 1)
            names.emplace_back(n);
        return names;
    };
    std::optional<ItemList> kept = ServicesNeededBy(SpoolerServiceName(), dependenciesOf);
    if (kept)
        kept->push_back(kSpoolerService);
    return kept;
}

void RemoveServices(RemovalState& state)
{
    if (!state.Database || !state.Platform.isNT())
        return;
    ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT)};
    if (!manager)
        return;
    // Without what the spooler needs any listed service might be part of it:
    // then none goes.
    const std::optional<ItemList> kept = ProtectedServices(manager.Get());
    if (!kept)
        return;
    const ItemList& listed = state.Database->Merged.Services;
    for (const std::string& name : listed) {
        const char* item = name.c_str();
        if (HoldsItem(*kept, item)) {
            journal::Kept(journal::op::kService, item,
                          journal::Reason("needed by service \"%s\"", SpoolerServiceName()).c_str());
            continue;
        }
        if (InNeededGroup(manager.Get(), item, *kept)) {
            journal::Kept(journal::op::kService, item,
                          journal::Reason("in a load-order group service \"%s\" needs", SpoolerServiceName()).c_str());
            continue;
        }
        if (const std::optional<std::string> windows = WindowsServiceReason(state.Platform, item)) {
            journal::Kept(journal::op::kService, item, windows->c_str());
            continue;
        }
        ServiceHandle service{
            OpenServiceA(manager.Get(), item, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS)};
        if (!service) {
            const DWORD error = GetLastError();
            if (error == ERROR_SERVICE_DOES_NOT_EXIST)
                journal::NotPresent(journal::op::kService, item);
            else
                journal::Failed(journal::op::kService, item, error);
            continue;
        }
        std::string reason;
        if (OthersDependOn(service.Get(), listed, reason)) {
            journal::Kept(journal::op::kService, item, reason.c_str());
            continue;
        }
        service.Close();
        // A service that stopped and went needs nothing more; one that
        // stays marked for deletion goes when Windows starts again.
        const Deletion deletion = state.Changes.DeleteService(item);
        if (deletion == Deletion::Done || deletion == Deletion::Pending)
            state.ServicesGoing.push_back(name);
        if (deletion == Deletion::Pending)
            RequireRestart(*state.Database, journal::Reason("service %s is marked for deletion", item));
    }
}
