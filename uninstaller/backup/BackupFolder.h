#pragma once
// The folder a backup is written to: the manifest, one record per change
// in the order made, and beside it the copies each record names. Created at
// the first record, readable by administrators and the system only. When
// only measuring (a dry run), nothing is written and the bytes the copies
// would take are counted.

#include <windows.h>

#include <string>

#include "../common/Handles.h"
#include "Manifest.h"

class BackupFolder {
public:
    BackupFolder(std::string folder, bool measureOnly);

    // The next record's number, for the names of its copies.
    unsigned NextNumber() const { return records_ + 1; }
    // Copies the file into the folder under `name`.
    enum class Copy { Made, Unreadable, NotWritten };
    Copy CopyIn(const std::string& path, const std::string& name);
    // Writes the bytes into the folder under `name`.
    bool WriteIn(const std::string& name, const std::string& bytes);
    // Makes a folder within it for a record's several copies.
    bool MakeFolderIn(const std::string& name);
    // Appends the record to the manifest and writes it through.
    bool Append(const BackupRecord& record);
    // Makes the folder and its manifest at the first call; false when they
    // can't be written. Only measuring, always ready.
    bool Ready() { return Open(); }

    const std::string& Path() const { return folder_; }
    bool MeasureOnly() const { return measureOnly_; }
    unsigned Records() const { return records_; }
    unsigned long long Bytes() const { return bytes_; }
    // Why the last write failed, for the journal.
    DWORD LastError() const { return error_; }

    // The administrators' and the system's access only, for the folder and
    // everything made in it (not left to inheritance).
    class AdministratorsOnly {
    public:
        AdministratorsOnly();
        ~AdministratorsOnly();
        AdministratorsOnly(const AdministratorsOnly&) = delete;
        AdministratorsOnly& operator=(const AdministratorsOnly&) = delete;
        SECURITY_ATTRIBUTES* Get() { return descriptor_ ? &attributes_ : nullptr; }

    private:
        PSECURITY_DESCRIPTOR descriptor_ = nullptr;
        SECURITY_ATTRIBUTES attributes_{};
    };

private:
    bool Open();
    // Whether the folder can be the backup's: new (in a folder that is
    // there) or empty.
    bool Usable();

    std::string folder_;
    bool measureOnly_;
    AdministratorsOnly administrators_;
    bool opened_ = false;
    KernelHandle manifest_;
    unsigned records_ = 0;
    unsigned long long bytes_ = 0;
    DWORD error_ = ERROR_SUCCESS;
};

// The manifest's file name within the folder.
inline constexpr char kManifestName[] = "manifest.txt";
