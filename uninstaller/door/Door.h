#pragma once
// The one door through which the removal changes the machine: every
// deletion, write, start, stop, close request and restart request passes
// here, and nothing else in the removal changes anything. Reading the
// machine is done directly, by whoever needs to know.
//
// Two implementations, chosen once for a run: RealDoor makes each change and
// records what became of it; DryRunDoor records what it would do, counts it
// as done for the decisions that follow, and touches nothing. Each change
// gives the journal one line: what it did, or why it did not.

#include <windows.h>
#include <setupapi.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "../common/Journal.h"
#include "../common/PlatformKind.h"

// What became of a file the removal meant to delete.
enum class FileFate {
    Deleted,
    NotThere,
    Scheduled, // at the next start
    Failed,    // neither deleted nor scheduled
    Refused,
    WouldDelete, // a dry run
};

// What became of a component the spooler or the service manager deletes.
enum class Deletion {
    Done,    // deleted (in a dry run: would be)
    Pending, // marked for deletion at the next start
    NotThere,
    Refused, // the spooler keeps it as in use: it stays, and says so
    Failed,
};

// The ways Windows is asked to restart: a reboot as such (Windows 9x), a
// reboot once the shutdown privilege is enabled (NT), and the restart
// program started hidden with its command (Win32s).
enum class RestartVariant { Reboot, PrivilegedReboot, RestartProgram };

// What a folder that still holds something is, for the journal: passed
// over in silence (a sweep walked it), or kept with the reason.
enum class WhenNotEmpty { Silent, Kept };

// A program the removal started, and when.
struct StartedProgram {
    HANDLE Process = nullptr; // owned by the caller; none in a dry run
    ULONGLONG StartTick = 0;
    bool Started = false;
    // The platform was asked and refused (a dry run asks nothing).
    bool Refused = false;
};

// Thrown by a door that may not make the next change (its backup could not
// be written): the removal ends where it stands, as a failure.
class RemovalStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Door {
public:
    virtual ~Door() = default;

    // ---- The spooler ----
    // Deletes (and so cancels) one job of an open queue.
    virtual bool DeleteJob(HANDLE printer, DWORD jobId, const char* item) = 0;
    virtual bool DeletePrinter(HANDLE printer, const char* name) = 0;
    virtual bool DeleteConnection(const char* name) = 0;
    // Before NT: makes the open printer the default one: its level-2 record, when
    // given, is written back with the default flag set, the WIN.INI
    // "device" line, when given, is written, and every window is told.
    virtual bool MakeDefaultPrinter(HANDLE printer, const char* name, std::vector<BYTE>* record, const char* deviceLine,
                                   const PlatformKind& platform) = 0;
    // On NT: makes the printer (a queue or a connection) the user's default
    // through the platform, and tells every window. True only when the
    // platform then names it as the default.
    virtual bool SetUserDefaultPrinter(const char* name, const PlatformKind& platform) = 0;
    // Points the printer, now on print processor `from`, at another
    // processor and data type.
    virtual bool MovePrinterToProcessor(const char* printer, const char* from, const char* processor,
                                        const char* datatype) = 0;
    virtual Deletion DeleteDriver(const char* environment, const char* name) = 0;
    // `keyThere`: the monitor's registry key was there just before; a
    // spooler that answers "unknown monitor" yet took the key took the
    // monitor with it.
    virtual Deletion DeletePortMonitor(const char* environment, const char* name, const char* keyPath, bool keyThere) = 0;
    virtual Deletion DeleteProcessor(const char* environment, const char* name) = 0;
    virtual Deletion DeleteService(const char* name) = 0;
    // Stop and start the spooler's service, waiting while it reports progress.
    virtual bool StopSpooler() = 0;
    virtual bool StartSpooler() = 0;
    // The Windows 95 spooler: its window is asked to close.
    virtual bool CloseSpoolerWindow(HWND window, const char* windowClass) = 0;

    // ---- Programs ----
    // WM_CLOSE to a companion program's window; true when it agreed.
    virtual bool CloseCompanion(HWND window, const char* windowClass, WPARAM wParam, LPARAM lParam,
                                UINT answerTimeoutMs) = 0;
    // A registered message posted to every top-level window; `again` when
    // it was posted before in this run, so that the journal tells the two apart.
    virtual bool BroadcastCloseRequest(UINT message, const char* name, bool again) = 0;
    // Loads the library with its own folder current, calls its entry point
    // with the owner window, the instance and the program directory (current
    // again afterwards), and lets it go after `pauseMs`.
    virtual bool CallHook(const char* path, const char* folder, const char* entryPoint, HWND owner,
                          HINSTANCE instance, const char* programDirectory, DWORD pauseMs) = 0;
    virtual StartedProgram StartProgram(const char* operation, const char* path, const char* arguments) = 0;
    virtual bool RequestRestart(RestartVariant variant, const char* command) = 0;

