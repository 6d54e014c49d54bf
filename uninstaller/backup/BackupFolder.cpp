#include "BackupFolder.h"

#include <windows.h>
#include <sddl.h>

#include <cstring>
#include <utility>

#include "../common/Handles.h"
#include "../common/RegistryReads.h"
#include "../common/WideText.h"
#include "../script/ProgramVersion.h"

namespace {

// Administrators and the system: full control, passed to what is made
// within; nobody else, and nothing inherited from the folder above.
constexpr char kAdministratorsOnly[] = "D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

bool WriteAll(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Whether the folder holds anything.
bool HoldsAnything(const std::string& folder)
{
    WIN32_FIND_DATAA found{};
    const FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search)
        return false;
    do {
        if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
            return true;
    } while (FindNextFileA(search.Get(), &found));
    return false;
}

} // namespace

BackupFolder::AdministratorsOnly::AdministratorsOnly()
{
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdministratorsOnly, SDDL_REVISION_1, &descriptor_,
                                                             nullptr))
        attributes_ = {sizeof attributes_, descriptor_, FALSE};
}

BackupFolder::AdministratorsOnly::~AdministratorsOnly() { LocalFree(descriptor_); }

BackupFolder::BackupFolder(std::string folder, bool measureOnly) : folder_(std::move(folder)), measureOnly_(measureOnly)
{
    while (folder_.size() > 3 && (folder_.back() == '\\' || folder_.back() == '/'))
        folder_.pop_back();
}

bool BackupFolder::Usable()
{
    // A folder that is there already is taken only when it is empty: a
    // backup is never written over another, nor mixed with other files.
    const DWORD attributes = GetFileAttributesA(folder_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || HoldsAnything(folder_)) {
            error_ = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_DIR_NOT_EMPTY : ERROR_ALREADY_EXISTS;
            return false;
        }
        return true;
    }
    // It is made in a folder that is there.
    const std::size_t slash = folder_.find_last_of("\\/");
    const std::string parent = slash == std::string::npos ? std::string(".") : folder_.substr(0, slash + (slash == 2));
    const DWORD above = GetFileAttributesA(parent.c_str());
    if (above == INVALID_FILE_ATTRIBUTES || !(above & FILE_ATTRIBUTE_DIRECTORY)) {
        error_ = ERROR_PATH_NOT_FOUND;
        return false;
    }
    return true;
}

bool BackupFolder::Open()
{
    if (opened_)
        return true;
    if (measureOnly_) {
        // A dry run writes nothing, and stops where the real run would.
        if (!Usable())
            return false;
        return opened_ = true;
    }
    if (!administrators_.Get() || !Usable()) {
        if (!administrators_.Get())
            error_ = GetLastError();
        return false;
    }
    if (!CreateDirectoryA(folder_.c_str(), administrators_.Get())) {
        error_ = GetLastError();
        if (error_ != ERROR_ALREADY_EXISTS)
            return false;
        if (!SetFileSecurityA(folder_.c_str(), DACL_SECURITY_INFORMATION,
                              static_cast<PSECURITY_DESCRIPTOR>(administrators_.Get()->lpSecurityDescriptor))) {
            error_ = GetLastError();
            return false;
        }
    }
    manifest_.Attach(CreateFileA((folder_ + "\\" + kManifestName).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                 administrators_.Get(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!manifest_) {
        error_ = GetLastError();
        return false;
    }
    char version[64] = {};
    ProgramVersionText(version);
    BackupRecord header;
    header.Kind = "backup";
    header.Set("version", version).Set("computer", ComputerName());
    const std::string text =
        "# prnuninst backup: the changes of one removal, in the order made\r\n" + WriteRecord(header) + "\r\n";
    if (!WriteAll(manifest_.Get(), text) || !FlushFileBuffers(manifest_.Get())) {
        error_ = GetLastError();
        manifest_.Close();
        return false;
    }
    return opened_ = true;
}

BackupFolder::Copy BackupFolder::CopyIn(const std::string& path, const std::string& name)
{
    // Read as anybody may while others use it; a file held without
    // sharing can't be copied, which is not the backup's failure.
    const KernelHandle source(CreateFileA(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!source || !GetFileSizeEx(source.Get(), &size)) {
        error_ = GetLastError();
        return Copy::Unreadable;
    }
    if (!Open())
        return Copy::NotWritten;
    if (!measureOnly_) {
        const KernelHandle target(CreateFileA((folder_ + "\\" + name).c_str(), GENERIC_WRITE, 0,
                                              administrators_.Get(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!target) {
            error_ = GetLastError();
            return Copy::NotWritten;
        }
        char buffer[64 * 1024];
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(source.Get(), buffer, sizeof buffer, &read, nullptr)) {
                error_ = GetLastError();
                return Copy::Unreadable;
            }
            if (read == 0)
                break;
            DWORD written = 0;
            if (!WriteFile(target.Get(), buffer, read, &written, nullptr) || written != read) {
                error_ = GetLastError();
                return Copy::NotWritten;
            }
        }
        // The copy carries the file's times, as a copy by the system would.
        FILETIME created{}, accessed{}, modified{};
        if (GetFileTime(source.Get(), &created, &accessed, &modified))
            SetFileTime(target.Get(), &created, &accessed, &modified);
        if (!FlushFileBuffers(target.Get())) {
            error_ = GetLastError();
            return Copy::NotWritten;
        }
    }
    bytes_ += static_cast<unsigned long long>(size.QuadPart);
    return Copy::Made;
}

bool BackupFolder::WriteIn(const std::string& name, const std::string& bytes)
{
    if (!Open())
        return false;
    if (!measureOnly_) {
        const KernelHandle file(CreateFileA((folder_ + "\\" + name).c_str(), GENERIC_WRITE, 0, administrators_.Get(),
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !WriteAll(file.Get(), bytes) || !FlushFileBuffers(file.Get())) {
            error_ = GetLastError();
            return false;
        }
    }
    bytes_ += bytes.size();
    return true;
}

bool BackupFolder::MakeFolderIn(const std::string& name)
{
    if (!Open())
        return false;
    if (!measureOnly_ && !CreateDirectoryA((folder_ + "\\" + name).c_str(), administrators_.Get())) {
        error_ = GetLastError();
        return false;
    }
    return true;
}

bool BackupFolder::Append(const BackupRecord& record)
{
    if (!Open())
        return false;
    const std::string line = WriteRecord(record) + "\r\n";
    if (!measureOnly_ && (!WriteAll(manifest_.Get(), line) || !FlushFileBuffers(manifest_.Get()))) {
        error_ = GetLastError();
        return false;
    }
    bytes_ += line.size();
    ++records_;
    return true;
}
