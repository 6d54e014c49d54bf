#include <gtest/gtest.h>

#include <utility>

#include <cstdio>
#include <string>
#include <vector>

#include "res/resource.h"
#include "script/MessageBox.h"
#include "support/JournalCapture.h"
#include "support/WineBed.h"
#include "door/RealDoor.h"
#include "door/RestartRequest.h"
#include "system/Restart.h"
#include "door/ZwininitDelete.h"
#include "SystemFixtures.h"

using systemtest::Platform;

namespace {

// No test may restart anything: the test main refuses every request, and
// a test that expected one puts this back afterwards.
bool RefuseUnexpected(RestartVariant, const char* command)
{
    ADD_FAILURE() << "unexpected restart request " << (command ? command : "");
    return false;
}

LUID ShutdownLuid()
{
    LUID luid{};
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid);
    return luid;
}

bool ShutdownPrivilegeEnabled()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    std::vector<BYTE> buffer(4096);
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenPrivileges, buffer.data(), static_cast<DWORD>(buffer.size()), &size);
    CloseHandle(token);
    if (!ok)
        return false;
    const LUID wanted = ShutdownLuid();
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
        if (p.Luid.LowPart == wanted.LowPart && p.Luid.HighPart == wanted.HighPart)
            return (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    return false;
}

void DisableShutdownPrivilege()
{
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES off{};
    off.PrivilegeCount = 1;
    off.Privileges[0].Luid = ShutdownLuid();
    off.Privileges[0].Attributes = 0;
    AdjustTokenPrivileges(token, FALSE, &off, 0, nullptr, nullptr);
    CloseHandle(token);
    ASSERT_FALSE(ShutdownPrivilegeEnabled());
}

struct Box {
    std::string text;
    std::string title;
    UINT style;
    bool operator==(const Box&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Box& box)
{
    return out << "{" << box.text << " | " << box.title << " | 0x" << std::hex << box.style << std::dec << "}";
}

struct Request {
    RestartVariant variant;
    std::string command;
    bool privilegeEnabled;
};

const std::string kTitle = bed::Ansi("アンインストール");
const Box kDone{bed::Ansi("プリンタのアンインストールが完了しました。"), kTitle, MB_OK | MB_SETFOREGROUND};
const Box kAsk{bed::Ansi("プリンタのアンインストールはほぼ終わりました。 \n アンインストール処理を完了するには"
                         "再起動してください。 \n\n すぐに再起動しますか？"),
               kTitle, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND};
const Box kFailed{bed::Ansi("アンインストールはシステムを再起動できなかったので､Windows を手動で再起動し､"
                            "アンインストールを完了してください。"),
                  kTitle, MB_OK | MB_SETFOREGROUND};

// The offer at the end of a removal; the boxes are answered and the restart
// requests recorded.
class RestartOffer : public testing::Test {
protected:
    void SetUp() override
    {
        SetMessageAnswerer([this](const char* text, const char* title, UINT style) {
            boxes.push_back({text, title, style});
            return answer;
        });
        SetRestartRequester([this](RestartVariant variant, const char* command) {
            requests.push_back({variant, command ? command : "", ShutdownPrivilegeEnabled()});
            return accept;
        });
        DisableShutdownPrivilege();
        database.RestartRequired = 1;
    }
    void TearDown() override
    {
        SetRestartRequester(RefuseUnexpected);
        SetMessageAnswerer([](const char* text, const char*, UINT) {
            ADD_FAILURE() << "unexpected message box: " << text;
            return IDCANCEL;
        });
    }

    void Offer(const PlatformKind& platform)
    {
        boxes.clear();
        requests.clear();
        // The removal page closes the program on any outcome but "not needed".
        if (OfferRestart(door, database, platform, texts) != RestartOutcome::NotNeeded)
            ++closes;
    }

    // Offers since the last look after which the program closes.
    int CloseRequests() { return std::exchange(closes, 0); }

    UninstallDatabase database;
    RealDoor door;
    int closes = 0;
    TextCatalogue texts{GetModuleHandleA(nullptr)};
    int answer = IDYES;
    bool accept = true;
    std::vector<Box> boxes;
    std::vector<Request> requests;
};

} // namespace

TEST_F(RestartOffer, WithoutDeferredWorkOnlyTheCompletionIsShown)
{
    database.RestartRequired = 0;
    for (const PlatformKind& platform : {systemtest::WindowsXP(), Platform(1, 4, 10), systemtest::Win32s()}) {
        SCOPED_TRACE(testing::Message() << "version kind " << platform.versionKind());
        Offer(platform);
        EXPECT_EQ(boxes, std::vector<Box>{kDone});
        EXPECT_TRUE(requests.empty());
        EXPECT_EQ(CloseRequests(), 0) << "the removal page tells the main window itself";
    }
}

