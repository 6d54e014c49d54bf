#pragma once
// The spooler's driver environments: the one list of them.

#include <cstddef>
#include <span>
#include <string>

// The spooler's own environment on the machines this program runs on. The
// keys of the running environment are named for it: the x86 environment's
// keys belong to the x86 pass, whose drivers and processors may stay.
#ifdef _WIN64
inline constexpr char kRunningEnvironment[] = "Windows x64";
#else
inline constexpr char kRunningEnvironment[] = "Windows NT x86";
#endif

// Every environment a driver, monitor or print processor of this machine may
// belong to. The removal works on the first three, in this order, the
// running one first as nullptr (the spooler's own); what stays is looked
// for in all five.
inline constexpr const char* kDriverEnvironments[] = {nullptr, "Windows NT x86", "Windows 4.0", "Windows IA64",
                                                      "Windows ARM64"};
inline constexpr std::size_t kRemovalEnvironmentCount = 3;

inline std::span<const char* const> RemovalEnvironments()
{
    return std::span<const char* const>(kDriverEnvironments, kRemovalEnvironmentCount);
}
inline std::span<const char* const> AllDriverEnvironments() { return kDriverEnvironments; }

// The environment's name as its registry keys are named.
inline const char* EnvironmentKeyName(const char* environment)
{
    return environment && *environment ? environment : kRunningEnvironment;
}

// A driver, monitor or print processor as the journal names it: one copy
// in one environment, "QUORVEL Lumenta 2400 (Windows x64)".
inline std::string EnvironmentItem(const char* environment, const char* name)
{
    return std::string(name ? name : "") + " (" + EnvironmentKeyName(environment) + ")";
}
