#pragma once
// The spooler's own driver environment on the machines this program runs on.

// The keys of the spooler's own environment are named for it: the x86
// environment's keys belong to the x86 pass, whose drivers and processors
// may stay.
#ifdef _WIN64
constexpr char kRunningEnvironment[] = "Windows x64";
#else
constexpr char kRunningEnvironment[] = "Windows NT x86";
#endif
