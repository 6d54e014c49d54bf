#include "RunAccount.h"

#include <windows.h>

#include <string_view>
#include <vector>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/WideText.h"
#include "../script/ProgramVersion.h"

namespace {

// "DOMAIN\user" of the process's token; "unknown" when it can't be read.
std::string Account()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        return "unknown";
    KernelHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return "unknown";
    std::vector<BYTE> data(size);
    if (!GetTokenInformation(token.Get(), TokenUser, data.data(), size, &size))
        return "unknown";
    const auto* user = reinterpret_cast<const TOKEN_USER*>(data.data());
    char name[256] = {};
    char domain[256] = {};
    DWORD nameSize = sizeof name;
    DWORD domainSize = sizeof domain;
    SID_NAME_USE use{};
    if (!LookupAccountSidA(nullptr, user->User.Sid, name, &nameSize, domain, &domainSize, &use))
        return "unknown";
    return domain[0] ? std::string(domain) + "\\" + name : std::string(name);
}

std::string FullPath(const std::string& path)
{
    if (path.empty())
        return "none";
    char full[MAX_PATH * 2] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

} // namespace

void JournalRunStart(const std::string& logPath)
{
    char version[64] = {};
    ProgramVersionText(version);
    const std::string computer = ComputerName();
    const std::string item = std::string("prnuninst ") + (version[0] ? version : "(version unknown)") +
                             "; command line: " + GetCommandLineA() + "; account: " + Account() +
                             "; computer: " + (computer.empty() ? "unknown" : computer) + "; log: " + FullPath(logPath);
    journal::SetStep(journal::kLoadingStep);
    // Told as a message is: an account of the run, no change of the machine.
    journal::Record(journal::op::kProgram, item.c_str(), journal::Outcome::Message, "started");
}

void JournalRunEnd(int exitCode, unsigned printersRemoved, unsigned printersKept)
{
    const journal::Tally tally = journal::Counted();
    const std::string counts = journal::Reason(
        "printers removed %u, kept %u; items removed %u, kept %u, failed %u, scheduled %u", printersRemoved,
        printersKept, tally.Removed, tally.Kept, tally.Failed, tally.Scheduled);
    journal::SetStep(journal::kEndStep);
    journal::Record(journal::op::kProgram, counts.c_str(), journal::Outcome::Message,
                    journal::Reason("exit code %d", exitCode).c_str());
}

void JournalUsage(const char* usage)
{
    std::string_view rest = usage;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        const std::string line(rest.substr(0, end));
        if (line.find_first_not_of(' ') != std::string::npos)
            journal::Record(journal::op::kUsage, "prnuninst", journal::Outcome::Message, line.c_str());
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 2);
    }
}
