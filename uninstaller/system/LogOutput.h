#pragma once
// Where the journal's entries are written: a log file, appended in UTF-8,
// and the console the program was started from.

#include <windows.h>

#include <string>
#include <string_view>

#include "../common/Handles.h"
#include "../common/Journal.h"

// One line, tab-separated: local time, step ("loading" before the removal),
// operation, item, outcome; in the ANSI code page, ended by "\r\n". Tabs and
// line breaks inside a field become blanks, so that a line is one entry.
std::string ComposeLogLine(const journal::Entry& entry, const SYSTEMTIME& time);

// The outcome column alone: "removed", "kept (reason)", "failed (error 5)".
std::string OutcomeText(const journal::Entry& entry);

// ANSI code page text as UTF-8.
std::string AnsiToUtf8(std::string_view ansi);

class LogFile {
public:
    // Opens `path` for appending, creating it when missing; false when it
    // can't be opened (the run goes on without it).
    bool Open(const char* path);
    bool IsOpen() const { return static_cast<bool>(file_); }
    // Appends the line in one write, so that two runs writing the same log
    // never mix their lines. False when it was not written whole.
    bool Write(const journal::Entry& entry);
    // Appends ANSI text as it stands, converted.
    bool WriteText(std::string_view ansi);
    // Some write since the opening was not written whole.
    bool WriteFailed() const { return failed_; }

private:
    KernelHandle file_;
    bool failed_ = false;
};

// The console of the process that started the program, when there is one,
// or the standard output it was given.
class ConsoleOutput {
public:
    // False when there is neither.
    bool Attach();
    void WriteLine(std::string_view ansi);

private:
    KernelHandle opened_;
    HANDLE out_ = nullptr;
    bool console_ = false;
};
