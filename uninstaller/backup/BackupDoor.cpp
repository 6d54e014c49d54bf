#include "BackupDoor.h"

#include <windows.h>
#include <winspool.h>

#include <cstring>

#include "../common/DriverEnvironments.h"
#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/PrinterHandle.h"
#include "../common/RegistryReads.h"
#include "../door/DefaultPrinter.h"
#include "../door/SpoolerKeys.h"
#include "RegText.h"
#include "SpoolerCapture.h"

namespace {

constexpr char kBackup[] = "backup";
// What an INI line that isn't there reads as: no line holds it.
constexpr char kAbsent[] = "\x01\x02";

std::string FileName(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path as the journal and the text of a copy show it: a user's hive
// that this run loaded under a name of its own, under the user's SID.
std::wstring ShownPath(const char* item, HKEY root, const std::string& path)
{
    std::string shown = path;
    if (root == HKEY_USERS && std::strncmp(path.c_str(), "QrvUninst_", 10) == 0 &&
        std::strncmp(item, "HKU\\", 4) == 0) {
        const std::string named(item + 4);
        const std::size_t end = named.find('\\');
        const std::size_t ownEnd = path.find('\\');
        shown = named.substr(0, end) + (ownEnd == std::string::npos ? "" : path.substr(ownEnd));
    }
    return std::wstring(RootLongName(root) ? RootLongName(root) : L"") + L"\\" + Widen(shown);
}

// Whether the key is one a 32-bit program sees, below a Wow6432Node key.
bool ThirtyTwoBitView(std::string path)
{
    CharUpperA(path.data());
    return path.find("WOW6432NODE") != std::string::npos;
}

std::string RootName(HKEY root)
{
    return Narrow(RootLongName(root) ? RootLongName(root) : L"");
}

} // namespace

BackupDoor::BackupDoor(Door& inner, const std::string& folder, bool measureOnly, const PlatformKind& platform)
    : inner_(inner), folder_(folder, measureOnly), platform_(platform)
{
}

void BackupDoor::Finish()
{
    const std::string size = std::to_string((folder_.Bytes() + 1023) / 1024) + " KB";
    if (folder_.MeasureOnly())
        journal::Record(kBackup, folder_.Path().c_str(), journal::Outcome::WouldChange,
                        journal::Reason("write %u records, %s", folder_.Records(), size.c_str()).c_str());
    else if (folder_.Records() != 0)
        journal::Changed(kBackup, folder_.Path().c_str(),
                         journal::Reason("written: %u records, %s", folder_.Records(), size.c_str()).c_str());
}

void BackupDoor::Stop(const char* item)
{
    journal::Record(kBackup, folder_.Path().c_str(), journal::Outcome::Failed,
                    journal::Reason("no copy of %s could be saved; nothing more is changed", item).c_str(),
                    folder_.LastError());
    throw RemovalStopped("the removal stopped before a change it could not back up");
}

void BackupDoor::Ready()
{
    if (!folder_.Ready())
        Stop("the run's first change");
}

void BackupDoor::Save(const BackupRecord& record, const char* item)
{
    if (!folder_.Append(record))
        Stop(item);
}

void BackupDoor::SaveUndoable(const char* what, const char* item)
{
    BackupRecord record;
    record.Kind = "undoable";
    record.Set("what", what).Set("item", item);
    Save(record, item);
}

bool BackupDoor::SaveFile(const char* path, const char* why)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    std::string folded = path;
    CharUpperA(folded.data());
    if (savedFiles_.count(folded) != 0)
        return true;
    // Its name as the file system holds it, which the path given may spell
    // in other letters: the copy comes back under that name.
    std::string real = path;
    WIN32_FIND_DATAA found{};
    if (const FindHandle search(FindFirstFileA(path, &found)); search) {
        const std::size_t slash = real.find_last_of('\\');
        real = real.substr(0, slash == std::string::npos ? 0 : slash + 1) + found.cFileName;
    }
    const std::string copy = std::to_string(folder_.NextNumber()) + ".file";
    switch (folder_.CopyIn(path, copy)) {
    case BackupFolder::Copy::Unreadable:
        return false;
    case BackupFolder::Copy::NotWritten:
        Stop(path);
    case BackupFolder::Copy::Made:
        break;
    }
    savedFiles_.insert(folded);
    BackupRecord record;
    record.Kind = "file";
    record.Set("path", real).Set("attributes", std::to_string(attributes)).Set("copy", copy).Set("change", why);
    Save(record, path);
    return true;
}

