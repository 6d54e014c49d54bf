#include "Journal.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "Text.h"

namespace journal {

namespace {

struct State {
    Sink sink;
    int step = -1;
    Tally tally;
};

void Count(Tally& tally, const Entry& entry)
{
    if (entry.Step < 0 || entry.Result == Outcome::Message)
        return;
    if (entry.Result == Outcome::Failed)
        ++tally.Failed;
    if (std::strcmp(entry.Operation, op::kPrinter) == 0 || std::strcmp(entry.Operation, op::kConnection) == 0)
        return;
    tally.Removed += entry.Result == Outcome::Removed || entry.Result == Outcome::WouldRemove ? 1 : 0;
    tally.Kept += entry.Result == Outcome::Kept ? 1 : 0;
    tally.Scheduled += entry.Result == Outcome::Scheduled ? 1 : 0;
}

State& Current()
{
    static State state;
    return state;
}

} // namespace

void SetSink(Sink sink) { Current().sink = std::move(sink); }

void SetStep(int step) { Current().step = step; }

int Step() { return Current().step; }

void Record(const char* operation, const char* item, Outcome outcome, const char* reason, DWORD error)
{
    State& state = Current();
    Entry entry;
    entry.Step = state.step;
    entry.Operation = operation ? operation : "";
    entry.Item = item ? item : "";
    entry.Result = outcome;
    entry.Reason = reason ? reason : "";
    entry.Error = error;
    Count(state.tally, entry);
    if (!state.sink)
        return;
    // A sink that fails must not end the removal halfway.
    try {
        state.sink(entry);
    } catch (...) {
    }
}

void Message(const char* text, const char* answer) { Record(op::kMessage, text, Outcome::Message, answer); }

Tally Counted() { return Current().tally; }

void ResetTally() { Current().tally = Tally{}; }

std::string Reason(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return written < 0 ? std::string() : std::string(buffer);
}

void Reset()
{
    State& state = Current();
    state.sink = nullptr;
    state.step = -1;
    state.tally = Tally{};
}

} // namespace journal
