#pragma once
// The first and the last line of a run's log, so that runs appended to one
// log can be told apart and a deployment tool can read how a run ended from
// one line: who started what, where, and into which log; then the exit code
// with the counts of what the run did.

#include <string>

// The first line: the program's version, its whole command line, the
// account and the computer it runs as and on, and the log's full path
// (`logPath` as given; empty for none).
void JournalRunStart(const std::string& logPath);

// The last line: the exit code, the chosen printers removed and kept, and
// the removal's items removed, kept, failed and scheduled for the next start.
void JournalRunEnd(int exitCode, unsigned printersRemoved, unsigned printersKept);

// The usage text, one entry a line, so that every line of the log keeps its
// five fields.
void JournalUsage(const char* usage);