bool BackupDoor::SaveOrKeep(const char* operation, const char* path)
{
    if (SaveFile(path, operation))
        return true;
    journal::Kept(operation, path,
                  journal::Reason("no copy of it could be read for the backup (error %lu)",
                                  static_cast<unsigned long>(folder_.LastError()))
                      .c_str());
    return false;
}

void BackupDoor::SaveRegistry(const char* operation, const char* item, HKEY root, const char* path, const char* value,
                              bool tree, const char* kind, const char* written)
{
    std::wstring text;
    if (value ? !ValueExists(root, path, value) : !KeyExists(root, path))
        return;
    if (!ExportRegistry(root, path, value, tree, ShownPath(item, root, path), text))
        Stop(item);
    const std::string copy = std::to_string(folder_.NextNumber()) + ".reg";
    if (!folder_.WriteIn(copy, RegFileBytes(text)))
        Stop(item);
    BackupRecord record;
    record.Kind = kind;
    record.Set("operation", operation)
        .Set("item", item)
        .Set("root", RootName(root))
        .Set("path", path)
        .Set("shown", Narrow(ShownPath(item, root, path)))
        .Set("tree", tree ? "1" : "0")
        .Set("view", ThirtyTwoBitView(path) ? "32" : "64")
        .Set("copy", copy);
    if (value)
        record.Set("value", value);
    if (written)
        record.Set("written", written);
    Save(record, item);
}

// ---- The spooler ----

bool BackupDoor::DeleteJob(HANDLE printer, DWORD jobId, const char* item)
{
    SaveUndoable("print job", item);
    return inner_.DeleteJob(printer, jobId, item);
}

bool BackupDoor::DeletePrinter(HANDLE printer, const char* name)
{
    BackupRecord record;
    const Capture read = CapturePrinter(printer, name, record);
    if (read == Capture::Failed)
        Stop(name);
    if (read == Capture::Read) {
        // Every key of its data, PrinterDriverData and any other a driver
        // made; the queue's own values are in its record.
        const std::string key = PrinterDataKey(name);
        std::wstring text;
        if (KeyExists(HKEY_LOCAL_MACHINE, key.c_str())) {
            if (!ExportRegistry(HKEY_LOCAL_MACHINE, key, nullptr, true, L"HKEY_LOCAL_MACHINE\\" + Widen(key), text))
                Stop(name);
            const std::string copy = std::to_string(folder_.NextNumber()) + ".reg";
            if (!folder_.WriteIn(copy, RegFileBytes(text)))
                Stop(name);
            record.Set("data", copy);
        }
        Save(record, name);
    }
    return inner_.DeletePrinter(printer, name);
}

bool BackupDoor::DeleteConnection(const char* name)
{
    BackupRecord record;
    record.Kind = "connection";
    record.Set("name", name).Set("default", lstrcmpiA(CurrentDefaultPrinter().c_str(), name) == 0 ? "1" : "0");
    Save(record, name);
    return inner_.DeleteConnection(name);
}

bool BackupDoor::MakeDefaultPrinter(HANDLE printer, const char* name, std::vector<BYTE>* record, const char* deviceLine,
                                    const PlatformKind& platform)
{
    BackupRecord saved;
    saved.Kind = "default";
    saved.Set("previous", CurrentDefaultPrinter());
    Save(saved, name);
    return inner_.MakeDefaultPrinter(printer, name, record, deviceLine, platform);
}

