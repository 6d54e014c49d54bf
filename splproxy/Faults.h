#pragma once
// Fault injection of the test build of the proxy. The shipped proxy is
// compiled without SPLPROXY_FAULTS and forwards every call untouched.

#include <windows.h>

#ifdef SPLPROXY_FAULTS

// Counts the call of `function` and tells whether it is to fail. When it is,
// the chosen code is set as the last error and returned in `code`, for the
// registry functions and GetPrinterDataA, which return it instead.
bool ProxyCallFails(const char* function, LONG& code);

// A rule "Function:Printer=code" of the environment names this call of this
// printer (of the printer an open handle is of): true, with the code as the
// last error.
bool ProxyPrinterCallFails(const char* function, const char* printerName);
bool ProxyHandleCallFails(const char* function, HANDLE printer);

// True, with the error to report, when the test made this printer
// unopenable.
bool ProxyPrinterDenied(const char* printerName, DWORD& error);

// Rewrites what a successful GetPrinterA reported, as the test asked: a
// server name, so that a local queue reads as a network connection, or
// attribute flags the platform doesn't report.
void ProxyAlterPrinterInfo(DWORD level, LPBYTE buffer);

// Rewrites the driver names of a successful level-2 enumeration as the test
// asked; the other alterations stay with GetPrinterA.
void ProxyAlterEnumeratedPrinters(DWORD level, LPBYTE buffer, DWORD count);

// The test's stand-ins for what this platform can't hold: remembers which
// printer an opened handle is of, reports made-up jobs for a printer the test
// gave jobs to, and records every SetJobA.
void ProxyNoteOpened(const char* printerName, HANDLE printer);
void ProxyNoteClosed(HANDLE printer);
bool ProxyFakeJobs(HANDLE printer, DWORD first, DWORD count, DWORD level, LPBYTE buffer, DWORD size,
                   LPDWORD needed, LPDWORD returned, BOOL& result);
// Records the call; true, with the call's `result`, when the job is a
// made-up one, which the platform doesn't know.
bool ProxyRecordSetJob(HANDLE printer, DWORD job, DWORD command, BOOL& result);
// True for a printer the test gave a server name: its connection is removed.
bool ProxyIsConnection(const char* printerName);
// A level-8 EnumPrinterDriversA while the test gave drivers colour profiles,
// which this platform's drivers never have: true, with the call's result,
// the platform's records reporting those profiles.
bool ProxyEnumDriversWithProfiles(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                  LPDWORD needed, LPDWORD returned, BOOL& result);

#else

inline bool ProxyCallFails(const char*, LONG&) { return false; }
inline bool ProxyPrinterDenied(const char*, DWORD&) { return false; }
inline bool ProxyPrinterCallFails(const char*, const char*) { return false; }
inline bool ProxyHandleCallFails(const char*, HANDLE) { return false; }
inline void ProxyAlterPrinterInfo(DWORD, LPBYTE) {}
inline void ProxyAlterEnumeratedPrinters(DWORD, LPBYTE, DWORD) {}
inline void ProxyNoteOpened(const char*, HANDLE) {}
inline void ProxyNoteClosed(HANDLE) {}
inline bool ProxyFakeJobs(HANDLE, DWORD, DWORD, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD, BOOL&) { return false; }
inline bool ProxyRecordSetJob(HANDLE, DWORD, DWORD, BOOL&) { return false; }
inline bool ProxyIsConnection(const char*) { return false; }
inline bool ProxyEnumDriversWithProfiles(LPSTR, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD, BOOL&) { return false; }

#endif
