#include "RealDoor.h"
#include "UserHives.h"

#include <winspool.h>

#include <cstring>

#include "../common/DriverEnvironments.h"
#include "../common/Handles.h"
#include "../common/PrinterHandle.h"
#include "../common/RegistryReads.h"
#include "../common/ServiceHandle.h"
#include "../common/Text.h"
#include "../common/TwoCall.h"
#include "../script/Ini.h"
#include "../script/PathParts.h"
#include "DefaultPrinter.h"
#include "FileDeletion.h"
#include "OemInfUninstall.h"
#include "ProgmanDde.h"
#include "RegistryTree.h"
#include "RestartRequest.h"
#include "ServiceWait.h"
#include "SpoolerService.h"
#include "ZwininitDelete.h"

using namespace journal::op;

namespace {

constexpr DWORD kBroadcastWaitMs = 1000;
constexpr char kSetAsDefault[] = "set as default";

// Errors that mean there is nothing to delete: invalid function, file not
// found, path not found.
bool Missing(DWORD error)
{
    return error < ERROR_TOO_MANY_OPEN_FILES;
}

// Whether the service manager still knows the service: a deleted one that
// another program holds open, or that can't be asked about, counts as there.
bool ServiceStillListed(SC_HANDLE manager, const char* name)
{
    ServiceHandle service{OpenServiceA(manager, name, SERVICE_QUERY_STATUS)};
    return service || GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
}

void BroadcastProfileChange(const PlatformKind& platform)
{
    if (platform.isWin32s()) {
        SendMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
    } else if (platform.isWin9x()) {
        SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>("windows"), 0,
                            kBroadcastWaitMs, nullptr);
    } else if (platform.isNT()) {
        SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, 0, 0, kBroadcastWaitMs, nullptr);
    }
}

// Reads the open printer's level-2 record, lets `change` alter it and writes
// it back; the error when any of that fails.
template <typename Change>
DWORD ChangePrinterRecord(HANDLE printer, Change change)
{
    std::optional<std::vector<BYTE>> record = PrinterRecord(printer);
    if (!record || record->empty())
        return record ? ERROR_INVALID_DATA : GetLastError();
    change(*reinterpret_cast<PRINTER_INFO_2A*>(record->data()));
    return SetPrinterA(printer, 2, record->data(), 0) ? ERROR_SUCCESS : GetLastError();
}

// What a registry deletion's status says of the item.
bool RecordDeletion(const char* operation, const char* item, LONG status, bool takenAlong)
{
    if (status == ERROR_SUCCESS || (status == ERROR_FILE_NOT_FOUND && takenAlong)) {
        journal::Removed(operation, item);
        return true;
    }
    if (status == ERROR_FILE_NOT_FOUND)
        journal::NotPresent(operation, item);
    else
        journal::Failed(operation, item, static_cast<DWORD>(status));
    return false;
}

} // namespace

bool RealDoor::DeleteJob(HANDLE printer, DWORD jobId, const char* item)
{
    // Deleting cancels the job too; cancelling first would leave nothing to
    // delete. A spooler that knows no deletion of jobs is asked to cancel.
    bool gone = SetJobA(printer, jobId, 0, nullptr, JOB_CONTROL_DELETE) != FALSE;
    const DWORD error = gone ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_INVALID_PARAMETER) {
        gone = SetJobA(printer, jobId, 0, nullptr, JOB_CONTROL_CANCEL) != FALSE;
        // Neither knows the job: it ended since the queue was listed.
        if (!gone && GetLastError() == ERROR_INVALID_PARAMETER) {
            journal::NotPresent(kJob, item);
            return true;
        }
    }
    if (!gone) {
        journal::Failed(kJob, item, error);
        return false;
    }
    journal::Removed(kJob, item);
    return true;
}

bool RealDoor::DeletePrinter(HANDLE printer, const char* name)
{
    PrintersChanged();
    if (!::DeletePrinter(printer)) {
        journal::Failed(kPrinter, name, GetLastError());
        return false;
    }
    journal::Removed(kPrinter, name);
    return true;
}

bool RealDoor::DeleteConnection(const char* name)
{
    PrintersChanged();
    if (!DeletePrinterConnectionA(const_cast<char*>(name))) {
        journal::Failed(kConnection, name, GetLastError());
        return false;
    }
    journal::Removed(kConnection, name);
    return true;
}

