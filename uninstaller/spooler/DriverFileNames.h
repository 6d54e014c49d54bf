#pragma once
// The files the spooler reports for each printer driver of an environment,
// by name and extension, so that the inventory and the file removal can tell
// which files a printer or driver that stays really uses.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class DriverFileNames {
public:
    // The drivers of one environment; nullptr is the running one.
    explicit DriverFileNames(const char* environment = nullptr) : environment_(environment) {}

    // Appends to `files` the names of the files of every listed driver called
    // `driver` (case ignored): driver, data, configuration and help file,
    // the dependent files and the colour profiles, each name once. False when the list could not be
    // read or holds no such driver. The list is read on the first call only.
    bool FilesOf(std::string_view driver, std::vector<std::string>& files);

    // Appends the files of every driver of the environment but those `skip`
    // answers true for, with the driver's name appended to `owners` for each
    // file appended; a name may come more than once (a print server's drivers
    // list thousands of files: the caller sorts them once). False when the
    // list could not be read.
    bool AllFiles(std::vector<std::string>& files, std::vector<std::string>& owners,
                  const std::function<bool(const char* driver)>& skip);

    // False when the list could not be read; Error() then tells why.
    bool Listed() const { return listed_; }
    DWORD Error() const { return error_; }

private:
    void Enumerate();
    bool Collect(const char* driver, std::vector<std::string>& files, bool once,
                 std::vector<std::string>* owners = nullptr, const std::function<bool(const char*)>* skip = nullptr);

    const char* environment_ = nullptr;

    bool enumerated_ = false;
    bool listed_ = false;
    DWORD error_ = 0;
    std::vector<BYTE> entries_;
    DWORD count_ = 0;
    DWORD level_ = 8; // of the records in entries_
};
