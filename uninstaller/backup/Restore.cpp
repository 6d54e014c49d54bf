#include "Restore.h"

#include <windows.h>
#include <sddl.h>
#include <winspool.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/PrinterHandle.h"
#include "../common/RegistryReads.h"
#include "../common/ServiceHandle.h"
#include "../door/DefaultPrinter.h"
#include "../door/RealDoor.h"
#include "../door/UserHives.h"
#include "BackupAccess.h"
#include "BackupFolder.h"
#include "Manifest.h"
#include "RegText.h"
#include "RestorePlaces.h"

namespace {

constexpr char kRestore[] = "restore";

template <typename Function>
Function Spooler(const char* name)
{
    static const LoadedModule library = LoadSystemLibrary("winspool.drv");
    return library ? ProcAddress<Function>(library.Get(), name) : nullptr;
}

std::string ReadWholeFile(const std::string& path)
{
    const KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > 256 * 1024 * 1024)
        return {};
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
        return {};
    return bytes;
}

std::string Computer()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

// A '|'-separated list as a double-NUL one.
std::string MultiList(const std::string& text)
{
    std::string list = text;
    std::replace(list.begin(), list.end(), '|', '\0');
    if (!list.empty())
        list += '\0';
    list += '\0';
    return list;
}

// Two paths as the file system compares names.
bool SameFileName(const std::string& a, const std::string& b)
{
    const std::wstring wa = Widen(a), wb = Widen(b);
    return CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
}