bool RealDoor::MakeDefaultPrinter(HANDLE printer, const char* name, std::vector<BYTE>* record,
                                 const char* deviceLine, const PlatformKind& platform)
{
    PrintersChanged();
    bool changed = false;
    if (record && !record->empty()) {
        reinterpret_cast<PRINTER_INFO_2A*>(record->data())->Attributes |= PRINTER_ATTRIBUTE_DEFAULT;
        SetPrinterA(printer, 2, record->data(), 0);
        changed = true;
    }
    if (deviceLine) {
        WriteProfileStringA("windows", "device", deviceLine);
        changed = true;
    }
    BroadcastProfileChange(platform);
    if (changed)
        journal::Changed(kDefaultPrinter, name, kSetAsDefault);
    return changed;
}

bool RealDoor::SetUserDefaultPrinter(const char* name, const PlatformKind& platform)
{
    PrintersChanged();
    DWORD error = ERROR_SUCCESS;
    const bool set = SetPlatformDefaultPrinter(name, error);
    BroadcastProfileChange(platform);
    if (!set) {
        journal::Failed(kDefaultPrinter, name, error);
        return false;
    }
    // Told as set only when the platform names it now.
    if (!text::FoldEqual(CurrentDefaultPrinter(), name)) {
        journal::Record(kDefaultPrinter, name, journal::Outcome::Failed, "the default printer did not change");
        return false;
    }
    journal::Changed(kDefaultPrinter, name, kSetAsDefault);
    return true;
}

bool RealDoor::MovePrinterToProcessor(const char* printer, const char*, const char* processor,
                                      const char* datatype)
{
    PrintersChanged();
    const PrinterHandle handle = OpenPrinterFor(printer, PRINTER_ALL_ACCESS);
    const DWORD error = !handle ? GetLastError() : ChangePrinterRecord(handle.Get(), [&](PRINTER_INFO_2A& info) {
        info.pPrintProcessor = const_cast<char*>(processor);
    });
    if (error != ERROR_SUCCESS) {
        journal::Failed(kPrinter, printer, error);
        return false;
    }
    // Apart, so that a data type the processor refuses leaves the move made.
    ChangePrinterRecord(handle.Get(), [&](PRINTER_INFO_2A& info) { info.pDatatype = const_cast<char*>(datatype); });
    journal::Changed(kPrinter, printer, journal::Reason("moved to print processor \"%s\"", processor).c_str());
    return true;
}

Deletion RealDoor::DeleteDriver(const char* environment, const char* name)
{
    const std::string item = EnvironmentItem(environment, name);
    if (DeletePrinterDriverA(nullptr, const_cast<char*>(environment), const_cast<char*>(name))) {
        journal::Removed(kDriver, item.c_str());
        return Deletion::Done;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_UNKNOWN_PRINTER_DRIVER) {
        journal::NotPresent(kDriver, item.c_str());
        return Deletion::NotThere;
    }
    if (error == ERROR_PRINTER_DRIVER_IN_USE) {
        journal::Kept(kDriver, item.c_str(), "refused by the spooler as in use");
        return Deletion::Refused;
    }
    journal::Failed(kDriver, item.c_str(), error);
    return Deletion::Failed;
}

Deletion RealDoor::DeletePortMonitor(const char* environment, const char* name, const char* keyPath, bool keyThere)
{
    const std::string item = EnvironmentItem(environment, name);
    if (DeleteMonitorA(nullptr, const_cast<char*>(environment), const_cast<char*>(name))) {
        journal::Removed(kMonitor, item.c_str());
        return Deletion::Done;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_PRINT_MONITOR_IN_USE) {
        journal::Kept(kMonitor, item.c_str(), "refused by the spooler as in use");
        return Deletion::Refused;
    }
    if (error == ERROR_UNKNOWN_PRINT_MONITOR) {
        // Some spoolers take the monitor's key and still answer that they
        // know no such monitor: it went all the same.
        if (keyThere && keyPath && !KeyExists(HKEY_LOCAL_MACHINE, keyPath)) {
            journal::Removed(kMonitor, item.c_str());
            return Deletion::Done;
        }
        journal::NotPresent(kMonitor, item.c_str());
        return Deletion::NotThere;
    }
    journal::Failed(kMonitor, item.c_str(), error);
    return Deletion::Failed;
}