TEST_F(RestartOffer, YesRebootsByThePlatformsVariant)
{
    struct Row {
        DWORD id, major, minor;
        RestartVariant variant;
    };
    const Row rows[] = {
        {1, 4, 0, RestartVariant::Reboot},            // Windows 95
        {1, 4, 10, RestartVariant::Reboot},           // Windows 98
        {1, 4, 90, RestartVariant::Reboot},           // Windows Me
        {2, 3, 51, RestartVariant::PrivilegedReboot}, // NT 3.51
        {2, 4, 0, RestartVariant::PrivilegedReboot},  // NT 4.0
        {2, 5, 0, RestartVariant::PrivilegedReboot},  // Windows 2000
        {2, 5, 1, RestartVariant::PrivilegedReboot},  // XP
        {2, 6, 1, RestartVariant::PrivilegedReboot},  // Windows 7, version kind 0
        {1, 4, 3, RestartVariant::PrivilegedReboot},  // a Windows 9x of kind 0
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "id " << row.id << " " << row.major << "." << row.minor);
        DisableShutdownPrivilege();
        Offer(Platform(row.id, row.major, row.minor));
        EXPECT_EQ(boxes, std::vector<Box>{kAsk});
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].variant, row.variant);
        EXPECT_EQ(requests[0].privilegeEnabled, row.variant == RestartVariant::PrivilegedReboot)
            << "the shutdown privilege is enabled before an NT reboot, and only then";
        EXPECT_EQ(CloseRequests(), 1);
    }
}

TEST_F(RestartOffer, NoRequestsNothingAndStillClosesAndTheLogSaysWhatNeedsTheRestart)
{
    answer = IDNO;
    RequireRestart(database, "C:\\windows\\system32\\QLHELD.DLL is in use");
    RequireRestart(database, "service QrvStatusService is marked for deletion");
    for (const PlatformKind& platform : {systemtest::WindowsXP(), Platform(1, 4, 10)}) {
        const JournalCapture journal;
        Offer(platform);
        EXPECT_EQ(boxes, std::vector<Box>{kAsk});
        EXPECT_TRUE(requests.empty());
        EXPECT_FALSE(ShutdownPrivilegeEnabled());
        EXPECT_EQ(CloseRequests(), 1);
        const std::vector<JournalCapture::Line> told = journal.Of(journal::op::kRestart, "Windows");
        ASSERT_EQ(told.size(), 1u) << journal.Dump();
        EXPECT_EQ(told[0].reason, "needed (C:\\windows\\system32\\QLHELD.DLL is in use), not started");
    }
}

TEST_F(RestartOffer, APolicyAnswersTheQuestionWithoutAsking)
{
    // "FORCERESTART": the reboot, no box; "NORESTART": neither.
    SetRestartPolicy(RestartPolicy::Always);
    Offer(systemtest::WindowsXP());
    SetRestartPolicy(RestartPolicy::Ask);
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].variant, RestartVariant::PrivilegedReboot);

    SetRestartPolicy(RestartPolicy::Never);
    Offer(systemtest::WindowsXP());
    SetRestartPolicy(RestartPolicy::Ask);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(CloseRequests(), 2) << "the program ends as after an answer";
}

TEST_F(RestartOffer, ARefusedRebootIsReportedAndTheProgramStillCloses)
{
    accept = false;
    for (const PlatformKind& platform : {systemtest::WindowsXP(), Platform(1, 4, 10)}) {
        SCOPED_TRACE(testing::Message() << "version kind " << platform.versionKind());
        Offer(platform);
        EXPECT_EQ(boxes, (std::vector<Box>{kAsk, kFailed}));
        EXPECT_EQ(requests.size(), 1u);
        EXPECT_EQ(CloseRequests(), 1);
    }
}

namespace {

// Win32s: the companion deleter beside the test program, its list and the
// load line put back afterwards.
class Win32sRestart : public RestartOffer {
protected:
    void SetUp() override
    {
        RestartOffer::SetUp();
        RemoveCompanionFiles();
        loadLine.Set("abc.exe");
    }
    void TearDown() override
    {
        RemoveCompanionFiles();
        RestartOffer::TearDown();
    }
    void RemoveCompanionFiles()
    {
        DeleteFileA(deleter.c_str());
        DeleteFileA(list.c_str());
        RemoveDirectoryA(list.c_str());
    }
    std::string Listed(const std::string& path)
    {
        char value[64] = {};
        GetPrivateProfileStringA("RENAME", path.c_str(), "", value, sizeof value, list.c_str());
        return value;
    }
    static std::string FileContent(const std::string& path)
    {
        std::string content;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            char buffer[1024];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
                content.append(buffer, n);
            std::fclose(f);
        }
        return content;
    }
    bool ListExists() { return GetFileAttributesA(list.c_str()) != INVALID_FILE_ATTRIBUTES; }

