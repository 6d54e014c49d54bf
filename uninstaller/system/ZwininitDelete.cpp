#include "ZwininitDelete.h"

#include <windows.h>

#include <cstring>

#include "../common/Handles.h"
#include "../common/Text.h"
#include "../script/FileSpec.h"

namespace {

// `<program directory><name>`; false when the directory is unknown or the
// result would not fit.
bool BesideProgram(char (&out)[text::kMaxText], const char* name)
{
    FileSpec program;
    program.Resolve(location::ProgramDirectory);
    out[0] = '\0';
    if (program.directory[0] == '\0')
        return false;
    if (text::AppendWhole(out, program.drive) && text::AppendWhole(out, program.directory) &&
        text::AppendWhole(out, name))
        return true;
    out[0] = '\0';
    return false;
}

} // namespace

int AddZwininitDelete(const char* path)
{
    if (!path || path[0] == '\0' || std::strlen(path) >= text::kMaxText)
        return 0;
    char deleter[text::kMaxText];
    char list[text::kMaxText];
    if (!BesideProgram(deleter, "zwininit.exe") || !BesideProgram(list, "zwininit.ini"))
        return 0;
    {
        KernelHandle file(CreateFileA(deleter, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return 0;
    }
    return WritePrivateProfileStringA("RENAME", path, "NUL", list) ? 1 : 0;
}