bool BackupDoor::SetUserDefaultPrinter(const char* name, const PlatformKind& platform)
{
    BackupRecord saved;
    saved.Kind = "default";
    saved.Set("previous", CurrentDefaultPrinter());
    Save(saved, name);
    return inner_.SetUserDefaultPrinter(name, platform);
}

bool BackupDoor::MovePrinterToProcessor(const char* printer, const char* from, const char* processor,
                                        const char* datatype)
{
    BackupRecord record;
    record.Kind = "processor move";
    record.Set("printer", printer).Set("processor", from);
    if (const PrinterHandle handle = OpenPrinterFor(printer, PRINTER_ACCESS_USE)) {
        if (const std::optional<std::vector<BYTE>> buffer = PrinterRecord(handle.Get()); buffer && !buffer->empty()) {
            const char* type = reinterpret_cast<const PRINTER_INFO_2A*>(buffer->data())->pDatatype;
            record.Set("datatype", type ? type : "");
        }
    }
    Save(record, printer);
    return inner_.MovePrinterToProcessor(printer, from, processor, datatype);
}

Deletion BackupDoor::DeleteDriver(const char* environment, const char* name)
{
    BackupRecord record;
    std::vector<std::string> files;
    const std::string item = EnvironmentItem(environment, name);
    const Capture read = CaptureDriver(environment, name, record, files);
    if (read == Capture::Failed)
        Stop(item.c_str());
    if (read == Capture::Read) {
        // Its files under their own names, as the spooler takes them again.
        const std::string copies = std::to_string(folder_.NextNumber()) + ".driver";
        if (!folder_.MakeFolderIn(copies))
            Stop(item.c_str());
        std::set<std::string> names;
        for (const std::string& file : files) {
            std::string name = FileName(file);
            CharUpperA(name.data());
            // A file the record names that isn't there has nothing to keep.
            if (!names.insert(name).second || GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES)
                continue;
            if (folder_.CopyIn(file, copies + "\\" + FileName(file)) != BackupFolder::Copy::Made)
                Stop(file.c_str());
        }
        record.Set("copies", copies);
        Save(record, item.c_str());
    }
    return inner_.DeleteDriver(environment, name);
}

Deletion BackupDoor::DeletePortMonitor(const char* environment, const char* name, const char* keyPath, bool keyThere)
{
    const std::string item = EnvironmentItem(environment, name);
    const std::string key = keyPath ? keyPath : MonitorKey(name);
    if (KeyExists(HKEY_LOCAL_MACHINE, key.c_str())) {
        // The key first: put back last first, the library is there before it.
        const RegistryText library = ReadRegistryText(HKEY_LOCAL_MACHINE, key.c_str(), "Driver");
        SaveRegistry(journal::op::kMonitor, item.c_str(), HKEY_LOCAL_MACHINE, key.c_str(), nullptr, true, "monitor");
        if (library.Text && !library.Text->empty()) {
            char system[MAX_PATH] = {};
            GetSystemDirectoryA(system, MAX_PATH);
            const std::string file = std::string(system) + "\\" + FileName(*library.Text);
            if (!SaveFile(file.c_str(), "monitor library"))
                Stop(file.c_str());
        }
    }
    return inner_.DeletePortMonitor(environment, name, keyPath, keyThere);
}

Deletion BackupDoor::DeleteProcessor(const char* environment, const char* name)
{
    const std::string item = EnvironmentItem(environment, name);
    const std::string key = PrintProcessorKey(platform_, environment, name);
    if (!key.empty() && KeyExists(HKEY_LOCAL_MACHINE, key.c_str())) {
        const RegistryText library = ReadRegistryText(HKEY_LOCAL_MACHINE, key.c_str(), "Driver");
        SaveRegistry(journal::op::kPrintProcessor, item.c_str(), HKEY_LOCAL_MACHINE, key.c_str(), nullptr, true,
                     "print processor");
        char folder[MAX_PATH] = {};
        DWORD needed = 0;
        if (library.Text && !library.Text->empty() &&
            GetPrintProcessorDirectoryA(nullptr, const_cast<char*>(environment), 1, reinterpret_cast<BYTE*>(folder),
                                        sizeof folder, &needed))
            if (const std::string file = std::string(folder) + "\\" + FileName(*library.Text);
                !SaveFile(file.c_str(), "print processor library"))
                Stop(file.c_str());
    }
    return inner_.DeleteProcessor(environment, name);
}

