#include "RegText.h"

#include <cwchar>

#include "../common/Handles.h"

namespace {

constexpr wchar_t kHeader[] = L"Windows Registry Editor Version 5.00";

struct RootName {
    HKEY Root;
    const wchar_t* Long;
    const wchar_t* Short;
};

const RootName kRootNames[] = {
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"HKLM"},
    {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", L"HKCU"},
    {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT", L"HKCR"},
    {HKEY_USERS, L"HKEY_USERS", L"HKU"},
};

std::wstring Quoted(std::wstring_view text)
{
    std::wstring out = L"\"";
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"')
            out += L'\\';
        out += c;
    }
    return out + L"\"";
}

std::wstring HexBytes(const BYTE* data, std::size_t size)
{
    std::wstring out;
    wchar_t byte[4] = {};
    for (std::size_t i = 0; i < size; ++i) {
        std::swprintf(byte, 4, L"%02x", data[i]);
        if (i != 0)
            out += L',';
        out += byte;
    }
    return out;
}

std::wstring ValueLine(const wchar_t* name, DWORD type, const BYTE* data, DWORD size)
{
    std::wstring line = name[0] == L'\0' ? L"@" : Quoted(name);
    line += L'=';
    // A string of the usual form is written as text, anything else as bytes.
    if (type == REG_SZ && size % 2 == 0 && size >= 2 && data[size - 1] == 0 && data[size - 2] == 0 &&
        std::wmemchr(reinterpret_cast<const wchar_t*>(data), L'\0', size / 2 - 1) == nullptr)
        return line + Quoted(std::wstring_view(reinterpret_cast<const wchar_t*>(data), size / 2 - 1));
    if (type == REG_DWORD && size == 4) {
        wchar_t number[16] = {};
        std::swprintf(number, 16, L"dword:%08lx", static_cast<unsigned long>(*reinterpret_cast<const DWORD*>(data)));
        return line + number;
    }
    if (type == REG_BINARY)
        return line + L"hex:" + HexBytes(data, size);
    wchar_t kind[16] = {};
    std::swprintf(kind, 16, L"hex(%lx):", static_cast<unsigned long>(type));
    return line + kind + HexBytes(data, size);
}

bool ExportValues(HKEY key, const std::wstring& shown, const wchar_t* only, std::wstring& text)
{
    text += L"\r\n[" + shown + L"]\r\n";
    if (only) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key, only, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        std::vector<BYTE> data(size + 2);
        if (RegQueryValueExW(key, only, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            return false;
        text += ValueLine(only, type, data.data(), size) + L"\r\n";
        return true;
    }
    DWORD names = 0, longestName = 0, longestData = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &names, &longestName, &longestData,
                     nullptr, nullptr);
    std::vector<wchar_t> name(longestName + 2);
    std::vector<BYTE> data(longestData + 2);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
        const LONG status = RegEnumValueW(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_MORE_DATA) {
            // Grown since it was measured: measured again.
            name.resize(name.size() * 2 + 256);
            data.resize(data.size() * 2 + 256);
            --index;
            continue;
        }
        if (status != ERROR_SUCCESS)
            return false;
        text += ValueLine(name.data(), type, data.data(), dataSize) + L"\r\n";
    }
    return true;
}

bool ExportTree(HKEY key, const std::wstring& shown, bool tree, std::wstring& text)
{
    if (!ExportValues(key, shown, nullptr, text))
        return false;
    if (!tree)
        return true;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD size = 256;
        const LONG status = RegEnumKeyExW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return true;
        if (status != ERROR_SUCCESS)
            return false;
        HKEY raw = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &raw) != ERROR_SUCCESS)
            return false;
        const RegistryKey sub(raw);
        if (!ExportTree(sub.Get(), shown + L"\\" + name, true, text))
            return false;
    }
}

// A quoted text of the file at `at`, its escapes undone; `at` moves past it.
bool ReadQuoted(std::wstring_view line, std::size_t& at, std::wstring& out)
{
    if (at >= line.size() || line[at] != L'"')
        return false;
    out.clear();
    for (++at; at < line.size(); ++at) {
        if (line[at] == L'\\' && at + 1 < line.size()) {
            out += line[++at];
            continue;
        }
        if (line[at] == L'"') {
            ++at;
            return true;
        }
        out += line[at];
    }
    return false;
}

bool ReadHex(std::wstring_view text, std::vector<BYTE>& data)
{
    data.clear();
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == L',' || text[at] == L' ' || text[at] == L'\\'))
            ++at;
        if (at >= text.size())
            break;
        if (at + 1 >= text.size())
            return false;
        const wchar_t digits[3] = {text[at], text[at + 1], L'\0'};
        wchar_t* end = nullptr;
        const unsigned long byte = std::wcstoul(digits, &end, 16);
        if (end != digits + 2)
            return false;
        data.push_back(static_cast<BYTE>(byte));
        at += 2;
    }
    return true;
}