    const std::string deleter = bed::TestDirectory() + "zwininit.exe";
    const std::string list = bed::TestDirectory() + "zwininit.ini";
    const std::string restartProgram = bed::TestDirectory() + "ZRESTART.EXE";
    systemtest::SavedLoadLine loadLine;
};

} // namespace

TEST_F(Win32sRestart, NoStillListsTheRestartProgramAndRegistersTheDeleter)
{
    ASSERT_TRUE(bed::WriteFile(deleter, "MZ"));
    answer = IDNO;
    Offer(systemtest::Win32s());
    EXPECT_EQ(boxes, std::vector<Box>{kAsk});
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(Listed(restartProgram), "NUL");
    // The deleter reads its list as plain lines.
    const std::string content = FileContent(list);
    EXPECT_NE(content.find("[RENAME]\r\n" + restartProgram + "=NUL\r\n"), std::string::npos) << content;
    EXPECT_EQ(systemtest::LoadLine(), "abc.exe ZWININIT");
    EXPECT_EQ(CloseRequests(), 1);
}

TEST_F(Win32sRestart, YesStartsTheRestartProgramHidden)
{
    ASSERT_TRUE(bed::WriteFile(deleter, "MZ"));
    Offer(systemtest::Win32s());
    EXPECT_EQ(boxes, std::vector<Box>{kAsk});
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].variant, RestartVariant::RestartProgram);
    EXPECT_EQ(requests[0].command, "\"" + restartProgram + "\" -d");
    EXPECT_EQ(Listed(restartProgram), "NUL");
    EXPECT_EQ(systemtest::LoadLine(), "abc.exe ZWININIT");
    EXPECT_EQ(CloseRequests(), 1);

    accept = false;
    Offer(systemtest::Win32s());
    EXPECT_EQ(boxes, (std::vector<Box>{kAsk, kFailed})) << "the restart program could not be started";
    EXPECT_EQ(systemtest::LoadLine(), "abc.exe ZWININIT") << "registered once";
    EXPECT_EQ(CloseRequests(), 1);
}

TEST_F(Win32sRestart, WithoutTheDeleterNoListIsWritten)
{
    answer = IDNO;
    Offer(systemtest::Win32s());
    EXPECT_FALSE(ListExists());
    EXPECT_EQ(systemtest::LoadLine(), "abc.exe ZWININIT");
    EXPECT_EQ(CloseRequests(), 1);
}

TEST_F(Win32sRestart, CompanionListTakesEachPathOnceAndOnlyWholePaths)
{
    EXPECT_EQ(AddZwininitDelete("C:\\windows\\zreg32s.ini"), 0) << "no deleter beside the program";
    EXPECT_FALSE(ListExists());

    ASSERT_TRUE(bed::WriteFile(deleter, "MZ"));
    EXPECT_EQ(AddZwininitDelete("C:\\windows\\zreg32s.ini"), 1);
    EXPECT_EQ(AddZwininitDelete("C:\\windows\\zreg32s.ini"), 1);
    EXPECT_EQ(AddZwininitDelete("C:\\windows\\other.dll"), 1);
    char keys[256] = {};
    const DWORD n = GetPrivateProfileStringA("RENAME", nullptr, "", keys, sizeof keys, list.c_str());
    EXPECT_EQ(std::string(keys, n), std::string("C:\\windows\\zreg32s.ini\0C:\\windows\\other.dll\0", 44));
    EXPECT_EQ(Listed("C:\\windows\\zreg32s.ini"), "NUL");

    const std::string tooLong = "C:\\" + std::string(257, 'a');
    ASSERT_EQ(tooLong.size(), 260u);
    EXPECT_EQ(AddZwininitDelete(tooLong.c_str()), 0);
    EXPECT_EQ(Listed(tooLong), "");
    EXPECT_EQ(AddZwininitDelete(tooLong.substr(0, 259).c_str()), 1);

    RemoveCompanionFiles();
    ASSERT_TRUE(CreateDirectoryA(list.c_str(), nullptr)) << "a list that can't be written";
    ASSERT_TRUE(bed::WriteFile(deleter, "MZ"));
    EXPECT_EQ(AddZwininitDelete("C:\\windows\\zreg32s.ini"), 0);
}