Deletion BackupDoor::DeleteService(const char* name)
{
    BackupRecord record;
    const Capture read = CaptureService(name, record);
    if (read == Capture::Failed)
        Stop(name);
    if (read == Capture::Read) {
        const std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\") + name;
        std::wstring text;
        if (KeyExists(HKEY_LOCAL_MACHINE, key.c_str())) {
            if (!ExportRegistry(HKEY_LOCAL_MACHINE, key, nullptr, true, L"HKEY_LOCAL_MACHINE\\" + Widen(key), text))
                Stop(name);
            const std::string copy = std::to_string(folder_.NextNumber()) + ".reg";
            if (!folder_.WriteIn(copy, RegFileBytes(text)))
                Stop(name);
            record.Set("key", copy);
        }
        Save(record, name);
    }
    return inner_.DeleteService(name);
}

// ---- Programs, devices, INF files ----

bool BackupDoor::CallHook(const char* path, const char* folder, const char* entryPoint, HWND owner, HINSTANCE instance,
                          const char* programDirectory, DWORD pauseMs)
{
    SaveUndoable("uninstall hook", path);
    return inner_.CallHook(path, folder, entryPoint, owner, instance, programDirectory, pauseMs);
}

StartedProgram BackupDoor::StartProgram(const char* operation, const char* path, const char* arguments)
{
    SaveUndoable(operation, path);
    return inner_.StartProgram(operation, path, arguments);
}

bool BackupDoor::RemoveDevice(HDEVINFO set, SP_DEVINFO_DATA& device, const char* instance)
{
    SaveUndoable("device", instance);
    return inner_.RemoveDevice(set, device, instance);
}

bool BackupDoor::UninstallOemInf(const char* path, const char* infName)
{
    std::string compiled = path;
    if (compiled.size() > 4)
        compiled.replace(compiled.size() - 4, 4, ".pnf");
    if (!SaveFile(path, "OEM INF") || !SaveFile(compiled.c_str(), "OEM INF"))
        Stop(path);
    return inner_.UninstallOemInf(path, infName);
}

// ---- The registry ----

bool BackupDoor::DeleteRegistryKey(const char* operation, const char* item, HKEY root, const char* path, bool tree,
                                   bool takenAlong)
{
    // What a deletion before it may have taken along is gone by then in a
    // real run; a dry run can't tell, and counts it as gone.
    if (!inner_.KeyGone(item) && !(takenAlong && folder_.MeasureOnly()))
        SaveRegistry(operation, item, root, path, nullptr, tree);
    return inner_.DeleteRegistryKey(operation, item, root, path, tree, takenAlong);
}

bool BackupDoor::DeleteRegistryValue(const char* operation, const char* item, HKEY root, const char* path,
                                     const char* name, bool takenAlong)
{
    if (!inner_.KeyGone(item) && !inner_.Gone(operation, item) && !(takenAlong && folder_.MeasureOnly()))
        SaveRegistry(operation, item, root, path, name, false);
    return inner_.DeleteRegistryValue(operation, item, root, path, name, takenAlong);
}

bool BackupDoor::SetRegistryText(const char* operation, const char* item, HKEY root, const char* path, const char* name,
                                 const char* text)
{
    if (ValueExists(root, path, name)) {
        SaveRegistry(operation, item, root, path, name, false, "registry change", text);
    } else {
        BackupRecord record;
        record.Kind = "registry change";
        record.Set("operation", operation)
            .Set("item", item)
            .Set("root", RootName(root))
            .Set("path", path)
            .Set("shown", Narrow(ShownPath(item, root, path)))
            .Set("value", name)
            .Set("absent", "1")
            .Set("written", text);
        Save(record, item);
    }
    return inner_.SetRegistryText(operation, item, root, path, name, text);
}

