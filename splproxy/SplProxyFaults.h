#pragma once
// Control of the test build of SPLPROXY64_Q.dll. Never part of the shipped
// proxy; test programs link against the test build and call these.
//
// Faults can also be chosen before a program starts, in the environment:
//   SPLPROXY_FAULTS=OpenPrinterA=5;EnumPrintersA=1722
// (each rule makes every call of that function fail with that code).

#include <windows.h>

extern "C" {
// Makes the next `times` calls of `function` fail with `error`; -1 for all.
__declspec(dllimport) void WINAPI SplProxyFault_Set(const char* function, DWORD error, LONG times);
// Removes every fault and resets the call counts.
__declspec(dllimport) void WINAPI SplProxyFault_Clear();
// Calls of `function` since the last clear, failed ones included.
__declspec(dllimport) LONG WINAPI SplProxyFault_CallCount(const char* function);
}