// Whether the file's deletion at the next start is still listed: the
// pairs of PendingFileRenameOperations, a source and an empty target.
bool DeletionPending(const std::string& path)
{
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                      &raw) != ERROR_SUCCESS)
        return false;
    const RegistryKey key(raw);
    DWORD size = 0, type = 0;
    if (RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return false;
    std::wstring list(size / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, &type,
                         reinterpret_cast<BYTE*>(list.data()), &size) != ERROR_SUCCESS)
        return false;
    const std::wstring wanted = L"\\??\\" + Widen(path);
    for (std::size_t at = 0; at < list.size() && list[at] != L'\0';) {
        const std::wstring source(list.c_str() + at);
        at += source.size() + 1;
        const std::wstring target(at < list.size() ? list.c_str() + at : L"");
        at += target.size() + 1;
        if (target.empty() && CompareStringOrdinal(source.c_str(), static_cast<int>(source.size()), wanted.c_str(),
                                                   static_cast<int>(wanted.size()), TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

DWORD NumberOf(const BackupRecord& record, const char* field)
{
    return static_cast<DWORD>(std::strtoul(record.Get(field).c_str(), nullptr, 10));
}

char* Field(std::string& text)
{
    return text.empty() ? nullptr : text.data();
}

class Restorer {
public:
    explicit Restorer(std::string folder) : folder_(std::move(folder)), users_(door_) {}

    int Run(bool force);

private:
    void One(const BackupRecord& record);
    void File(const BackupRecord& record);
    void Folder(const BackupRecord& record);
    void Registry(const BackupRecord& record);
    void RegistryChange(const BackupRecord& record);
    void Ini(const BackupRecord& record);
    void Printer(const BackupRecord& record);
    void Connection(const BackupRecord& record);
    void ProcessorMove(const BackupRecord& record);
    void Driver(const BackupRecord& record);
    void SpoolerComponent(const BackupRecord& record, bool monitor);
    void Service(const BackupRecord& record);

    void Done(const char* operation, const std::string& item, const char* how = "put back")
    {
        journal::Changed(operation, item.c_str(), how);
        ++restored_;
    }
    void Left(const char* operation, const std::string& item)
    {
        journal::Kept(operation, item.c_str(), "there again; left as it is");
        ++left_;
    }
    void Failed(const char* operation, const std::string& item, DWORD error, const char* why = "")
    {
        journal::Record(operation, item.c_str(), journal::Outcome::Failed, why, error);
        ++failed_;
    }

    // The key where the shown path's key is now: a user's hive under the
    // SID when that user is logged on, else loaded again for the restore.
    std::optional<std::wstring> Where(std::wstring_view shown, HKEY& root);
    // Writes the keys and values of a copy's text, each of them at or
    // below `within` (the key the record saved); false with the error.
    bool Import(const std::string& copy, const std::wstring& within, DWORD& error);
    // A copy of the backup's own folder, as the backup names them
    // ("<number>.file", ".reg", ".driver"); empty for any other name, which
    // a damaged or edited manifest could lead anywhere with.
    std::string Copy(const BackupRecord& record, const char* field) const
    {
        const std::string name = record.Get(field);
        const std::size_t dot = name.find('.');
        const bool digits = dot != 0 && dot != std::string::npos && name.find_first_not_of("0123456789") == dot;
        const std::string kind = digits ? name.substr(dot + 1) : std::string();
        return kind == "file" || kind == "reg" || kind == "driver" ? folder_ + "\\" + name : std::string();
    }

    std::string folder_;
    RealDoor door_;
    UserHives users_;
    std::vector<std::string> scheduled_;
    std::optional<std::string> defaultPrinter_;
    std::vector<std::string> servicesToStart_;
    unsigned restored_ = 0, left_ = 0, failed_ = 0, later_ = 0;
};

std::optional<std::wstring> Restorer::Where(std::wstring_view shown, HKEY& root)
{
    std::wstring_view rest;
    root = RootOfLongPath(shown, rest);
    if (!root)
        return std::nullopt;
    if (root != HKEY_USERS)
        return std::wstring(rest);
    const std::size_t end = rest.find(L'\\');
    const std::wstring hive(rest.substr(0, end));
    const std::wstring below = end == std::wstring_view::npos ? L"" : std::wstring(rest.substr(end));
    if (KeyExists(HKEY_USERS, Narrow(hive).c_str()))
        return hive + below;
    const std::string name = Narrow(hive);
    for (const UserHive& user : users_.Others()) {
        if (lstrcmpiA(user.Sid.c_str(), name.c_str()) == 0 && user.LoadedHere)
            return Widen(user.Key) + below;
        if (lstrcmpiA((user.Sid + "_Classes").c_str(), name.c_str()) == 0 && !user.ClassesKey.empty())
            return Widen(user.ClassesKey) + below;
    }
    return std::nullopt;
}

bool Restorer::Import(const std::string& copy, const std::wstring& within, DWORD& error)
{
    std::wstring text;
    std::vector<RegTextKey> keys;
    if (copy.empty() || !RegFileText(ReadWholeFile(copy), text) || !ParseRegText(text, keys)) {
        error = ERROR_INVALID_DATA;
        return false;
    }
    // Nothing outside the saved key, whatever the text says.
    for (const RegTextKey& key : keys) {
        const bool below = key.Path.size() > within.size() && key.Path[within.size()] == L'\\';
        if (within.empty() || (key.Path.size() != within.size() && !below) ||
            CompareStringOrdinal(key.Path.c_str(), static_cast<int>(within.size()), within.c_str(),
                                 static_cast<int>(within.size()), TRUE) != CSTR_EQUAL) {
            error = ERROR_INVALID_DATA;
            return false;
        }
    }
    for (const RegTextKey& key : keys) {
        HKEY root = nullptr;
        const std::optional<std::wstring> path = Where(key.Path, root);
        if (!path) {
            error = ERROR_PATH_NOT_FOUND;
            return false;
        }
        HKEY raw = nullptr;
        if (const LONG status =
                RegCreateKeyExW(root, path->c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr);
            status != ERROR_SUCCESS) {
            error = static_cast<DWORD>(status);
            return false;
        }
        const RegistryKey created(raw);
        for (const RegTextValue& value : key.Values) {
            if (const LONG status = RegSetValueExW(created.Get(), value.Name.c_str(), 0, value.Type, value.Data.data(),
                                                   static_cast<DWORD>(value.Data.size()));
                status != ERROR_SUCCESS) {
                error = static_cast<DWORD>(status);
                return false;
            }
        }
    }
    return true;
}

void Restorer::File(const BackupRecord& record)
{
    const std::string path = record.Get("path");
    const std::string copy = Copy(record, "copy");
    // Only a full path of a drive, as the removal deletes them.
    if (copy.empty() || path.size() < 4 || path[1] != ':' || path[2] != '\\') {
        Failed(journal::op::kFile, path, ERROR_INVALID_DATA, "its record in the backup is damaged");
        return;
    }
    const DWORD attributes = NumberOf(record, "attributes");
    // A deletion waiting for the next start would take the file again:
    // it comes back after it, at that start.
    // (The deletion names the file as the removal spelt it.)
    if (std::any_of(scheduled_.begin(), scheduled_.end(),
                    [&](const std::string& waiting) { return SameFileName(waiting, path); }) &&
        DeletionPending(path)) {
        const std::string staged = path + ".restored";
        // A restore before this one has it waiting already.
        if (GetFileAttributesA(staged.c_str()) != INVALID_FILE_ATTRIBUTES) {
            Left(journal::op::kFile, path);
            return;
        }
        if (!CopyFileA(copy.c_str(), staged.c_str(), FALSE) ||
            !MoveFileExA(staged.c_str(), path.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT)) {
            Failed(journal::op::kFile, path, GetLastError());
            return;
        }
        journal::Record(journal::op::kFile, path.c_str(), journal::Outcome::Scheduled, "its copy comes back then");
        ++later_;
        return;
    }
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        Left(journal::op::kFile, path);
        return;
    }
    if (!CopyFileA(copy.c_str(), path.c_str(), TRUE)) {
        Failed(journal::op::kFile, path, GetLastError());
        return;
    }
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_DIRECTORY);
    Done(journal::op::kFile, path);
}

void Restorer::Folder(const BackupRecord& record)
{
    const std::string path = record.Get("path");
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        Left(journal::op::kFolder, path);
        return;
    }
    if (!CreateDirectoryA(path.c_str(), nullptr)) {
        Failed(journal::op::kFolder, path, GetLastError());
        return;
    }
    SetFileAttributesA(path.c_str(), NumberOf(record, "attributes"));
    Done(journal::op::kFolder, path);
}

