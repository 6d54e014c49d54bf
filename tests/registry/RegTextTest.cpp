// A key saved for the backup is written in the text the registry editor and
// "reg import" read, so that an administrator can put one key back by hand:
// the platform's own reg.exe, not this program, reads it back here.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "backup/RegText.h"
#include "support/WineBed.h"

namespace {

constexpr char kSaved[] = "SOFTWARE\\QrvRegTextSaved";
constexpr char kImported[] = "SOFTWARE\\QrvRegTextImported";

struct Value {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<BYTE> Bytes(const std::wstring& text)
{
    const auto* begin = reinterpret_cast<const BYTE*>(text.c_str());
    return {begin, begin + (text.size() + 1) * sizeof(wchar_t)};
}

std::vector<BYTE> Read(const char* key, const wchar_t* sub, const wchar_t* name, DWORD& type)
{
    const std::wstring path = Widen(key) + sub;
    DWORD size = 0;
    type = REG_NONE;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return {};
    std::vector<BYTE> data(size);
    RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &size);
    data.resize(size);
    return data;
}

} // namespace

TEST(RegText, ASavedKeyIsReadBackByTheRegistrysOwnImport)
{
    const DWORD number = 0x12345678;
    const unsigned long long wide = 0x0102030405060708ULL;
    const std::vector<Value> values = {
        {L"", REG_SZ, Bytes(L"the default")},
        {L"Quoted \"name\"", REG_SZ, Bytes(L"C:\\Program Files\\\"Q\"")},
        {L"Expand", REG_EXPAND_SZ, Bytes(L"%SystemRoot%\\qrv.dll")},
        {L"Multi", REG_MULTI_SZ, Bytes(std::wstring(L"one\0two\0", 8))},
        {L"Number", REG_DWORD, {reinterpret_cast<const BYTE*>(&number), reinterpret_cast<const BYTE*>(&number) + 4}},
        {L"Wide", REG_QWORD, {reinterpret_cast<const BYTE*>(&wide), reinterpret_cast<const BYTE*>(&wide) + 8}},
        {L"Bytes", REG_BINARY, std::vector<BYTE>(300, 0xA5)},
        {L"Empty", REG_BINARY, {}},
    };
    for (const char* key : {kSaved, kImported})
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
    const std::wstring sub = L"\\Sub\\Deeper";
    for (const Value& value : values) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, (Widen(kSaved) + sub).c_str(), value.name, value.type,
                                  value.data.data(), static_cast<DWORD>(value.data.size())),
                  ERROR_SUCCESS);
    }
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, Widen(kSaved).c_str(), L"Top", REG_SZ, Bytes(L"1").data(), 4),
              ERROR_SUCCESS);

    std::wstring text;
    ASSERT_TRUE(ExportRegistry(HKEY_LOCAL_MACHINE, kSaved, nullptr, true,
                               L"HKEY_LOCAL_MACHINE\\" + Widen(kImported), text));
    const std::string file = bed::TestDirectory() + "qrv-regtext.reg";
    ASSERT_TRUE(bed::WriteFile(file, RegFileBytes(text)));
    bed::Process import("reg.exe import \"" + file + "\"");
    ASSERT_TRUE(import.Started());
    EXPECT_EQ(import.Wait(30000), 0);

    for (const Value& value : values) {
        SCOPED_TRACE(Narrow(value.name));
        DWORD type = 0;
        EXPECT_EQ(Read(kImported, sub.c_str(), value.name, type), value.data);
        EXPECT_EQ(type, value.type);
    }
    DWORD type = 0;
    EXPECT_EQ(Read(kImported, L"", L"Top", type), Bytes(L"1"));

    // And this program reads what it wrote as the same keys and values.
    std::vector<RegTextKey> keys;
    ASSERT_TRUE(ParseRegText(text, keys));
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[2].Path, L"HKEY_LOCAL_MACHINE\\" + Widen(kImported) + sub);
    ASSERT_EQ(keys[2].Values.size(), values.size());
    for (const Value& value : values) {
        const auto read = std::find_if(keys[2].Values.begin(), keys[2].Values.end(),
                                       [&](const RegTextValue& v) { return v.Name == value.name; });
        ASSERT_NE(read, keys[2].Values.end()) << Narrow(value.name);
        EXPECT_EQ(read->Type, value.type);
        EXPECT_EQ(read->Data, value.data);
    }
    DeleteFileA(file.c_str());
    for (const char* key : {kSaved, kImported})
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
}
