#include "Restore.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../common/ServiceHandle.h"
#include "../door/DefaultPrinter.h"
#include "BackupAccess.h"
#include "BackupFolder.h"
#include "Manifest.h"
#include "RegText.h"
#include "RestorePlaces.h"
#include "Restorer.h"

namespace restoring {

namespace {

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

} // namespace

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

DWORD NumberOf(const BackupRecord& record, const char* field)
{
    return static_cast<DWORD>(std::strtoul(record.Get(field).c_str(), nullptr, 10));
}

char* Field(std::string& text)
{
    return text.empty() ? nullptr : text.data();
}

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
    if (lstrcmpiA(computer.c_str(), ComputerName().c_str()) != 0 && !force) {
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

} // namespace restoring

int RestoreBackup(const std::string& folder, bool force)
{
    journal::SetStep(0);
    restoring::Restorer restorer(folder);
    return restorer.Run(force);
}
