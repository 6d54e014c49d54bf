#pragma once
// The spooler's driver environments: the one list of them.

#include <optional>
#include <span>
#include <string>

// The spooler's own environment, the one its drivers are listed for when no
// environment is named: "Windows x64" on x64, "Windows ARM64" on ARM64,
// where this x64 program runs emulated. The spooler tells it (the print
// server's "Architecture"); when it can't, the processor of the machine
// does; failing both, the build's own. Read once.
const char* RunningEnvironment();

// Stands in for the spooler's answer, for tests: this platform has no
// ARM64 spooler. nullptr puts the real reading back; either way the next
// question reads again.
using EnvironmentReader = std::optional<std::string> (*)();
void SetEnvironmentReader(EnvironmentReader reader);

// Every environment the removal works on, in this order: the running one
// first as nullptr (the spooler's own), then the 32-bit ones, then the
// other 64-bit one ("Windows ARM64" on x64, "Windows x64" on ARM64), whose
// drivers a print server keeps for clients of that kind.
std::span<const char* const> RemovalEnvironments();
// Those, and every other environment what stays may be found in.
std::span<const char* const> AllDriverEnvironments();

// The environment's name as its registry keys are named.
inline const char* EnvironmentKeyName(const char* environment)
{
    return environment && *environment ? environment : RunningEnvironment();
}

// A driver, monitor or print processor as the journal names it: one copy
// in one environment, "QUORVEL Lumenta 2400 (Windows x64)".
inline std::string EnvironmentItem(const char* environment, const char* name)
{
    return std::string(name ? name : "") + " (" + EnvironmentKeyName(environment) + ")";
}
