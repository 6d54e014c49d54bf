#include "LogOutput.h"

#include <cstdio>
#include <vector>

#include "../common/WideText.h"

namespace {

void AppendField(std::string& line, const char* field)
{
    for (const char* c = field; *c; ++c)
        line += (*c == '\t' || *c == '\r' || *c == '\n') ? ' ' : *c;
}

} // namespace

std::string OutcomeText(const journal::Entry& entry)
{
    using journal::Outcome;
    switch (entry.Result) {
    case Outcome::Removed:
        return "removed";
    case Outcome::NotPresent:
        return "not present";
    case Outcome::Kept:
        return entry.Reason[0] ? std::string("kept (") + entry.Reason + ")" : "kept";
    case Outcome::Failed: {
        if (entry.Error == 0 && entry.Reason[0])
            return std::string("failed (") + entry.Reason + ")";
        char code[32];
        std::snprintf(code, sizeof code, "failed (error %lu)", static_cast<unsigned long>(entry.Error));
        return code;
    }
    case Outcome::Scheduled:
        return entry.Reason[0] ? std::string("scheduled for the next start (") + entry.Reason + ")"
                               : "scheduled for the next start";
    case Outcome::WouldRemove:
        return "would remove";
    case Outcome::Changed:
        return entry.Reason;
    case Outcome::WouldChange:
        return std::string("would ") + entry.Reason;
    case Outcome::Message:
        return entry.Reason;
    }
    return {};
}

std::string ComposeLogLine(const journal::Entry& entry, const SYSTEMTIME& time)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    char step[16] = "loading";
    if (entry.Step == journal::kEndStep)
        std::snprintf(step, sizeof step, "end");
    else if (entry.Step >= 0)
        std::snprintf(step, sizeof step, "%d", entry.Step);
    std::string line = stamp;
    line += '\t';
    line += step;
    line += '\t';
    AppendField(line, entry.Operation);
    line += '\t';
    AppendField(line, entry.Item);
    line += '\t';
    AppendField(line, OutcomeText(entry).c_str());
    line += "\r\n";
    return line;
}

std::string AnsiToUtf8(std::string_view ansi)
{
    const std::wstring wide = Widen(ansi);
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

bool LogFile::Open(const char* path)
{
    file_.Attach(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsOpen();
}

bool LogFile::Write(const journal::Entry& entry)
{
    if (!file_)
        return false;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return WriteText(ComposeLogLine(entry, now));
}

bool LogFile::WriteText(std::string_view ansi)
{
    if (!file_)
        return false;
    const std::string utf8 = AnsiToUtf8(ansi);
    DWORD written = 0;
    const bool whole = WriteFile(file_.Get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) &&
                       written == utf8.size();
    failed_ = failed_ || !whole;
    return whole;
}

bool ConsoleOutput::Attach()
{
    HANDLE given = GetStdHandle(STD_OUTPUT_HANDLE);
    if (given && given != INVALID_HANDLE_VALUE && GetFileType(given) != FILE_TYPE_UNKNOWN) {
        out_ = given;
    } else if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        opened_.Attach(CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
        out_ = opened_.Get();
    }
    if (!out_ || out_ == INVALID_HANDLE_VALUE) {
        out_ = nullptr;
        return false;
    }
    DWORD mode = 0;
    console_ = GetConsoleMode(out_, &mode) != FALSE;
    return true;
}

void ConsoleOutput::WriteLine(std::string_view ansi)
{
    if (!out_)
        return;
    DWORD written = 0;
    if (console_) {
        // A console shows its own code page; wide text reads the same in all.
        const std::wstring wide = Widen(ansi);
        WriteConsoleW(out_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        const std::string utf8 = AnsiToUtf8(ansi);
        WriteFile(out_, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}
