#pragma once
// A door that saves what each change destroys before it lets the change
// through to the door it stands in front of: files, registry keys and
// values, INI lines, printers with their data and access list, drivers with
// their files, monitors, print processors and services. A change whose copy
// can't be saved is not made: the removal stops there (RemovalStopped).
// In front of a dry run's door it writes nothing and counts the bytes the
// backup would take.

#include <set>
#include <string>

#include "../common/PlatformKind.h"
#include "../door/Door.h"
#include "BackupFolder.h"

class BackupDoor : public Door {
public:
    BackupDoor(Door& inner, const std::string& folder, bool measureOnly, const PlatformKind& platform);

    // The journal's word on the backup: where it went and its size, or the
    // size a real run's would take.
    void Finish();

    bool DeleteJob(HANDLE printer, DWORD jobId, const char* item) override;
    bool DeletePrinter(HANDLE printer, const char* name) override;
    bool DeleteConnection(const char* name) override;
    bool MakeDefaultPrinter(HANDLE printer, const char* name, std::vector<BYTE>* record, const char* deviceLine,
                            const PlatformKind& platform) override;
    bool SetUserDefaultPrinter(const char* name, const PlatformKind& platform) override;
    bool MovePrinterToProcessor(const char* printer, const char* from, const char* processor,
                                const char* datatype) override;
    Deletion DeleteDriver(const char* environment, const char* name) override;
    Deletion DeletePortMonitor(const char* environment, const char* name, const char* keyPath, bool keyThere) override;
    Deletion DeleteProcessor(const char* environment, const char* name) override;
    Deletion DeleteService(const char* name) override;
    bool StopSpooler() override
    {
        Ready();
        return inner_.StopSpooler();
    }
    bool StartSpooler() override
    {
        Ready();
        return inner_.StartSpooler();
    }
    bool CloseSpoolerWindow(HWND window, const char* windowClass) override
    {
        Ready();
        return inner_.CloseSpoolerWindow(window, windowClass);
    }

    bool CloseCompanion(HWND window, const char* windowClass, WPARAM wParam, LPARAM lParam,
                        UINT answerTimeoutMs) override
    {
        Ready();
        return inner_.CloseCompanion(window, windowClass, wParam, lParam, answerTimeoutMs);
    }
    bool BroadcastCloseRequest(UINT message, const char* name, bool again) override
    {
        Ready();
        return inner_.BroadcastCloseRequest(message, name, again);
    }
    bool CallHook(const char* path, const char* folder, const char* entryPoint, HWND owner, HINSTANCE instance,
                  const char* programDirectory, DWORD pauseMs) override;
    StartedProgram StartProgram(const char* operation, const char* path, const char* arguments) override;
    bool RequestRestart(RestartVariant variant, const char* command) override
    {
        Ready();
        return inner_.RequestRestart(variant, command);
    }

    bool RemoveDevice(HDEVINFO set, SP_DEVINFO_DATA& device, const char* instance) override;
    bool UninstallOemInf(const char* path, const char* infName) override;

    bool DeleteRegistryKey(const char* operation, const char* item, HKEY root, const char* path, bool tree,
                           bool takenAlong) override;
    bool DeleteRegistryValue(const char* operation, const char* item, HKEY root, const char* path, const char* name,
                             bool takenAlong) override;
    bool SetRegistryText(const char* operation, const char* item, HKEY root, const char* path, const char* name,
                         const char* text) override;
    bool UnloadLeftoverHive(const char* name) override
    {
        Ready();
        return inner_.UnloadLeftoverHive(name);
    }

    bool WriteProfileLine(const char* operation, const char* item, const char* section, const char* key,
                          const char* value, bool takesItemOut) override;
    bool DeleteIniLine(const char* item, const char* path, const char* section, const char* key) override;
    bool DeleteProfileKey(const char* item, const char* file, const char* section, const char* key) override;
    bool SendProgmanCommands(const char* operation, const char* item,
                             const std::vector<std::string>& commands) override;

    FileFate DeleteOrScheduleFile(const char* operation, const PlatformKind& platform, const char* path) override;
    FileFate DeleteFileNow(const char* operation, const char* path) override;
    bool ScheduleWithDeleter(const char* operation, const char* path) override;
    void ClearReadOnly(const char* path) override;
    bool RemoveFolder(const char* path, WhenNotEmpty notEmpty) override;
    bool ScheduleFolderRemoval(const char* path) override;

    bool Gone(const char* operation, const char* item) const override { return inner_.Gone(operation, item); }
    bool KeyGone(const char* item) const override { return inner_.KeyGone(item); }
    bool DriverGone(const char* environment, const char* name) const override
    {
        return inner_.DriverGone(environment, name);
    }
    bool MovedOff(const char* printer, const char* processor) const override
    {
        return inner_.MovedOff(printer, processor);
    }
    void ForgetGone() override { inner_.ForgetGone(); }
    unsigned PrinterChanges() const override { return inner_.PrinterChanges(); }

private:
    // No change is made, not even one that destroys nothing, while the
    // backup can't be written: the removal stops before its first change.
    void Ready();
    // Appends the record; when it can't be, the change is not made.
    void Save(const BackupRecord& record, const char* item);
    [[noreturn]] void Stop(const char* item);
    // A file's copy and record, once per path; nothing for a file not
    // there. False when the file can't be read (held without sharing):
    // then it may not go.
    bool SaveFile(const char* path, const char* why);
    // Saves a file a change deletes; false, with the journal's line, when
    // it can't be read and so is kept.
    bool SaveOrKeep(const char* operation, const char* path);
    // A registry key or value's text and record; nothing when not there.
    // `written`: the text a change sets the value to.
    void SaveRegistry(const char* operation, const char* item, HKEY root, const char* path, const char* value,
                      bool tree, const char* kind = "registry", const char* written = nullptr);
    // An INI line a change deletes, with its value; nothing when not there.
    void SaveIniLine(const char* item, const char* file, const char* section, const char* key);
    // What the change does that no copy can undo.
    void SaveUndoable(const char* what, const char* item);

    Door& inner_;
    BackupFolder folder_;
    PlatformKind platform_;
    std::set<std::string> savedFiles_;
};
