#include "PathParts.h"

void PathParts::Clear()
{
    drive[0] = directory[0] = name[0] = extension[0] = '\0';
}

void PathParts::Split(std::string_view path, text::LeadByteTest isLead)
{
    Clear();
    std::string_view rest = path;
    std::string_view driveText;
    if (rest.size() >= 2 && rest[1] == ':') {
        driveText = rest.substr(0, 2);
        rest.remove_prefix(2);
    }
    const std::size_t slash = text::LastSeparator(rest, isLead);
    std::string_view dirText;
    if (slash != std::string_view::npos) {
        dirText = rest.substr(0, slash + 1);
        rest.remove_prefix(slash + 1);
    }
    std::size_t dot = std::string_view::npos;
    text::ForEachChar(rest, isLead, [&](std::size_t i) {
        if (rest[i] == '.')
            dot = i;
    });
    std::string_view nameText = rest;
    std::string_view extText;
    if (dot != std::string_view::npos) {
        nameText = rest.substr(0, dot);
        extText = rest.substr(dot);
    }
    if (!text::CopyWhole(drive, driveText) || !text::CopyWhole(directory, dirText) ||
        !text::CopyWhole(name, nameText) || !text::CopyWhole(extension, extText))
        Clear();
}

bool ComposePath(const PathParts& parts, char (&out)[text::kMaxText], text::LeadByteTest isLead)
{
    out[0] = '\0';
    const std::string_view dir = parts.directory;
    const std::string_view ext = parts.extension;
    bool ok = text::AppendWhole(out, parts.drive) && text::AppendWhole(out, dir);
    if (ok && !dir.empty() && !text::EndsWithSeparator(dir, isLead))
        ok = text::AppendWhole(out, "\\");
    ok = ok && text::AppendWhole(out, parts.name);
    if (ok && !ext.empty() && ext.front() != '.')
        ok = text::AppendWhole(out, ".");
    ok = ok && text::AppendWhole(out, ext);
    if (!ok)
        out[0] = '\0';
    return ok;
}

bool IsFullPath(const char* path)
{
    if (!path)
        return false;
    const auto letter = static_cast<unsigned char>(path[0]);
    const bool drive = ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) && path[1] == ':' &&
                       path[2] == '\\';
    const bool share = path[0] == '\\' && path[1] == '\\' && path[2] != '\0' && path[2] != '\\';
    return drive || share;
}