void Restorer::Registry(const BackupRecord& record)
{
    const std::string item = record.Get("item");
    const std::string operation = record.Get("operation");
    const char* op = operation.empty() ? journal::op::kRegistryKey : operation.c_str();
    if (!RestorePlaceAllowed(operation, record.Get("shown"))) {
        Failed(op, item, ERROR_INVALID_DATA, "no removal takes it from there: the backup's record is not followed");
        return;
    }
    HKEY root = nullptr;
    const std::optional<std::wstring> path = Where(Widen(record.Get("shown")), root);
    if (!path) {
        Failed(op, item, ERROR_PATH_NOT_FOUND, "the user's hive could not be loaded");
        return;
    }
    const std::string narrow = Narrow(*path);
    const bool there = record.Has("value") ? ValueExists(root, narrow.c_str(), record.Get("value").c_str())
                                           : KeyExists(root, narrow.c_str());
    if (there) {
        Left(op, item);
        return;
    }
    DWORD error = ERROR_SUCCESS;
    if (!Import(Copy(record, "copy"), Widen(record.Get("shown")), error)) {
        Failed(op, item, error);
        return;
    }
    Done(op, item);
}

void Restorer::RegistryChange(const BackupRecord& record)
{
    const std::string item = record.Get("item");
    const std::string operation = record.Get("operation");
    if (!RestorePlaceAllowed(operation, record.Get("shown"))) {
        Failed(operation.empty() ? journal::op::kRegistryValue : operation.c_str(), item, ERROR_INVALID_DATA,
               "no removal takes it from there: the backup's record is not followed");
        return;
    }
    HKEY root = nullptr;
    const std::optional<std::wstring> path = Where(Widen(record.Get("shown")), root);
    if (!path) {
        Failed(operation.c_str(), item, ERROR_PATH_NOT_FOUND, "the user's hive could not be loaded");
        return;
    }
    const std::string key = Narrow(*path);
    const std::string value = record.Get("value");
    // Undone only while what the change wrote is there.
    const RegistryText now = ReadRegistryText(root, key.c_str(), value.c_str());
    if (!now.Text || *now.Text != record.Get("written")) {
        Left(operation.c_str(), item);
        return;
    }
    if (record.Get("absent") == "1") {
        // It was not there before the change: the change's value goes.
        const LONG status = ValueExists(root, key.c_str(), value.c_str())
                                ? RegDeleteKeyValueA(root, key.c_str(), value.c_str())
                                : ERROR_SUCCESS;
        if (status != ERROR_SUCCESS)
            Failed(operation.c_str(), item, static_cast<DWORD>(status));
        else
            Done(operation.c_str(), item, "put back (as it was: not there)");
        return;
    }
    DWORD error = ERROR_SUCCESS;
    if (!Import(Copy(record, "copy"), Widen(record.Get("shown")), error))
        Failed(operation.c_str(), item, error);
    else
        Done(operation.c_str(), item);
}

