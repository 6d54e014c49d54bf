#include "DryRunDoor.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../common/DriverEnvironments.h"
#include "../common/Handles.h"
#include "../common/RegistryReads.h"
#include "../common/ServiceHandle.h"
#include "../common/Text.h"
#include "../script/PathParts.h"
#include "SpoolerKeys.h"
#include "SpoolerService.h"

using namespace journal::op;

// Each change is read as far as reading can tell what the real run would
// find: a file, key, value or folder that is not there, or a folder that
// would still hold something, is told as the real run tells it. What only
// trying could show (a refusal, a file in use) is not known here.

namespace {

void WouldChange(const char* operation, const char* item, const char* what)
{
    journal::Record(operation, item, journal::Outcome::WouldChange, what);
}

bool Exists(const char* path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return true;
    // Only "not there" is not there: a file that can't be read may well be.
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

// Operation, a separator no name holds, item. A folder is one item with or
// without its closing backslash.
std::string GoneKey(const char* operation, const char* item)
{
    std::string key = operation ? operation : "";
    key += '\x01';
    key += item ? item : "";
    if (operation && std::strcmp(operation, kFolder) == 0 && text::EndsWithSeparator(key, text::IsLeadByte))
        key.pop_back();
    return key;
}

// A driver's copy in one environment.
std::string DriverKey(const char* environment, const char* name)
{
    return GoneKey(EnvironmentKeyName(environment), name);
}

// A printer off a processor: a key no other gone item can have.
std::string MovedOffKey(const char* printer, const char* processor)
{
    return GoneKey(processor, printer) + '\x02';
}

std::string Child(const char* folder, const char* name)
{
    std::string path = folder;
    if (!text::EndsWithSeparator(path, text::IsLeadByte))
        path.push_back('\\');
    return path + name;
}

} // namespace

bool DryRunDoor::DeleteJob(HANDLE, DWORD, const char* item)
{
    WouldRemove(kJob, item);
    return true;
}

bool DryRunDoor::DeletePrinter(HANDLE, const char* name)
{
    PrintersChanged();
    WouldRemove(kPrinter, name);
    return true;
}

bool DryRunDoor::DeleteConnection(const char* name)
{
    PrintersChanged();
    WouldRemove(kConnection, name);
    return true;
}

bool DryRunDoor::MakeDefaultPrinter(HANDLE, const char* name, std::vector<BYTE>*, const char*, const PlatformKind&)
{
    WouldChange(kDefaultPrinter, name, "set as default");
    return true;
}

bool DryRunDoor::SetUserDefaultPrinter(const char* name, const PlatformKind&)
{
    WouldChange(kDefaultPrinter, name, "set as default");
    return true;
}

bool DryRunDoor::MovePrinterToProcessor(const char* printer, const char* from, const char* processor, const char*)
{
    MarkMovedOff(printer, from);
    WouldChange(kPrinter, printer, journal::Reason("move to print processor \"%s\"", processor).c_str());
    return true;
}

Deletion DryRunDoor::DeleteDriver(const char* environment, const char* name)
{
    WouldRemove(kDriver, EnvironmentItem(environment, name).c_str());
    MarkDriverGone(environment, name);
    // The spooler takes the driver's own keys with it.
    for (const std::string& key : AnyDriverKeys(environment, name))
        MarkTreeGone(("HKLM\\" + key).c_str());
    return Deletion::Done;
}

Deletion DryRunDoor::DeletePortMonitor(const char* environment, const char* name, const char* keyPath,
                                       bool keyThere)
{
    const std::string item = EnvironmentItem(environment, name);
    // A spooler that keeps its monitors as registry keys knows none without one.
    if (keyPath && !keyThere) {
        journal::NotPresent(kMonitor, item.c_str());
        return Deletion::NotThere;
    }
    WouldRemove(kMonitor, item.c_str());
    return Deletion::Done;
}

Deletion DryRunDoor::DeleteProcessor(const char* environment, const char* name)
{
    WouldRemove(kPrintProcessor, EnvironmentItem(environment, name).c_str());
    return Deletion::Done;
}

Deletion DryRunDoor::DeleteService(const char* name)
{
    WouldRemove(kService, name);
    // The real run stops the service first; one that does not take a stop
    // request would stay marked until Windows starts again. Whether a stop
    // would be refused or stall only trying could show.
    ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT)};
    ServiceHandle service{manager ? OpenServiceA(manager.Get(), name, SERVICE_QUERY_STATUS) : nullptr};
    SERVICE_STATUS status{};
    if (service && QueryServiceStatus(service.Get(), &status) && status.dwCurrentState != SERVICE_STOPPED &&
        (status.dwControlsAccepted & SERVICE_ACCEPT_STOP) == 0)
        return Deletion::Pending;
    // A service that goes takes its key along, in whichever control set a
    // script spells it.
    const std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\") + name;
    MarkTreeGone(("HKLM\\" + key).c_str());
    DWORD current = 0;
    DWORD size = sizeof current;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", "Current", RRF_RT_REG_DWORD, nullptr, &current, &size) ==
            ERROR_SUCCESS &&
        current > 0 && current < 1000) {
        char set[32] = {};
        std::snprintf(set, sizeof set, "ControlSet%03lu", static_cast<unsigned long>(current));
        MarkTreeGone((std::string("HKLM\\SYSTEM\\") + set + "\\Services\\" + name).c_str());
    }
    return Deletion::Done;
}

