#pragma once
// The door of a dry run: each change is recorded as one the removal would
// make, and counts as made for the decisions that follow; nothing is touched.

#include <set>
#include <string>

#include "Door.h"

class DryRunDoor : public Door {
public:
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
    bool StopSpooler() override;
    bool StartSpooler() override;
    bool CloseSpoolerWindow(HWND window, const char* windowClass) override;

    bool CloseCompanion(HWND window, const char* windowClass, WPARAM wParam, LPARAM lParam,
                        UINT answerTimeoutMs) override;
    bool BroadcastCloseRequest(UINT message, const char* name, bool again) override;
    bool CallHook(const char* path, const char* folder, const char* entryPoint, HWND owner, HINSTANCE instance,
                  const char* programDirectory, DWORD pauseMs) override;
    StartedProgram StartProgram(const char* operation, const char* path, const char* arguments) override;
    bool RequestRestart(RestartVariant variant, const char* command) override;

    bool RemoveDevice(HDEVINFO set, SP_DEVINFO_DATA& device, const char* instance) override;
    bool UninstallOemInf(const char* path, const char* infName) override;

    bool DeleteRegistryKey(const char* operation, const char* item, HKEY root, const char* path, bool tree,
                           bool takenAlong) override;
    bool DeleteRegistryValue(const char* operation, const char* item, HKEY root, const char* path, const char* name,
                             bool takenAlong) override;
    bool UnloadLeftoverHive(const char* name) override;
    bool SetRegistryText(const char* operation, const char* item, HKEY root, const char* path, const char* name,
                         const char* text) override;

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

    bool Gone(const char* operation, const char* item) const override;
    bool KeyGone(const char* item) const override;
    bool DriverGone(const char* environment, const char* name) const override;
    bool MovedOff(const char* printer, const char* processor) const override;
    void ForgetGone() override;

private:
    // The line of an item the run would take away; the item counts as gone
    // from now on, a key with everything below it.
    void WouldRemove(const char* operation, const char* item);
    void TreeWouldRemove(const char* operation, const char* item);
    // Gone without a line of its own: a file by its path whatever the
    // operation that named it, what a change takes along.
    void MarkGone(const char* operation, const char* item);
    void MarkTreeGone(const char* item);
    void MarkDriverGone(const char* environment, const char* name);
    void MarkMovedOff(const char* printer, const char* processor);

    struct FoldLess {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    std::set<std::string, FoldLess> gone_;
    std::set<std::string, FoldLess> goneTrees_;
};
