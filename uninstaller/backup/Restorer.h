#pragma once
// The restore's working record and the helpers its two halves share: the
// files, keys and INI lines (Restore.cpp), and the spooler's and the
// service manager's items (RestoreSpooler.cpp). Only the restore includes
// this.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../door/RealDoor.h"
#include "../door/SpoolerLibrary.h"
#include "../door/UserHives.h"
#include "Manifest.h"

namespace restoring {

inline constexpr char kRestore[] = "restore";

// The whole file; empty when it can't be read.
std::string ReadWholeFile(const std::string& path);
// A '|'-separated list as a double-NUL one.
std::string MultiList(const std::string& text);
// A number field; 0 when it holds none.
DWORD NumberOf(const BackupRecord& record, const char* field);
// The text for a record's pointer field; null when empty.
char* Field(std::string& text);

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

} // namespace restoring
