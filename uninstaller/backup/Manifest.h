#pragma once
// The backup's manifest: one record a line, in the order the changes were
// made, each a kind and named fields ("kind<TAB>name=value<TAB>..."). A
// value's percent sign, tab and line breaks are written %25, %09, %0D and
// %0A, so that any text, a path or a registry value, stays on its line.
// Lines starting with '#' are remarks. Pure logic, no platform calls.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct BackupRecord {
    std::string Kind;
    std::vector<std::pair<std::string, std::string>> Fields;

    BackupRecord& Set(std::string name, std::string value)
    {
        Fields.emplace_back(std::move(name), std::move(value));
        return *this;
    }
    // The field's value; empty when the record has none.
    std::string Get(std::string_view name) const;
    bool Has(std::string_view name) const;
};

// One line, without its line break.
std::string WriteRecord(const BackupRecord& record);
// False for a remark, an empty line or one without a kind.
bool ReadRecord(std::string_view line, BackupRecord& record);
// Every record of the manifest's text, in order.
std::vector<BackupRecord> ReadManifest(std::string_view text);

// Bytes as hexadecimal digits, and back (false on anything else).
std::string ToHex(const void* data, std::size_t size);
bool FromHex(std::string_view hex, std::vector<unsigned char>& bytes);
