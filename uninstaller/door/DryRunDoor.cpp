#include "DryRunDoor.h"

#include <cstring>
#include <string>

#include "../common/Handles.h"
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

bool DryRunDoor::MovePrinterToProcessor(const char* printer, const char* from, const char* processor, const char*)
{
    MarkMovedOff(printer, from);
    WouldChange(kPrinter, printer, journal::Reason("move to print processor \"%s\"", processor).c_str());
    return true;
}

Deletion DryRunDoor::DeleteDriver(const char* environment, const char* name)
{
    WouldRemove(kDriver, name);
    MarkDriverGone(environment, name);
    // The spooler takes the driver's own keys with it.
    for (const std::string& key : AnyDriverKeys(environment, name))
        MarkTreeGone(("HKLM\\" + key).c_str());
    return Deletion::Done;
}

Deletion DryRunDoor::DeletePortMonitor(const char*, const char* name, const char* keyPath, bool keyThere)
{
    // A spooler that keeps its monitors as registry keys knows none without one.
    if (keyPath && !keyThere) {
        journal::NotPresent(kMonitor, name);
        return Deletion::NotThere;
    }
    WouldRemove(kMonitor, name);
    return Deletion::Done;
}

Deletion DryRunDoor::DeleteProcessor(const char*, const char* name)
{
    WouldRemove(kPrintProcessor, name);
    return Deletion::Done;
}

Deletion DryRunDoor::DeleteService(const char* name)
{
    WouldRemove(kService, name);
    return Deletion::Done;
}

bool DryRunDoor::StopSpooler()
{
    PrintersChanged();
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

bool DryRunDoor::BroadcastCloseRequest(UINT, const char* name)
{
    WouldChange(kCompanion, name, "ask to close");
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
    HKEY key = nullptr;
    const bool there = path && *path && !KeyGone(item) && RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key)
        RegCloseKey(key);
    if (!there) {
        journal::NotPresent(operation, item);
        return false;
    }
    TreeWouldRemove(operation, item);
    return true;
}

bool DryRunDoor::DeleteRegistryValue(const char* operation, const char* item, HKEY root, const char* path,
                                     const char* name, bool)
{
    bool there = false;
    HKEY opened = nullptr;
    if (!Gone(operation, item) && !KeyGone(item) && RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS) {
        const RegistryKey key{opened};
        there = RegQueryValueExA(key.Get(), name, nullptr, nullptr, nullptr, nullptr) != ERROR_FILE_NOT_FOUND;
    }
    if (!there) {
        journal::NotPresent(operation, item);
        return false;
    }
    WouldRemove(operation, item);
    return true;
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
