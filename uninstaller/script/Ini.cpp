#include "Ini.h"

#include <windows.h>

#include <string>

#include "../common/Handles.h"

namespace {

// The whole file, or nothing when it can't be opened, is empty or can't be read.
bool ReadWhole(HANDLE file, std::string& bytes)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFF0)
        return false;
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read == 0)
        return false;
    bytes.resize(read);
    return true;
}

bool WriteAll(HANDLE file, std::string_view bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

KernelHandle OpenForUpdate(const char* path)
{
    return KernelHandle(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

CIni::~CIni() { Flush(); }

bool CIni::Load(const char* path)
{
    if (SectionCount() != 0)
        return false;
    text::CopyWhole(filePath_, path ? path : "");
    if (filePath_[0] == '\0')
        return false;
    KernelHandle file(CreateFileA(filePath_, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                  nullptr));
    std::string bytes;
    if (!file || !ReadWhole(file.Get(), bytes))
        return false;
    // A last line without its line end ends like any other.
    bytes.append("\r\n");
    Parse(bytes.data(), bytes.size());
    modified_ = 0;
    return true;
}

bool CIni::Save(const char* path)
{
    text::CopyWhole(filePath_, path ? path : "");
    KernelHandle file(CreateFileA(filePath_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::size_t entries = 0;
    const std::string out = Serialize(entries);
    const bool ok = WriteAll(file.Get(), out);
    modified_ = 0;
    return ok && entries > 0;
}

bool CIni::Flush()
{
    return modified_ ? Save(filePath_) : false;
}

std::size_t CIni::FindKey(const char* path, const char* section, const char* key)
{
    KernelHandle file = OpenForUpdate(path);
    std::string bytes;
    if (!file || !ReadWhole(file.Get(), bytes))
        return 0;
    return FindKeyInText(bytes, section ? section : "", key ? key : "");
}

bool CIni::DeleteKeyLine(const char* path, const char* section, const char* key)
{
    KernelHandle file = OpenForUpdate(path);
    std::string bytes;
    if (!file || !ReadWhole(file.Get(), bytes))
        return false;
    const auto rewritten = DeleteKeyLineInText(bytes, section ? section : "", key ? key : "");
    if (!rewritten)
        return false;
    LARGE_INTEGER start{};
    return SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) && WriteAll(file.Get(), *rewritten) &&
           SetEndOfFile(file.Get());
}
