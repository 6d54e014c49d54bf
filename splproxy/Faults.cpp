// Fault table of the test build: which calls fail, with what code, how often.
#include "Faults.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

struct Rule {
    DWORD error = 0;
    LONG remaining = 0; // -1: every call
};

struct State {
    std::map<std::string, Rule> rules;
    std::map<std::string, LONG> calls;
};

State& Table()
{
    static State state;
    return state;
}

// SPLPROXY_FAULTS=Name=code;Name=code
void LoadFromEnvironment()
{
    char text[1024] = {};
    DWORD n = GetEnvironmentVariableA("SPLPROXY_FAULTS", text, sizeof text);
    if (n == 0 || n >= sizeof text)
        return;
    char* context = nullptr;
    for (char* rule = strtok_r(text, ";", &context); rule; rule = strtok_r(nullptr, ";", &context)) {
        char* eq = std::strchr(rule, '=');
        if (!eq)
            continue;
        *eq = '\0';
        Table().rules[rule] = Rule{static_cast<DWORD>(std::strtoul(eq + 1, nullptr, 10)), -1};
    }
}

} // namespace

bool ProxyCallFails(const char* function, LONG& code)
{
    static const bool loaded = (LoadFromEnvironment(), true);
    (void)loaded;

    State& state = Table();
    ++state.calls[function];
    auto it = state.rules.find(function);
    if (it == state.rules.end() || it->second.remaining == 0)
        return false;
    if (it->second.remaining > 0)
        --it->second.remaining;
    code = static_cast<LONG>(it->second.error);
    SetLastError(it->second.error);
    return true;
}

extern "C" {

void WINAPI SplProxyFault_Set(const char* function, DWORD error, LONG times)
{
    if (function)
        Table().rules[function] = Rule{error, times};
}

void WINAPI SplProxyFault_Clear()
{
    Table().rules.clear();
    Table().calls.clear();
}

LONG WINAPI SplProxyFault_CallCount(const char* function)
{
    auto it = Table().calls.find(function ? function : "");
    return it == Table().calls.end() ? 0 : it->second;
}

}