bool DryRunDoor::StopSpooler()
{
    PrintersChanged();
    // A stopped service can't be stopped: the real run tells just that.
    if (SpoolerServiceStopped()) {
        journal::Changed(kSpooler, SpoolerServiceName(), "was not running");
        return false;
    }
    WouldChange(kSpooler, SpoolerServiceName(), "stop");
    return true;
}

bool DryRunDoor::StartSpooler()
{
    PrintersChanged();
    WouldChange(kSpooler, SpoolerServiceName(), "start");
    return true;
}

bool DryRunDoor::CloseSpoolerWindow(HWND, const char* windowClass)
{
    WouldChange(kSpooler, windowClass, "close");
    // Nothing was asked to close: nothing to wait for.
    return false;
}

bool DryRunDoor::CloseCompanion(HWND, const char* windowClass, WPARAM, LPARAM, UINT)
{
    WouldChange(kCompanion, windowClass, "close");
    return true;
}

bool DryRunDoor::BroadcastCloseRequest(UINT, const char* name, bool again)
{
    WouldChange(kCompanion, name, again ? "ask again to close" : "ask to close");
    return true;
}

bool DryRunDoor::CallHook(const char* path, const char*, const char*, HWND, HINSTANCE, const char*, DWORD)
{
    // What the program does, the listing of printers sees afresh.
    PrintersChanged();
    // The library is never loaded: its entry point may change anything.
    if (!Exists(path)) {
        journal::NotPresent(kHook, path);
        return false;
    }
    WouldChange(kHook, path, "call");
    return true;
}

StartedProgram DryRunDoor::StartProgram(const char* operation, const char* path, const char* arguments)
{
    PrintersChanged();
    WouldChange(operation, path, journal::Reason("start with \"%s\"", arguments ? arguments : "").c_str());
    return {};
}

bool DryRunDoor::RequestRestart(RestartVariant, const char*)
{
    WouldChange(kRestart, "Windows", "start");
    return true;
}

bool DryRunDoor::RemoveDevice(HDEVINFO, SP_DEVINFO_DATA&, const char* instance)
{
    PrintersChanged();
    WouldRemove(kDevice, instance);
    return true;
}

bool DryRunDoor::UninstallOemInf(const char* path, const char*)
{
    WouldRemove(kOemInf, path);
    MarkGone(kFile, path);
    return true;
}

bool DryRunDoor::DeleteRegistryKey(const char* operation, const char* item, HKEY root, const char* path, bool,
                                   bool)
{
    if (!path || !*path || KeyGone(item) || !KeyExists(root, path)) {
        journal::NotPresent(operation, item);
        return false;
    }
    TreeWouldRemove(operation, item);
    return true;
}

bool DryRunDoor::DeleteRegistryValue(const char* operation, const char* item, HKEY root, const char* path,
                                     const char* name, bool)
{
    if (Gone(operation, item) || KeyGone(item) || !ValueExists(root, path, name)) {
        journal::NotPresent(operation, item);
        return false;
    }
    WouldRemove(operation, item);
    return true;
}

bool DryRunDoor::UnloadLeftoverHive(const char* name)
{
    WouldChange("user profile", (std::string("HKU\\") + name).c_str(), "unload, left loaded by a run that was ended");
    return false;
}

bool DryRunDoor::SetRegistryText(const char* operation, const char* item, HKEY, const char*, const char*,
                                 const char*)
{
    WouldChange(operation, item, "add");
    return true;
}

bool DryRunDoor::WriteProfileLine(const char* operation, const char* item, const char*, const char*, const char*,
                                  bool takesItemOut)
{
    if (takesItemOut)
        WouldRemove(operation, item);
    else
        WouldChange(operation, item, "add");
    return true;
}

bool DryRunDoor::DeleteIniLine(const char* item, const char*, const char*, const char*)
{
    WouldRemove(kIniEntry, item);
    return true;
}

bool DryRunDoor::DeleteProfileKey(const char* item, const char*, const char*, const char*)
{
    WouldRemove(kIniEntry, item);
    return true;
}

bool DryRunDoor::SendProgmanCommands(const char* operation, const char* item, const std::vector<std::string>&)
{
    WouldRemove(operation, item);
    return true;
}