void Restorer::Ini(const BackupRecord& record)
{
    const std::string file = record.Get("file"), section = record.Get("section"), key = record.Get("key");
    const std::string item = file + " [" + section + "] " + key;
    const bool winIni = lstrcmpiA(file.c_str(), "win.ini") == 0;
    char now[1024] = {};
    constexpr char kAbsent[] = "\x01\x02";
    if (winIni)
        GetProfileStringA(section.c_str(), key.c_str(), kAbsent, now, sizeof now);
    else
        GetPrivateProfileStringA(section.c_str(), key.c_str(), kAbsent, now, sizeof now, file.c_str());
    const bool absentBefore = record.Get("absent") == "1";
    const bool absentNow = std::strcmp(now, kAbsent) == 0;
    // What the change left is still there: it is undone. Anything else is
    // what somebody made since, and stays.
    const bool changeStands = record.Has("written") ? !absentNow && record.Get("written") == now : absentNow;
    if (!changeStands) {
        Left(journal::op::kIniEntry, item);
        return;
    }
    const std::string before = record.Get("value");
    const char* line = absentBefore ? nullptr : before.c_str();
    const BOOL written = winIni ? WriteProfileStringA(section.c_str(), key.c_str(), line)
                                : WritePrivateProfileStringA(section.c_str(), key.c_str(), line, file.c_str());
    if (!written)
        Failed(journal::op::kIniEntry, item, GetLastError());
    else
        Done(journal::op::kIniEntry, item);
}