Deletion RealDoor::DeleteProcessor(const char* environment, const char* name)
{
    const std::string item = EnvironmentItem(environment, name);
    if (DeletePrintProcessorA(nullptr, const_cast<char*>(environment), const_cast<char*>(name))) {
        journal::Removed(kPrintProcessor, item.c_str());
        return Deletion::Done;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_UNKNOWN_PRINTPROCESSOR) {
        journal::NotPresent(kPrintProcessor, item.c_str());
        return Deletion::NotThere;
    }
    journal::Failed(kPrintProcessor, item.c_str(), error);
    return Deletion::Failed;
}

Deletion RealDoor::DeleteService(const char* name)
{
    ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT)};
    ServiceHandle service{
        manager ? OpenServiceA(manager.Get(), name, DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS) : nullptr};
    if (!service) {
        const DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
            journal::NotPresent(kService, name);
            return Deletion::NotThere;
        }
        journal::Failed(kService, name, error);
        return Deletion::Failed;
    }
    // A service is taken away for good only once it has stopped and the
    // last handle to it is closed; one that would not stop stays marked
    // until Windows starts again.
    const bool stopped = ServiceState(service.Get()) == SERVICE_STOPPED || StopServiceAndWait(service.Get());
    const bool deleted = ::DeleteService(service.Get()) != FALSE;
    const DWORD error = deleted ? ERROR_SUCCESS : GetLastError();
    service.Close();
    if (!deleted && error != ERROR_SERVICE_MARKED_FOR_DELETE) {
        journal::Failed(kService, name, error);
        return Deletion::Failed;
    }
    if (deleted && stopped && !ServiceStillListed(manager.Get(), name)) {
        journal::Removed(kService, name);
        return Deletion::Done;
    }
    journal::Record(kService, name, journal::Outcome::Scheduled,
                    !stopped ? "it would not stop" : deleted ? "still in use" : "already marked for deletion");
    return Deletion::Pending;
}

bool RealDoor::StopSpooler()
{
    PrintersChanged();
    if (StopSpoolerService()) {
        journal::Changed(kSpooler, SpoolerServiceName(), "stopped");
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_NOT_ACTIVE)
        journal::Changed(kSpooler, SpoolerServiceName(), "was not running");
    else
        journal::Failed(kSpooler, SpoolerServiceName(), error);
    return false;
}

bool RealDoor::StartSpooler()
{
    PrintersChanged();
    if (StartSpoolerService()) {
        journal::Changed(kSpooler, SpoolerServiceName(), "started");
        return true;
    }
    journal::Failed(kSpooler, SpoolerServiceName(), GetLastError());
    return false;
}

bool RealDoor::CloseSpoolerWindow(HWND window, const char* windowClass)
{
    SendMessageA(window, WM_CLOSE, 0, 0);
    journal::Changed(kSpooler, windowClass, "closed");
    return true;
}

bool RealDoor::CloseCompanion(HWND window, const char* windowClass, WPARAM wParam, LPARAM lParam,
                              UINT answerTimeoutMs)
{
    DWORD_PTR answer = 1;
    if (!SendMessageTimeoutA(window, WM_CLOSE, wParam, lParam, SMTO_ABORTIFHUNG, answerTimeoutMs, &answer)) {
        journal::Failed(kCompanion, windowClass, GetLastError());
        return false;
    }
    if (answer != 0) {
        journal::Kept(kCompanion, windowClass, "the program would not close");
        return false;
    }
    journal::Changed(kCompanion, windowClass, "closed");
    return true;
}

bool RealDoor::BroadcastCloseRequest(UINT message, const char* name, bool again)
{
    if (!PostMessageA(HWND_BROADCAST, message, 0, 0)) {
        journal::Failed(kCompanion, name, GetLastError());
        return false;
    }
    journal::Changed(kCompanion, name, again ? "asked again to close" : "asked to close");
    return true;
}

