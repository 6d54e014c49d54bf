#pragma once
// The program's own INI reader: a whole text parsed into sections and entries
// in file order, with the enumeration questions the script reader asks, and
// the two key searches that work on a file's bytes. Pure logic, no platform.
//
// Rules: a UTF-8 byte-order mark at the start is skipped; any run of CR and
// LF ends a line; a line that starts with a blank or ';' is a comment;
// "[name]" starts a section (repeated names give separate sections, the first
// is found); an entry line ends at its first ';' and splits at its first '=';
// keys and values are trimmed of blanks only. Values may be of any length.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../common/Text.h"

struct IniEntry {
    char key[text::kMaxText] = {};
    std::string value;
};

struct IniSection {
    char name[text::kMaxText] = {};
    std::vector<IniEntry> entries;
    std::uint64_t entryCount = 0;
};

class IniModel {
public:
    // Parses `length` bytes of text, which ends early at a NUL. Appends to
    // what the model holds.
    void Parse(const char* text, std::size_t length);

    // The first section of that name (A-Z case folded); nullptr for an empty
    // or absent name and when there is none.
    const IniSection* FindSection(const char* name) const;
    std::uint64_t GetEntryCount(const char* name) const;

    // Double-NUL lists of a section's keys, or of its lines ("key=value", or
    // the key alone when the value is empty). An empty string would end the
    // list, so such an entry is neither written nor counted. A string is
    // written while the running total of lengths-plus-one stays below `size`;
    // the result is that total, negated when some string did not fit; 0 for
    // no section or entry.
    std::int32_t GetKeys(const char* name, char* buffer, std::int32_t size) const;
    std::int32_t GetSectionLines(const char* name, char* buffer, std::int32_t size) const;

    // The model as INI text with CR LF line ends; `entries` gets the number
    // of entries written.
    std::string Serialize(std::size_t& entries) const;

    std::uint64_t SectionCount() const { return sectionCount_; }
    const std::vector<IniSection>& Sections() const { return sections_; }

protected:
    void Clear();

private:
    template <typename Emit>
    std::int32_t FillList(const char* name, char* buffer, std::int32_t size, Emit emit) const;
    void ParseLine(std::string_view line);

    std::vector<IniSection> sections_;
    std::uint64_t sectionCount_ = 0;
};

// The key searches of WIN.INI-type files. A line ends at CR LF, LF or a lone
// CR. A line whose first non-blank (space or tab) character is '[' is a
// header; it opens the section when it starts "[section]" (A-Z case folded).
// The key's line is the first line, in any section of that name in file
// order, that holds `key` as a whole key: after blanks, `key` (A-Z folded),
// then blanks and '=' or the line end. A line starting with ';' never holds
// it. A UTF-8 byte-order mark at the start is skipped.

// Offset (1 or more) of the key's first byte on the key's line; 0 when there
// is none.
std::size_t FindKeyInText(std::string_view file, std::string_view section, std::string_view key);

// The file's bytes without the key's line and its one line end; nothing when
// there is no such line.
std::optional<std::string> DeleteKeyLineInText(std::string_view file, std::string_view section,
                                               std::string_view key);
