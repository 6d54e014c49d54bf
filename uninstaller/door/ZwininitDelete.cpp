#include "ZwininitDelete.h"

#include <windows.h>

#include <cstring>

#include "../common/Handles.h"
#include "../common/Text.h"
#include "../script/FileSpec.h"

int AddZwininitDelete(const char* path)
{
    if (!path || path[0] == '\0' || std::strlen(path) >= text::kMaxText)
        return 0;
    char deleter[text::kMaxText];
    char list[text::kMaxText];
    if (!PathBesideProgram(deleter, "zwininit.exe") || !PathBesideProgram(list, "zwininit.ini"))
        return 0;
    {
        KernelHandle file(CreateFileA(deleter, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return 0;
    }
    return WritePrivateProfileStringA("RENAME", path, "NUL", list) ? 1 : 0;
}
