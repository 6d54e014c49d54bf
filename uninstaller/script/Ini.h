#pragma once
// CIni: the INI model loaded from a file, and the two key operations that
// work on a file on disk without loading it.

#include <cstddef>
#include <cstdint>

#include "IniModel.h"

class CIni : public IniModel {
public:
    CIni() = default;
    CIni(const CIni&) = delete;
    CIni& operator=(const CIni&) = delete;
    // Writes the model back when it was modified.
    virtual ~CIni();

    // Reads and parses the whole file. False, changing nothing, when the
    // model holds a section already; false for a missing, unreadable or empty
    // file. The path is kept in every case.
    virtual bool Load(const char* path);

    // Writes the model to `path`; true when at least one entry was written.
    bool Save(const char* path);
    bool Flush();

    const char* FilePath() const { return filePath_; }

    // Offset of `key` in `section` of the file (1 or more), or 0.
    static std::size_t FindKey(const char* path, const char* section, const char* key);
    // Rewrites the file without the line of `key` in `section`.
    static bool DeleteKeyLine(const char* path, const char* section, const char* key);

private:
    char filePath_[text::kMaxText] = {};
    std::uint32_t modified_ = 0;
};
