#pragma once
// Control of the test build of SPLPROXY64_Q.dll. Never part of the shipped
// proxy; test programs link against the test build and call these.
//
// Faults can also be chosen before a program starts, in the environment:
//   SPLPROXY_FAULTS=OpenPrinterA=5;EnumPrintersA=1722
// (each rule makes every call of that function fail with that code), and
// for one printer alone: "DeletePrinter:Lumenta A=5" fails the deletion of
// that queue, "OpenPrinterA:Lumenta A=5" the opens of it that ask to manage
// it (those that only print pass).

#include <windows.h>

extern "C" {
// Makes the next `times` calls of `function` fail with `error`; -1 for all.
// "Function:Printer" names a rule for one printer, as in the environment
// (every such call fails, whatever `times`).
__declspec(dllimport) void WINAPI SplProxyFault_Set(const char* function, DWORD error, LONG times);
// Lets `skip` calls of `function` pass, then fails the next `times` (-1: all).
__declspec(dllimport) void WINAPI SplProxyFault_SetAfter(const char* function, DWORD error, LONG skip, LONG times);
// OpenPrinterA of that printer (case ignored) fails with `error`, as for a
// queue whose permissions refuse the user.
__declspec(dllimport) void WINAPI SplProxyFault_DenyPrinter(const char* printerName, DWORD error);
// GetPrinterA level 2 of that printer reports `serverName`, as for a
// connection to a print server; DeletePrinterConnectionA of it then
// succeeds without the platform, which holds no connections.
__declspec(dllimport) void WINAPI SplProxyFault_SetServerName(const char* printerName, const char* serverName);
// GetPrinterA level 2 of that printer reports these attribute flags too
// (PRINTER_ATTRIBUTE_DEFAULT, which this platform never reports).
__declspec(dllimport) void WINAPI SplProxyFault_AddAttributes(const char* printerName, DWORD attributes);
// GetPrinterA level 2 and EnumPrintersA level 2 report `driverName` as that
// printer's driver ("" for a record that names none).
__declspec(dllimport) void WINAPI SplProxyFault_SetDriverName(const char* printerName, const char* driverName);
// EnumPrinterDriversA level 8 reports `profiles` (names separated by ';')
// as the colour profiles of every driver called `driverName`.
__declspec(dllimport) void WINAPI SplProxyFault_SetColorProfiles(const char* driverName, const char* profiles);
// The printer's queue holds `jobs` made-up jobs, ids 7001 upwards: EnumJobsA
// (level 1) on a handle of it reports them, and SetJobA of them succeeds
// once; cancelling or deleting ends a job, and a call for an ended one fails
// with ERROR_INVALID_PARAMETER, as on NT.
__declspec(dllimport) void WINAPI SplProxyFault_SetJobs(const char* printerName, DWORD jobs);
// The SetJobA calls since the last clear, as (job id, command) pairs: up to
// `maxPairs` are copied into `pairs`; returns how many there were.
__declspec(dllimport) LONG WINAPI SplProxyFault_SetJobCalls(DWORD* pairs, LONG maxPairs);
// Removes every fault and alteration and resets the call counts.
__declspec(dllimport) void WINAPI SplProxyFault_Clear();
// Calls of `function` since the last clear, failed ones included.
__declspec(dllimport) LONG WINAPI SplProxyFault_CallCount(const char* function);
}
