#pragma once
// Splitting a path into drive, directory, name and extension, and joining the
// parts again. Pure logic over fixed 260-byte texts.

#include <string_view>

#include "../common/Text.h"

struct PathParts {
    char drive[text::kMaxText] = {};
    char directory[text::kMaxText] = {};
    char name[text::kMaxText] = {};
    char extension[text::kMaxText] = {};

    // Everything up to the last '\' or '/' is the directory; the text after
    // the last dot of the rest is the extension. A part too long for its
    // field leaves all four empty.
    void Split(std::string_view path, text::LeadByteTest isLead = nullptr);
    void Clear();
};

// Joins the parts into `out`: a backslash is added after a directory that
// lacks one, a dot before an extension that lacks one. When the result does
// not fit, `out` is left empty and the result is false.
bool ComposePath(const PathParts& parts, char (&out)[text::kMaxText], text::LeadByteTest isLead = nullptr);

// Whether `path` starts with a drive letter, a colon and a backslash, or
// with two backslashes and a server name: a path that names the same file
// whatever the current directory is.
bool IsFullPath(const char* path);