// ---- Profile files ----

bool BackupDoor::WriteProfileLine(const char* operation, const char* item, const char* section, const char* key,
                                  const char* value, bool takesItemOut)
{
    char before[1024] = {};
    GetProfileStringA(section, key, kAbsent, before, sizeof before);
    BackupRecord record;
    record.Kind = "ini";
    record.Set("file", "win.ini").Set("section", section).Set("key", key);
    if (std::strcmp(before, kAbsent) == 0)
        record.Set("absent", "1");
    else
        record.Set("value", before);
    // What the change leaves there: the restore undoes only that.
    if (value)
        record.Set("written", value);
    else
        record.Set("removes", "1");
    Save(record, item);
    return inner_.WriteProfileLine(operation, item, section, key, value, takesItemOut);
}

void BackupDoor::SaveIniLine(const char* item, const char* file, const char* section, const char* key)
{
    char before[1024] = {};
    GetPrivateProfileStringA(section, key, kAbsent, before, sizeof before, file);
    if (std::strcmp(before, kAbsent) == 0)
        return;
    BackupRecord record;
    record.Kind = "ini";
    record.Set("file", file).Set("section", section).Set("key", key).Set("value", before);
    Save(record, item);
}

bool BackupDoor::DeleteIniLine(const char* item, const char* path, const char* section, const char* key)
{
    SaveIniLine(item, path, section, key);
    return inner_.DeleteIniLine(item, path, section, key);
}

bool BackupDoor::DeleteProfileKey(const char* item, const char* file, const char* section, const char* key)
{
    SaveIniLine(item, file, section, key);
    return inner_.DeleteProfileKey(item, file, section, key);
}

bool BackupDoor::SendProgmanCommands(const char* operation, const char* item, const std::vector<std::string>& commands)
{
    SaveUndoable(operation, item);
    return inner_.SendProgmanCommands(operation, item, commands);
}

// ---- Files and folders ----

FileFate BackupDoor::DeleteOrScheduleFile(const char* operation, const PlatformKind& platform, const char* path)
{
    if (!SaveOrKeep(operation, path))
        return FileFate::Refused;
    const FileFate fate = inner_.DeleteOrScheduleFile(operation, platform, path);
    if (fate == FileFate::Scheduled) {
        // Put back before the next start, it would go then all the same.
        BackupRecord record;
        record.Kind = "scheduled";
        record.Set("path", path);
        Save(record, path);
    }
    return fate;
}

FileFate BackupDoor::DeleteFileNow(const char* operation, const char* path)
{
    if (!SaveOrKeep(operation, path))
        return FileFate::Refused;
    return inner_.DeleteFileNow(operation, path);
}

bool BackupDoor::ScheduleWithDeleter(const char* operation, const char* path)
{
    if (!SaveOrKeep(operation, path))
        return false;
    const bool listed = inner_.ScheduleWithDeleter(operation, path);
    if (listed) {
        BackupRecord record;
        record.Kind = "scheduled";
        record.Set("path", path);
        Save(record, path);
    }
    return listed;
}

void BackupDoor::ClearReadOnly(const char* path)
{
    // The attributes go with the file's copy; one that can't be read keeps
    // them, and its deletion is refused next.
    if (SaveFile(path, "attributes"))
        inner_.ClearReadOnly(path);
}

bool BackupDoor::RemoveFolder(const char* path, WhenNotEmpty notEmpty)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        BackupRecord record;
        record.Kind = "folder";
        record.Set("path", path).Set("attributes", std::to_string(attributes));
        Save(record, path);
    }
    return inner_.RemoveFolder(path, notEmpty);
}

bool BackupDoor::ScheduleFolderRemoval(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        BackupRecord record;
        record.Kind = "folder";
        record.Set("path", path).Set("attributes", std::to_string(attributes)).Set("scheduled", "1");
        Save(record, path);
    }
    return inner_.ScheduleFolderRemoval(path);
}
