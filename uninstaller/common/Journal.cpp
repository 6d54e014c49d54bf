#include "Journal.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

#include "Text.h"

namespace journal {

namespace {

struct State {
    Sink sink;
    int step = -1;
};

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
    if (!state.sink)
        return;
    Entry entry;
    entry.Step = state.step;
    entry.Operation = operation ? operation : "";
    entry.Item = item ? item : "";
    entry.Result = outcome;
    entry.Reason = reason ? reason : "";
    entry.Error = error;
    // A sink that fails must not end the removal halfway.
    try {
        state.sink(entry);
    } catch (...) {
    }
}

void Message(const char* text, const char* answer) { Record("message", text, Outcome::Message, answer); }

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
}

} // namespace journal