bool RealDoor::CallHook(const char* path, const char* folder, const char* entryPoint, HWND owner,
                        HINSTANCE instance, const char* programDirectory, DWORD pauseMs)
{
    // What the program does, the listing of printers sees afresh.
    PrintersChanged();
    // The form of a command entry point.
    using HookEntry = void(CALLBACK*)(HWND, HINSTANCE, LPSTR, int);
    // The program directory is current again after the hook, whatever it did.
    struct BackToProgramDirectory {
        const char* directory;
        ~BackToProgramDirectory() { SetCurrentDirectoryA(directory); }
    } back{programDirectory};
    SetCurrentDirectoryA(folder);
    LoadedModule library(LoadLibraryA(path));
    if (!library) {
        const DWORD error = GetLastError();
        if (error == ERROR_MOD_NOT_FOUND)
            journal::NotPresent(kHook, path);
        else
            journal::Failed(kHook, path, error);
        return false;
    }
    const auto hook = ProcAddress<HookEntry>(library.Get(), entryPoint);
    if (hook) {
        // The hook may write into its command line.
        char commandLine[text::kMaxText] = {};
        text::CopyWhole(commandLine, programDirectory);
        hook(owner, instance, commandLine, 0);
        journal::Changed(kHook, path, "called");
    } else {
        journal::Failed(kHook, path, ERROR_PROC_NOT_FOUND);
    }
    Sleep(pauseMs);
    library.Close();
    return hook != nullptr;
}

StartedProgram RealDoor::StartProgram(const char* operation, const char* path, const char* arguments)
{
    PrintersChanged();
    StartedProgram program;
    // The command line is written into by the platform.
    std::string commandLine = arguments ? arguments : "";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(path, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        journal::Failed(operation, path, GetLastError());
        program.Refused = true;
        return program;
    }
    CloseHandle(started.hThread);
    program.Process = started.hProcess;
    program.StartTick = GetTickCount64();
    program.Started = true;
    journal::Changed(operation, path, journal::Reason("started with \"%s\"", arguments ? arguments : "").c_str());
    return program;
}

bool RealDoor::RequestRestart(RestartVariant variant, const char* command)
{
    if (!RequestRestartOfWindows(variant, command)) {
        journal::Failed(kRestart, "Windows", GetLastError());
        return false;
    }
    journal::Changed(kRestart, "Windows", "started");
    return true;
}

bool RealDoor::RemoveDevice(HDEVINFO set, SP_DEVINFO_DATA& device, const char* instance)
{
    PrintersChanged();
    if (!SetupDiRemoveDevice(set, &device)) {
        journal::Failed(kDevice, instance, GetLastError());
        return false;
    }
    journal::Removed(kDevice, instance);
    return true;
}

bool RealDoor::UninstallOemInf(const char* path, const char* infName)
{
    if (::UninstallOemInf(infName) != 0) {
        journal::Failed(kOemInf, path, GetLastError());
        return false;
    }
    // Told as removed only once it is gone: a setup library may answer
    // success and leave it.
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        journal::Record(kOemInf, path, journal::Outcome::Failed, "the setup library left it in place");
        return false;
    }
    journal::Removed(kOemInf, path);
    return true;
}

bool RealDoor::DeleteRegistryKey(const char* operation, const char* item, HKEY root, const char* path, bool tree,
                                 bool takenAlong)
{
    // An empty path names the root itself: every key of the hive would go.
    const LONG status = !path || !*path ? ERROR_INVALID_PARAMETER
                        : tree          ? DeleteKeyTree(root, path)
                                        : RegDeleteKeyA(root, path);
    return RecordDeletion(operation, item, status, takenAlong);
}

bool RealDoor::DeleteRegistryValue(const char* operation, const char* item, HKEY root, const char* path,
                                   const char* name, bool takenAlong)
{
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &opened);
    if (status == ERROR_SUCCESS) {
        const RegistryKey key{opened};
        status = RegDeleteValueA(key.Get(), name);
    }
    return RecordDeletion(operation, item, status, takenAlong);
}

bool RealDoor::UnloadLeftoverHive(const char* name)
{
    const std::string item = std::string("HKU\\") + name;
    const LONG status = UnloadHive(name);
    if (status != ERROR_SUCCESS) {
        journal::Record("user profile", item.c_str(), journal::Outcome::Failed, "", static_cast<DWORD>(status));
        return false;
    }
    journal::Changed("user profile", item.c_str(), "unloaded, left loaded by a run that was ended");
    return true;
}

bool RealDoor::SetRegistryText(const char* operation, const char* item, HKEY root, const char* path,
                               const char* name, const char* text)
{
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &opened);
    if (status == ERROR_SUCCESS) {
        const RegistryKey key{opened};
        status = RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                static_cast<DWORD>(std::strlen(text) + 1));
    }
    if (status != ERROR_SUCCESS) {
        journal::Failed(operation, item, static_cast<DWORD>(status));
        return false;
    }
    journal::Changed(operation, item, "added");
    return true;
}

