#include "Journal.h"

#include <cstdarg>
#include <cstdio>
#include <set>
#include <utility>

#include "Text.h"

namespace journal {

namespace {

struct FoldLess {
    bool operator()(const std::string& a, const std::string& b) const { return text::FoldCompare(a, b) < 0; }
};

struct State {
    Sink sink;
    int step = -1;
    bool dryRun = false;
    // Operation, a separator no name holds, item.
    std::set<std::string, FoldLess> gone;
};

State& Current()
{
    static State state;
    return state;
}

std::string GoneKey(const char* operation, const char* item)
{
    std::string key = operation ? operation : "";
    key += '\x01';
    key += item ? item : "";
    return key;
}

} // namespace

void SetSink(Sink sink) { Current().sink = std::move(sink); }

void SetStep(int step) { Current().step = step; }

int Step() { return Current().step; }

void SetDryRun(bool dryRun) { Current().dryRun = dryRun; }

bool DryRun() { return Current().dryRun; }

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

bool WouldRemove(const char* operation, const char* item)
{
    State& state = Current();
    if (!state.dryRun)
        return false;
    state.gone.insert(GoneKey(operation, item));
    Record(operation, item, Outcome::WouldRemove);
    return true;
}

bool WouldChange(const char* operation, const char* item, const char* what)
{
    if (!Current().dryRun)
        return false;
    Record(operation, item, Outcome::WouldChange, what);
    return true;
}

bool Gone(const char* operation, const char* item)
{
    const State& state = Current();
    return state.dryRun && state.gone.count(GoneKey(operation, item)) != 0;
}

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
    state.dryRun = false;
    state.gone.clear();
}

} // namespace journal