void Restorer::Printer(const BackupRecord& record)
{
    std::string name = record.Get("name");
    if (record.Get("default") == "1")
        defaultPrinter_ = name;
    if (OpenPrinterFor(name.c_str(), PRINTER_ACCESS_USE)) {
        Left(journal::op::kPrinter, name);
        return;
    }
    using AddPrinterFn = HANDLE(WINAPI*)(LPSTR, DWORD, LPBYTE);
    using SetDataFn = DWORD(WINAPI*)(HANDLE, LPCWSTR, LPCWSTR, DWORD, LPBYTE, DWORD);
    const auto add = Spooler<AddPrinterFn>("AddPrinterA");
    const auto setData = Spooler<SetDataFn>("SetPrinterDataExW");
    if (!add || !setData) {
        Failed(journal::op::kPrinter, name, ERROR_PROC_NOT_FOUND);
        return;
    }
    std::string share = record.Get("share"), port = record.Get("port"), driver = record.Get("driver"),
                comment = record.Get("comment"), location = record.Get("location"), separator = record.Get("separator"),
                processor = record.Get("processor"), datatype = record.Get("datatype"),
                parameters = record.Get("parameters");
    PRINTER_INFO_2A info{};
    info.pPrinterName = name.data();
    info.pShareName = Field(share);
    info.pPortName = Field(port);
    info.pDriverName = Field(driver);
    info.pComment = Field(comment);
    info.pLocation = Field(location);
    info.pSepFile = Field(separator);
    info.pPrintProcessor = Field(processor);
    info.pDatatype = Field(datatype);
    info.pParameters = Field(parameters);
    info.Attributes = NumberOf(record, "attributes");
    info.Priority = NumberOf(record, "priority");
    info.DefaultPriority = NumberOf(record, "defaultpriority");
    info.StartTime = NumberOf(record, "starttime");
    info.UntilTime = NumberOf(record, "untiltime");
    std::vector<unsigned char> devmode;
    if (FromHex(record.Get("devmode"), devmode) && devmode.size() >= offsetof(DEVMODEA, dmFields))
        info.pDevMode = reinterpret_cast<DEVMODEA*>(devmode.data());
    // Its access list as it was, or no queue: one open to all would not be.
    PSECURITY_DESCRIPTOR security = nullptr;
    if (record.Has("security") &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(record.Get("security").c_str(), SDDL_REVISION_1,
                                                              &security, nullptr)) {
        Failed(journal::op::kPrinter, name, GetLastError(), "its access list in the backup could not be read");
        return;
    }
    info.pSecurityDescriptor = security;
    const PrinterHandle printer(add(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    const DWORD error = GetLastError();
    LocalFree(security);
    if (!printer) {
        Failed(journal::op::kPrinter, name, error);
        return;
    }
    // Its data, each value under the key the spooler keeps it in.
    if (record.Has("data")) {
        std::wstring text;
        std::vector<RegTextKey> keys;
        if (!RegFileText(ReadWholeFile(Copy(record, "data")), text) || !ParseRegText(text, keys)) {
            Failed(journal::op::kPrinter, name, ERROR_INVALID_DATA, "its data could not be read from the backup");
            return;
        }
        const std::wstring base = L"HKEY_LOCAL_"
                                  L"MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" +
                                  Widen(name) + L"\\";
        for (const RegTextKey& key : keys) {
            // The queue's own key holds what its record gave the spooler.
            if (CompareStringOrdinal(key.Path.c_str(), static_cast<int>(key.Path.size()), base.c_str(),
                                     static_cast<int>(base.size()) - 1, TRUE) == CSTR_EQUAL)
                continue;
            if (key.Path.size() <= base.size() ||
                CompareStringOrdinal(key.Path.c_str(), static_cast<int>(base.size()), base.c_str(),
                                     static_cast<int>(base.size()), TRUE) != CSTR_EQUAL) {
                Failed(journal::op::kPrinter, name, ERROR_INVALID_DATA, "its data names another key");
                return;
            }
            const std::wstring keyName = key.Path.substr(base.size());
            // What the spooler publishes of the queue it makes again itself.
            if (_wcsnicmp(keyName.c_str(), L"DsSpooler", 9) == 0 || _wcsnicmp(keyName.c_str(), L"DsDriver", 8) == 0)
                continue;
            for (const RegTextValue& value : key.Values) {
                std::vector<BYTE> data = value.Data;
                if (const DWORD status = setData(printer.Get(), keyName.c_str(), value.Name.c_str(), value.Type,
                                                 data.data(), static_cast<DWORD>(data.size()));
                    status != ERROR_SUCCESS) {
                    Failed(journal::op::kPrinter, name, status, "a value of its data could not be written");
                    return;
                }
            }
        }
    }
    Done(journal::op::kPrinter, name);
}

void Restorer::Connection(const BackupRecord& record)
{
    const std::string name = record.Get("name");
    if (record.Get("default") == "1")
        defaultPrinter_ = name;
    if (OpenPrinterFor(name.c_str(), PRINTER_ACCESS_USE)) {
        Left(journal::op::kConnection, name);
        return;
    }
    using AddConnectionFn = BOOL(WINAPI*)(LPSTR);
    const auto add = Spooler<AddConnectionFn>("AddPrinterConnectionA");
    std::string held = name;
    if (!add || !add(held.data()))
        Failed(journal::op::kConnection, name, add ? GetLastError() : ERROR_PROC_NOT_FOUND);
    else
        Done(journal::op::kConnection, name);
}

void Restorer::ProcessorMove(const BackupRecord& record)
{
    const std::string name = record.Get("printer");
    std::string processor = record.Get("processor"), datatype = record.Get("datatype");
    const PrinterHandle printer = OpenPrinterFor(name.c_str(), PRINTER_ALL_ACCESS);
    DWORD needed = 0;
    if (printer)
        GetPrinterA(printer.Get(), 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!printer || !needed || !GetPrinterA(printer.Get(), 2, buffer.data(), needed, &needed)) {
        Failed(journal::op::kPrinter, name, GetLastError(), "its print processor could not be put back");
        return;
    }
    auto& info = *reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
    if (info.pPrintProcessor && lstrcmpiA(info.pPrintProcessor, processor.c_str()) == 0) {
        Left(journal::op::kPrinter, name);
        return;
    }
    info.pPrintProcessor = processor.data();
    if (!datatype.empty())
        info.pDatatype = datatype.data();
    info.pSecurityDescriptor = nullptr;
    if (!SetPrinterA(printer.Get(), 2, buffer.data(), 0))
        Failed(journal::op::kPrinter, name, GetLastError(), "its print processor could not be put back");
    else
        Done(journal::op::kPrinter, name, journal::Reason("back on print processor \"%s\"", processor.c_str()).c_str());
}

void Restorer::Driver(const BackupRecord& record)
{
    std::string name = record.Get("name"), environment = record.Get("environment");
    const std::string item = environment + ": " + name;
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(nullptr, environment.data(), 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (needed && EnumPrinterDriversA(nullptr, environment.data(), 1, buffer.data(), needed, &needed, &count)) {
        const auto* drivers = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
        for (DWORD i = 0; i < count; ++i) {
            if (drivers[i].pName && lstrcmpiA(drivers[i].pName, name.c_str()) == 0) {
                Left(journal::op::kDriver, item);
                return;
            }
        }
    }
    // The spooler takes the files from the backup's copies, each by its
    // own name within the record's folder.
    const std::string folder = Copy(record, "copies");
    if (folder.empty()) {
        Failed(journal::op::kDriver, item, ERROR_INVALID_DATA, "its record in the backup is damaged");
        return;
    }
    const std::string copies = folder + "\\";
    bool damaged = false;
    const auto copyOf = [&](const std::string& path) {
        const std::size_t slash = path.find_last_of("\\/");
        const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        damaged = damaged || name.find_first_not_of('.') == std::string::npos || name.find(':') != std::string::npos;
        return copies + name;
    };
    const auto fileOf = [&](const char* field) {
        const std::string path = record.Get(field);
        return path.empty() ? std::string() : copyOf(path);
    };
    std::string driverPath = fileOf("driverpath"), dataFile = fileOf("datafile"), configFile = fileOf("configfile"),
                helpFile = fileOf("helpfile"), monitor = record.Get("monitor"),
                defaultType = record.Get("defaultdatatype");
    std::string dependents;
    {
        const std::string list = record.Get("dependentfiles");
        std::size_t at = 0;
        while (at < list.size()) {
            const std::size_t bar = std::min(list.find('|', at), list.size());
            dependents += copyOf(list.substr(at, bar - at));
            dependents += '\0';
            at = bar + 1;
        }
        dependents += '\0';
    }
    std::string previous = MultiList(record.Get("previousnames")), manufacturer = record.Get("manufacturer"),
                url = record.Get("url"), hardware = record.Get("hardwareid"), provider = record.Get("provider");
    DRIVER_INFO_6A info{};
    info.cVersion = NumberOf(record, "version");
    info.pName = name.data();
    info.pEnvironment = environment.data();
    info.pDriverPath = Field(driverPath);
    info.pDataFile = Field(dataFile);
    info.pConfigFile = Field(configFile);
    info.pHelpFile = Field(helpFile);
    info.pDependentFiles = dependents.size() > 1 ? dependents.data() : nullptr;
    info.pMonitorName = Field(monitor);
    info.pDefaultDataType = Field(defaultType);
    info.pszzPreviousNames = previous.size() > 1 ? previous.data() : nullptr;
    info.pszMfgName = Field(manufacturer);
    info.pszOEMUrl = Field(url);
    info.pszHardwareID = Field(hardware);
    info.pszProvider = Field(provider);
    std::vector<unsigned char> date;
    if (FromHex(record.Get("date"), date) && date.size() == sizeof info.ftDriverDate)
        std::memcpy(&info.ftDriverDate, date.data(), sizeof info.ftDriverDate);
    if (damaged) {
        Failed(journal::op::kDriver, item, ERROR_INVALID_DATA, "its record in the backup is damaged");
        return;
    }
    using AddDriverFn = BOOL(WINAPI*)(LPSTR, DWORD, LPBYTE, DWORD);
    const auto add = Spooler<AddDriverFn>("AddPrinterDriverExA");
    if (!add) {
        Failed(journal::op::kDriver, item, ERROR_PROC_NOT_FOUND);
        return;
    }
    BOOL added = add(nullptr, 6, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES);
    // A spooler without the level takes the level-3 part of the record.
    if (!added && GetLastError() == ERROR_INVALID_LEVEL)
        added = add(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES);
    if (!added)
        Failed(journal::op::kDriver, item, GetLastError());
    else
        Done(journal::op::kDriver, item);
}

void Restorer::SpoolerComponent(const BackupRecord& record, bool monitor)
{
    const char* operation = monitor ? journal::op::kMonitor : journal::op::kPrintProcessor;
    const std::string item = record.Get("item");
    const std::string path = record.Get("path");
    if (!RestorePlaceAllowed(operation, "HKEY_LOCAL_MACHINE\\" + path)) {
        Failed(operation, item, ERROR_INVALID_DATA,
               "no removal takes it from there: the backup's record is not followed");
        return;
    }
    if (KeyExists(HKEY_LOCAL_MACHINE, path.c_str())) {
        Left(operation, item);
        return;
    }
    // Its key as it was; the spooler reads it at its next start. Its
    // library was put back before (it was saved after the key).
    DWORD error = ERROR_SUCCESS;
    if (!Import(Copy(record, "copy"), L"HKEY_LOCAL_MACHINE\\" + Widen(path), error)) {
        Failed(operation, item, error);
        return;
    }
    Done(operation, item, "put back (the spooler takes it at its next start)");
}

void Restorer::Service(const BackupRecord& record)
{
    const std::string name = record.Get("name");
    const ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CREATE_SERVICE)};
    if (!manager) {
        Failed(journal::op::kService, name, GetLastError());
        return;
    }
    if (const ServiceHandle there{OpenServiceA(manager.Get(), name.c_str(), SERVICE_CHANGE_CONFIG)}) {
        // One only marked for deletion goes once it stops or Windows
        // starts again; a change that changes nothing tells which.
        if (!ChangeServiceConfigA(there.Get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) &&
            GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE) {
            Failed(journal::op::kService, name, ERROR_SERVICE_MARKED_FOR_DELETE,
                   "its deletion waits for the next start of Windows: restore again after it");
            return;
        }
        Left(journal::op::kService, name);
        return;
    }
    std::string display = record.Get("displayname"), binary = record.Get("binary"), group = record.Get("group"),
                account = record.Get("account");
    const std::string dependencies = MultiList(record.Get("dependencies"));
    const ServiceHandle service{CreateServiceA(
        manager.Get(), name.c_str(), display.empty() ? nullptr : display.c_str(), SERVICE_ALL_ACCESS,
        NumberOf(record, "type"), NumberOf(record, "start"), NumberOf(record, "errorcontrol"), binary.c_str(),
        group.empty() ? nullptr : group.c_str(), nullptr, dependencies.size() > 1 ? dependencies.c_str() : nullptr,
        account.empty() ? nullptr : account.c_str(), nullptr)};
    if (!service) {
        Failed(journal::op::kService, name, GetLastError());
        return;
    }
    if (record.Has("description")) {
        std::string description = record.Get("description");
        SERVICE_DESCRIPTIONA text{description.data()};
        ChangeServiceConfig2A(service.Get(), SERVICE_CONFIG_DESCRIPTION, &text);
    }
    // Its key's other values and keys (its parameters) as they were.
    DWORD error = ERROR_SUCCESS;
    if (record.Has("key") &&
        !Import(Copy(record, "key"), L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" + Widen(name),
                error)) {
        Failed(journal::op::kService, name, error, "its key could not be put back");
        return;
    }
    if (record.Get("running") == "1")
        servicesToStart_.push_back(name);
    Done(journal::op::kService, name);
}

void Restorer::One(const BackupRecord& record)
{
    const std::string& kind = record.Kind;
    if (kind == "file")
        File(record);
    else if (kind == "folder")
        Folder(record);
    else if (kind == "registry")
        Registry(record);
    else if (kind == "registry change")
        RegistryChange(record);
    else if (kind == "ini")
        Ini(record);
    else if (kind == "printer")
        Printer(record);
    else if (kind == "connection")
        Connection(record);
    else if (kind == "default")
        defaultPrinter_ = record.Get("previous");
    else if (kind == "processor move")
        ProcessorMove(record);
    else if (kind == "driver")
        Driver(record);
    else if (kind == "monitor" || kind == "print processor")
        SpoolerComponent(record, kind == "monitor");
    else if (kind == "service")
        Service(record);
    else if (kind == "undoable")
        journal::Kept(record.Get("what").c_str(), record.Get("item").c_str(),
                      "can't be put back: nothing of it was saved");
    else if (kind != "scheduled" && kind != "backup")
        Failed(kRestore, record.Kind, ERROR_INVALID_DATA, "a record of a kind this program does not know");
}

int Restorer::Run(bool force)
{
    const std::string manifest = ReadWholeFile(folder_ + "\\" + kManifestName);
    const std::vector<BackupRecord> records = ReadManifest(manifest);
    if (records.empty() || records.front().Kind != "backup") {
        journal::Record(kRestore, folder_.c_str(), journal::Outcome::Failed, "no backup of this program is there");
        return 1603;
    }
    const std::string computer = records.front().Get("computer");
    if (lstrcmpiA(computer.c_str(), Computer().c_str()) != 0 && !force) {
        journal::Record(
            kRestore, folder_.c_str(), journal::Outcome::Failed,
            journal::Reason("the backup is of computer \"%s\"; /FORCE puts it back here", computer.c_str()).c_str());
        return 1603;
    }
    if (const std::string open = WritableByOthers(folder_); !open.empty() && !force) {
        journal::Record(kRestore, folder_.c_str(), journal::Outcome::Failed,
                        journal::Reason("others than administrators may change %s: the backup is not followed; "
                                        "/FORCE puts it back all the same",
                                        open.c_str())
                            .c_str());
        return 1603;
    }
    for (const BackupRecord& record : records) {
        if (record.Kind == "scheduled")
            scheduled_.push_back(record.Get("path"));
    }
    // The first default saved is the one before the removal.
    std::optional<std::string> firstDefault;
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        defaultPrinter_.reset();
        One(*record);
        if (defaultPrinter_)
            firstDefault = defaultPrinter_;
    }
    if (firstDefault && !firstDefault->empty() &&
        lstrcmpiA(CurrentDefaultPrinter().c_str(), firstDefault->c_str()) != 0) {
        DWORD error = ERROR_SUCCESS;
        if (SetPlatformDefaultPrinter(firstDefault->c_str(), error))
            Done(journal::op::kDefaultPrinter, *firstDefault, "set as the default again");
        else
            Failed(journal::op::kDefaultPrinter, *firstDefault, error);
    }
    for (const std::string& name : servicesToStart_) {
        const ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT)};
        const ServiceHandle service{manager ? OpenServiceA(manager.Get(), name.c_str(), SERVICE_START) : nullptr};
        if (!service || !StartServiceA(service.Get(), 0, nullptr))
            Failed(journal::op::kService, name, GetLastError(), "it ran before, and could not be started");
        else
            journal::Changed(journal::op::kService, name.c_str(), "started, as it ran before");
    }
    users_.Release();
    const int code = failed_ ? 1603 : later_ ? 3010 : 0;
    journal::Record(kRestore, folder_.c_str(), journal::Outcome::Message,
                    journal::Reason("put back %u, left as they were %u, failed "
                                    "%u, at the next start %u; exit code %d",
                                    restored_, left_, failed_, later_, code)
                        .c_str());
    return code;
}

} // namespace

int RestoreBackup(const std::string& folder, bool force)
{
    journal::SetStep(0);
    Restorer restorer(folder);
    return restorer.Run(force);
}
