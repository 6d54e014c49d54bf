#pragma once
// The parsed command line: switches such as /MFG:"Quorvel, Inc",Veltro or
// -unvelt, in the order given. Pure logic, no platform calls.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The switch name first, then its values as written (quotes included).
using CommandSwitch = std::vector<std::string>;

class SwitchList {
public:
    SwitchList() = default;
    explicit SwitchList(std::string_view commandLine) { Parse(commandLine); }

    // Replaces the list with the switches of `commandLine`. Tokens are split at
    // blanks outside double quotes; those starting with '/' or '-' are switches.
    void Parse(std::string_view commandLine);

    // Number of values of the last switch of that name, or -1 when none.
    int FindSwitch(std::string_view name) const;

    // The values of every switch of that name, each ended by a NUL, and one
    // more NUL at the end. False, with an empty list, when they don't fit.
    bool GetSwitchValues(std::string_view name, char* buffer, std::size_t size) const;

    const std::vector<CommandSwitch>& Switches() const { return switches_; }
    // The tokens that are not switches, in order: the program's own path
    // first when the command line is the process's.
    const std::vector<std::string>& OtherTokens() const { return others_; }

private:
    std::vector<CommandSwitch> switches_;
    std::vector<std::string> others_;
};