FileFate DryRunDoor::DeleteOrScheduleFile(const char* operation, const PlatformKind&, const char* path)
{
    if (!IsFullPath(path) || std::strlen(path) >= text::kMaxText) {
        journal::Kept(operation, path, "refused as unsafe");
        return FileFate::Refused;
    }
    if (Gone(kFile, path) || !Exists(path))
        return FileFate::NotThere;
    WouldRemove(operation, path);
    MarkGone(kFile, path);
    // A file another program holds without letting it be deleted, or a
    // library a program has loaded, can go only at the next start, and the
    // real run asks for the restart. Asking to open it for deletion, and for
    // writing (which a loaded image refuses), tells; neither writes a byte.
    const auto refused = [path](DWORD access) {
        const KernelHandle probe(CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
    };
    if (refused(DELETE) || refused(FILE_WRITE_DATA))
        return FileFate::Scheduled;
    return FileFate::WouldDelete;
}

FileFate DryRunDoor::DeleteFileNow(const char* operation, const char* path)
{
    if (Gone(kFile, path) || !Exists(path)) {
        journal::NotPresent(operation, path);
        return FileFate::NotThere;
    }
    WouldRemove(operation, path);
    MarkGone(kFile, path);
    return FileFate::WouldDelete;
}

bool DryRunDoor::ScheduleWithDeleter(const char* operation, const char* path)
{
    WouldRemove(operation, path);
    MarkGone(kFile, path);
    return true;
}

void DryRunDoor::ClearReadOnly(const char*) {}

bool DryRunDoor::ScheduleFolderRemoval(const char* path)
{
    WouldRemove(kFolder, path);
    return true;
}

bool DryRunDoor::RemoveFolder(const char* path, WhenNotEmpty notEmpty)
{
    if (Gone(kFolder, path) || !Exists(path)) {
        journal::NotPresent(kFolder, path);
        return false;
    }
    // The real run finds the folder empty when everything in it went
    // before: files and folders this run would have removed.
    bool empty = true;
    WIN32_FIND_DATAA found{};
    FindHandle search(FindFirstFileA(Child(path, "*.*").c_str(), &found));
    if (search) {
        do {
            const std::string_view name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = Child(path, found.cFileName);
            const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            empty = folder ? Gone(kFolder, child.c_str()) : Gone(kFile, child.c_str());
        } while (empty && FindNextFileA(search.Get(), &found));
    }
    if (!empty) {
        if (notEmpty == WhenNotEmpty::Kept)
            journal::Kept(kFolder, path, "still holds files");
        return false;
    }
    WouldRemove(kFolder, path);
    return true;
}

bool DryRunDoor::FoldLess::operator()(const std::string& a, const std::string& b) const
{
    return text::FoldCompare(a, b) < 0;
}

bool DryRunDoor::Gone(const char* operation, const char* item) const
{
    return gone_.count(GoneKey(operation, item)) != 0;
}

bool DryRunDoor::KeyGone(const char* item) const
{
    if (!item || goneTrees_.empty())
        return false;
    // The key itself, or any key above it: "HKLM\A\B" went with "HKLM\A".
    const std::string path = item;
    if (goneTrees_.count(path) != 0)
        return true;
    bool above = false;
    text::ForEachChar(path, text::IsLeadByte, [&](std::size_t i) {
        above = above || (path[i] == '\\' && goneTrees_.count(path.substr(0, i)) != 0);
    });
    return above;
}

bool DryRunDoor::DriverGone(const char* environment, const char* name) const
{
    return gone_.count(DriverKey(environment, name)) != 0;
}

bool DryRunDoor::MovedOff(const char* printer, const char* processor) const
{
    return gone_.count(MovedOffKey(printer, processor)) != 0;
}

void DryRunDoor::ForgetGone()
{
    gone_.clear();
    goneTrees_.clear();
    PrintersChanged();
}

void DryRunDoor::WouldRemove(const char* operation, const char* item)
{
    MarkGone(operation, item);
    journal::Record(operation, item, journal::Outcome::WouldRemove);
}

void DryRunDoor::TreeWouldRemove(const char* operation, const char* item)
{
    MarkTreeGone(item);
    WouldRemove(operation, item);
}

void DryRunDoor::MarkGone(const char* operation, const char* item) { gone_.insert(GoneKey(operation, item)); }

void DryRunDoor::MarkTreeGone(const char* item) { goneTrees_.insert(item ? item : ""); }

void DryRunDoor::MarkDriverGone(const char* environment, const char* name)
{
    gone_.insert(DriverKey(environment, name));
}

void DryRunDoor::MarkMovedOff(const char* printer, const char* processor)
{
    gone_.insert(MovedOffKey(printer, processor));
}