bool RealDoor::WriteProfileLine(const char* operation, const char* item, const char* section, const char* key,
                                const char* value, bool takesItemOut)
{
    const BOOL written = WriteProfileStringA(section, key, value);
    const DWORD error = written ? ERROR_SUCCESS : GetLastError();
    // Flushed at once: the next reader may be another program.
    WriteProfileStringA(nullptr, nullptr, nullptr);
    if (!written) {
        journal::Failed(operation, item, error);
        return false;
    }
    if (takesItemOut)
        journal::Removed(operation, item);
    else
        journal::Changed(operation, item, "added");
    return true;
}

bool RealDoor::DeleteIniLine(const char* item, const char* path, const char* section, const char* key)
{
    SetLastError(ERROR_SUCCESS);
    if (!CIni::DeleteKeyLine(path, section, key)) {
        journal::Failed(kIniEntry, item, GetLastError() ? GetLastError() : ERROR_WRITE_FAULT);
        return false;
    }
    journal::Removed(kIniEntry, item);
    return true;
}

bool RealDoor::DeleteProfileKey(const char* item, const char* file, const char* section, const char* key)
{
    if (!WritePrivateProfileStringA(section, key, nullptr, file)) {
        const DWORD error = GetLastError();
        journal::Failed(kIniEntry, item, error ? error : ERROR_WRITE_FAULT);
        return false;
    }
    // Flushed, so that the file or the registry holds the change now.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    journal::Removed(kIniEntry, item);
    return true;
}

bool RealDoor::SendProgmanCommands(const char* operation, const char* item, const std::vector<std::string>& commands)
{
    for (const std::string& command : commands) {
        // Program Manager carries out a deletion of whatever it holds: one
        // it refuses names nothing it has.
        if (!SendToProgman(command.c_str())) {
            // Refused, it names nothing Program Manager has; with nobody to
            // answer (no shell in this session), nothing was done.
            if (ProgmanAnswers())
                journal::NotPresent(operation, item);
            else
                journal::Record(operation, item, journal::Outcome::Failed, "Program Manager does not answer");
            return false;
        }
    }
    journal::Removed(operation, item);
    return true;
}

FileFate RealDoor::DeleteOrScheduleFile(const char* operation, const PlatformKind& platform, const char* path)
{
    if (!IsFullPath(path) || std::strlen(path) >= text::kMaxText) {
        journal::Kept(operation, path, "refused as unsafe");
        return FileFate::Refused;
    }
    if (DeleteFileA(path)) {
        journal::Removed(operation, path);
        return FileFate::Deleted;
    }
    const DWORD error = GetLastError();
    if (Missing(error))
        return FileFate::NotThere;
    if (!ScheduleAtRestart(platform, path)) {
        journal::Failed(operation, path, error);
        return FileFate::Failed;
    }
    journal::Scheduled(operation, path);
    return FileFate::Scheduled;
}

FileFate RealDoor::DeleteFileNow(const char* operation, const char* path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path)) {
        journal::Removed(operation, path);
        return FileFate::Deleted;
    }
    const DWORD error = GetLastError();
    if (Missing(error)) {
        journal::NotPresent(operation, path);
        return FileFate::NotThere;
    }
    journal::Failed(operation, path, error);
    return FileFate::Failed;
}

bool RealDoor::ScheduleWithDeleter(const char* operation, const char* path)
{
    if (!AddZwininitDelete(path)) {
        journal::Failed(operation, path, GetLastError());
        return false;
    }
    journal::Scheduled(operation, path);
    return true;
}

void RealDoor::ClearReadOnly(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool RealDoor::ScheduleFolderRemoval(const char* path)
{
    if (!MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        journal::Failed(kFolder, path, GetLastError());
        return false;
    }
    journal::Scheduled(kFolder, path);
    return true;
}

bool RealDoor::RemoveFolder(const char* path, WhenNotEmpty notEmpty)
{
    if (RemoveDirectoryA(path)) {
        journal::Removed(kFolder, path);
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_DIR_NOT_EMPTY) {
        if (notEmpty == WhenNotEmpty::Kept)
            journal::Kept(kFolder, path, "still holds files");
    } else if (Missing(error)) {
        journal::NotPresent(kFolder, path);
    } else {
        journal::Failed(kFolder, path, error);
    }
    return false;
}