bool ReadValue(std::wstring_view line, RegTextValue& value)
{
    std::size_t at = 0;
    if (!line.empty() && line[0] == L'@') {
        value.Name.clear();
        at = 1;
    } else if (!ReadQuoted(line, at, value.Name)) {
        return false;
    }
    if (at >= line.size() || line[at] != L'=')
        return false;
    const std::wstring_view data = line.substr(at + 1);
    if (!data.empty() && data[0] == L'"') {
        std::size_t from = 0;
        std::wstring text;
        if (!ReadQuoted(data, from, text))
            return false;
        value.Type = REG_SZ;
        const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
        value.Data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
        return true;
    }
    if (data.substr(0, 6) == L"dword:") {
        wchar_t* end = nullptr;
        const std::wstring digits(data.substr(6));
        const DWORD number = std::wcstoul(digits.c_str(), &end, 16);
        if (digits.empty() || *end != L'\0')
            return false;
        value.Type = REG_DWORD;
        const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
        value.Data.assign(bytes, bytes + sizeof number);
        return true;
    }
    if (data.substr(0, 4) == L"hex:") {
        value.Type = REG_BINARY;
        return ReadHex(data.substr(4), value.Data);
    }
    if (data.substr(0, 4) == L"hex(") {
        const std::size_t close = data.find(L"):");
        if (close == std::wstring_view::npos)
            return false;
        const std::wstring digits(data.substr(4, close - 4));
        wchar_t* end = nullptr;
        value.Type = std::wcstoul(digits.c_str(), &end, 16);
        if (digits.empty() || *end != L'\0')
            return false;
        return ReadHex(data.substr(close + 2), value.Data);
    }
    return false;
}

} // namespace

const wchar_t* RootLongName(HKEY root)
{
    for (const RootName& name : kRootNames) {
        if (name.Root == root)
            return name.Long;
    }
    return nullptr;
}

HKEY RootOfLongPath(std::wstring_view path, std::wstring_view& rest)
{
    for (const RootName& name : kRootNames) {
        for (const wchar_t* spelling : {name.Long, name.Short}) {
            const std::size_t length = std::wcslen(spelling);
            if (path.size() >= length && _wcsnicmp(path.data(), spelling, length) == 0 &&
                (path.size() == length || path[length] == L'\\')) {
                rest = path.substr(std::min(path.size(), length + 1));
                return name.Root;
            }
        }
    }
    return nullptr;
}

bool ExportRegistry(HKEY root, const std::string& path, const char* value, bool tree, const std::wstring& shownPath,
                    std::wstring& text)
{
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return false;
    const RegistryKey key(raw);
    text = kHeader;
    text += L"\r\n";
    const bool done = value ? ExportValues(key.Get(), shownPath, Widen(value).c_str(), text)
                            : ExportTree(key.Get(), shownPath, tree, text);
    text += L"\r\n";
    return done;
}

bool ParseRegText(std::wstring_view text, std::vector<RegTextKey>& keys)
{
    keys.clear();
    bool header = false;
    std::wstring pending; // a line continued with a trailing backslash
    while (!text.empty()) {
        std::size_t end = text.find(L'\n');
        std::wstring_view line = text.substr(0, end);
        text = end == std::wstring_view::npos ? std::wstring_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == L'\r' || line.back() == L' '))
            line.remove_suffix(1);
        if (!pending.empty()) {
            while (!line.empty() && line.front() == L' ')
                line.remove_prefix(1);
            pending += line;
            if (!pending.empty() && pending.back() == L'\\' && pending.find(L"=hex") != std::wstring::npos) {
                pending.pop_back();
                continue;
            }
            line = pending;
        } else if (!line.empty() && line.back() == L'\\' && line.find(L"=hex") != std::wstring_view::npos) {
            pending.assign(line.substr(0, line.size() - 1));
            continue;
        }
        const std::wstring current(line);
        pending.clear();
        if (current.empty() || current[0] == L';')
            continue;
        if (!header) {
            if (current != kHeader)
                return false;
            header = true;
            continue;
        }
        if (current.front() == L'[') {
            if (current.back() != L']')
                return false;
            keys.push_back({current.substr(1, current.size() - 2), {}});
            continue;
        }
        RegTextValue value;
        if (keys.empty() || !ReadValue(current, value))
            return false;
        keys.back().Values.push_back(std::move(value));
    }
    return header;
}

std::string RegFileBytes(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

bool RegFileText(const std::string& bytes, std::wstring& text)
{
    if (bytes.size() < 2 || bytes.size() % 2 != 0 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE)
        return false;
    text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / sizeof(wchar_t));
    return true;
}