    // ---- Devices and INF files ----
    virtual bool RemoveDevice(HDEVINFO set, SP_DEVINFO_DATA& device, const char* instance) = 0;
    virtual bool UninstallOemInf(const char* path, const char* infName) = 0;

    // ---- The registry ----
    // `item` is the key (or value) as the journal names it. `takenAlong`:
    // the item was there before a change of this run that may have taken it
    // with it (a queue's values, a component's key); found gone, it counts
    // as removed.
    virtual bool DeleteRegistryKey(const char* operation, const char* item, HKEY root, const char* path, bool tree,
                                   bool takenAlong = false) = 0;
    virtual bool DeleteRegistryValue(const char* operation, const char* item, HKEY root, const char* path,
                                     const char* name, bool takenAlong = false) = 0;
    virtual bool SetRegistryText(const char* operation, const char* item, HKEY root, const char* path,
                                 const char* name, const char* text) = 0;
    // Unloads a user's hive that a run which was ended left loaded under a
    // name of this program's (below HKEY_USERS).
    virtual bool UnloadLeftoverHive(const char* name) = 0;

    // ---- Profile files ----
    // Writes one line of WIN.INI: one that takes the item out of it, or
    // one that adds the item.
    virtual bool WriteProfileLine(const char* operation, const char* item, const char* section, const char* key,
                                  const char* value, bool takesItemOut) = 0;
    // Deletes one key line of an INI file.
    virtual bool DeleteIniLine(const char* item, const char* path, const char* section, const char* key) = 0;
    // On NT: takes the key out through the profile functions, which follow
    // the registry where Windows maps the file (WIN.INI's [Devices], ...);
    // `file` is the name of a file of the Windows directory.
    virtual bool DeleteProfileKey(const char* item, const char* file, const char* section, const char* key) = 0;

    // ---- Program Manager ----
    // Execute commands sent in turn, each only after the one before was
    // carried out; one that is refused names nothing Program Manager holds.
    virtual bool SendProgmanCommands(const char* operation, const char* item, const std::vector<std::string>& commands) = 0;

    // ---- Files and folders ----
    // Deletes the file now, or when Windows refuses, at its next start by
    // the mechanism of the platform.
    virtual FileFate DeleteOrScheduleFile(const char* operation, const PlatformKind& platform, const char* path) = 0;
    // Deletes the file now, its attributes cleared first; never scheduled.
    virtual FileFate DeleteFileNow(const char* operation, const char* path) = 0;
    // Lists the file for the companion deleter that runs at the next start.
    virtual bool ScheduleWithDeleter(const char* operation, const char* path) = 0;
    // Clears the read-only attribute so that the deletion can go through.
    virtual void ClearReadOnly(const char* path) = 0;
    virtual bool RemoveFolder(const char* path, WhenNotEmpty notEmpty) = 0;
    // NT: removes the folder at the next start, once the files scheduled in
    // it before have gone.
    virtual bool ScheduleFolderRemoval(const char* path) = 0;

    // ---- What a dry run has taken away ----
    // In a dry run the machine still holds what the run would have changed;
    // what follows asks here so that it decides as the real run would. In
    // a real run the machine itself tells, and these answer false.
    // Names compare without regard to letter case.
    virtual bool Gone(const char* operation, const char* item) const;
    // A registry key, also when a tree above it went.
    virtual bool KeyGone(const char* item) const;
    // A driver of one environment (nullptr: the running one): each
    // environment's copy goes on its own.
    virtual bool DriverGone(const char* environment, const char* name) const;
    // A printer moved off a print processor.
    virtual bool MovedOff(const char* printer, const char* processor) const;
    // A new removal starts from what the machine holds then.
    virtual void ForgetGone() {}

    // Counts every change that may alter what the spooler lists as printers
    // (a queue or connection deleted, a queue's record changed, a device
    // removed, the spooler stopped or started, a program started or a hook
    // called, which may do anything), so that a listing taken before it is
    // known to be stale.
    virtual unsigned PrinterChanges() const { return printerChanges_; }

protected:
    void PrintersChanged() { ++printerChanges_; }

private:
    unsigned printerChanges_ = 0;
};
