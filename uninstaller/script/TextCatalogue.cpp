#include "TextCatalogue.h"

#include "../common/Text.h"
#include "FileSpec.h"

char* TextCatalogue::NextSlot()
{
    current_ = (current_ + 1) % kSlots;
    char* slot = results_[current_];
    slot[0] = '\0';
    return slot;
}

const char* TextCatalogue::LoadText(UINT id)
{
    char* slot = NextSlot();
    if (LoadStringA(module_, id, slot, kSlotSize) <= 0)
        slot[0] = '\0';
    return slot;
}

const char* TextCatalogue::GetText(UINT id)
{
    char* loaded = const_cast<char*>(LoadText(id));
    if (loaded[0] != '@')
        return loaded;

    // "@file@section@key": each of the first three '@' ends the field before
    // it and starts the next; a fourth ends the walk and stays in the key.
    char* fields[3] = {};
    int count = 0;
    for (char* p = loaded; *p != '\0';) {
        char* next = CharNextA(p);
        if (*p == '@') {
            if (count == 3)
                break;
            *p = '\0';
            fields[count++] = p + 1;
        }
        p = next;
    }
    if (count < 3) {
        loaded[0] = '\0';
        return loaded;
    }
    return ReadIniText(fields[0], fields[1], fields[2]);
}

const char* TextCatalogue::ReadIniText(const char* file, const char* section, const char* key)
{
    FileSpec spec;
    spec.Resolve(location::ProgramFile);
    if (file && file[0] != '\0') {
        spec.SetPath(file);
    } else {
        text::CopyWhole(spec.extension, ".ini");
    }

    char* slot = NextSlot();
    // A file without a directory is looked for where the platform looks for
    // INI files, in the Windows directory.
    GetPrivateProfileStringA(section, key, "", slot, kSlotSize, spec.Compose());
    if (slot[0] == '\0' && spec.Locate())
        GetPrivateProfileStringA(section, key, "", slot, kSlotSize, spec.Compose());
    ExpandNewlines(slot);
    return slot;
}

void TextCatalogue::ExpandNewlines(char* text)
{
    if (!text)
        return;
    char* out = text;
    for (char* in = text; *in != '\0';) {
        if (in[0] == '\\' && in[1] == 'n') {
            *out++ = '\n';
            in += 2;
            continue;
        }
        char* next = CharNextA(in);
        while (in < next)
            *out++ = *in++;
    }
    *out = '\0';
}

bool TextCatalogue::SetWindowTextById(HWND window, UINT id)
{
    const char* value = GetText(id);
    if (value[0] == '\0')
        return false;
    SetWindowTextA(window, value);
    return true;
}

bool TextCatalogue::SetItemTextById(HWND dialog, int control, UINT id)
{
    return SetWindowTextById(GetDlgItem(dialog, control), id);
}
