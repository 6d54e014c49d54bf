#include "ServiceRemoval.h"

#include <cstring>
#include <string>
#include <vector>

#include "ServiceHandle.h"
#include "SpoolerService.h"

namespace {

constexpr char kSpoolerService[] = "Spooler";

bool Listed(const ItemList& names, const char* name)
{
    for (const std::string& n : names) {
        if (text::FoldEqual(n, name))
            return true;
    }
    return false;
}

} // namespace

std::optional<ItemList> ProtectedServices(SC_HANDLE manager)
{
    ItemList names{kSpoolerService, SpoolerServiceName()};
    ServiceHandle spooler{OpenServiceA(manager, SpoolerServiceName(), SERVICE_QUERY_CONFIG)};
    if (!spooler) {
        // No spooler, nothing it depends on.
        if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST)
            return names;
        return std::nullopt;
    }
    DWORD needed = 0;
    QueryServiceConfigA(spooler.Get(), nullptr, 0, &needed);
    if (needed == 0)
        return std::nullopt;
    std::vector<BYTE> buffer(needed, 0);
    if (!QueryServiceConfigA(spooler.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data()), needed, &needed))
        return std::nullopt;
    const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(buffer.data());
    // A list of names, each ended by a NUL, the whole by another.
    for (const char* name = config->lpDependencies; name && *name; name += std::strlen(name) + 1)
        names.emplace_back(name);
    return names;
}

void RemoveServices(RemovalState& state)
{
    if (!state.Database || !state.Platform.isNT())
        return;
    ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CREATE_SERVICE)};
    if (!manager)
        return;
    // Without the spooler's dependencies any listed service might be one of
    // them: then none goes.
    const std::optional<ItemList> kept = ProtectedServices(manager.Get());
    if (!kept)
        return;
    for (const std::string& name : state.Database->Merged.Services) {
        if (Listed(*kept, name.c_str()))
            continue;
        ServiceHandle service{OpenServiceA(manager.Get(), name.c_str(), SERVICE_ALL_ACCESS)};
        if (!service)
            continue;
        const bool deleted = DeleteService(service.Get()) != FALSE;
        const DWORD error = deleted ? ERROR_SUCCESS : GetLastError();
        service.Close();
        if (deleted || error == ERROR_SERVICE_MARKED_FOR_DELETE)
            state.Database->RestartRequired = 1;
    }
}
