// Each export forwards to the platform function of the same name, so that
// callers see exactly the platform's results and handles.
#include <windows.h>
#include <winspool.h>

#include "Faults.h"

#define PROXY extern "C" __attribute__((used))

namespace {

// For the functions that report failure by a zero result and the last error.
bool Fails(const char* function)
{
    LONG code;
    return ProxyCallFails(function, code);
}

// For the functions that return the error code itself.
bool FailsWith(const char* function, LONG& code)
{
    return ProxyCallFails(function, code);
}

void ClearCounts(LPDWORD needed, LPDWORD returned)
{
    if (needed) *needed = 0;
    if (returned) *returned = 0;
}

} // namespace

// ---- Printers -------------------------------------------------------------

PROXY BOOL WINAPI Proxy_EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer,
                                      DWORD size, LPDWORD needed, LPDWORD returned)
{
    if (Fails("EnumPrintersA")) { ClearCounts(needed, returned); return FALSE; }
    const BOOL ok = ::EnumPrintersA(flags, name, level, buffer, size, needed, returned);
    if (ok && returned)
        ProxyAlterEnumeratedPrinters(level, buffer, *returned);
    return ok;
}

PROXY BOOL WINAPI Proxy_OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
{
    DWORD denied = 0;
    // A printer-named rule refuses only opens that would manage the queue, as
    // a queue whose permissions let the user print but not manage it does.
    const bool manages = defaults && (defaults->DesiredAccess & PRINTER_ACCESS_ADMINISTER) != 0;
    if (Fails("OpenPrinterA") || ProxyPrinterDenied(name, denied) ||
        (manages && ProxyPrinterCallFails("OpenPrinterA", name))) {
        if (printer) *printer = nullptr;
        return FALSE;
    }
    const BOOL ok = ::OpenPrinterA(name, printer, defaults);
    if (ok && printer)
        ProxyNoteOpened(name, *printer);
    return ok;
}

PROXY BOOL WINAPI Proxy_GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed)
{
    if (Fails("GetPrinterA")) { ClearCounts(needed, nullptr); return FALSE; }
    const BOOL ok = ::GetPrinterA(printer, level, buffer, size, needed);
    if (ok)
        ProxyAlterPrinterInfo(level, buffer);
    return ok;
}

PROXY BOOL WINAPI Proxy_SetPrinterA(HANDLE printer, DWORD level, LPBYTE info, DWORD command)
{
    if (Fails("SetPrinterA")) return FALSE;
    return ::SetPrinterA(printer, level, info, command);
}

PROXY BOOL WINAPI Proxy_ClosePrinter(HANDLE printer)
{
    if (Fails("ClosePrinter")) return FALSE;
    ProxyNoteClosed(printer);
    return ::ClosePrinter(printer);
}

PROXY BOOL WINAPI Proxy_DeletePrinter(HANDLE printer)
{
    if (Fails("DeletePrinter") || ProxyHandleCallFails("DeletePrinter", printer)) return FALSE;
    return ::DeletePrinter(printer);
}

PROXY BOOL WINAPI Proxy_DeletePrinterConnectionA(LPSTR name)
{
    if (Fails("DeletePrinterConnectionA")) return FALSE;
    if (ProxyIsConnection(name)) return TRUE;
    return ::DeletePrinterConnectionA(name);
}

PROXY DWORD WINAPI Proxy_GetPrinterDataA(HANDLE printer, LPSTR value, LPDWORD type, LPBYTE data,
                                         DWORD size, LPDWORD needed)
{
    LONG code;
    if (FailsWith("GetPrinterDataA", code)) return static_cast<DWORD>(code);
    return ::GetPrinterDataA(printer, value, type, data, size, needed);
}

// ---- Jobs -----------------------------------------------------------------

PROXY BOOL WINAPI Proxy_EnumJobsA(HANDLE printer, DWORD first, DWORD count, DWORD level, LPBYTE buffer,
                                  DWORD size, LPDWORD needed, LPDWORD returned)
{
    if (Fails("EnumJobsA")) { ClearCounts(needed, returned); return FALSE; }
    BOOL faked = FALSE;
    if (ProxyFakeJobs(printer, first, count, level, buffer, size, needed, returned, faked)) return faked;
    return ::EnumJobsA(printer, first, count, level, buffer, size, needed, returned);
}

PROXY BOOL WINAPI Proxy_SetJobA(HANDLE printer, DWORD job, DWORD level, LPBYTE info, DWORD command)
{
    if (Fails("SetJobA")) return FALSE;
    BOOL result = FALSE;
    if (ProxyRecordSetJob(printer, job, command, result)) return result;
    return ::SetJobA(printer, job, level, info, command);
}

// ---- Drivers --------------------------------------------------------------

PROXY BOOL WINAPI Proxy_EnumPrinterDriversA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer,
                                            DWORD size, LPDWORD needed, LPDWORD returned)
{
    if (Fails("EnumPrinterDriversA")) { ClearCounts(needed, returned); return FALSE; }
    BOOL result = FALSE;
    if (ProxyEnumDriversWithProfiles(server, environment, level, buffer, size, needed, returned, result))
        return result;
    return ::EnumPrinterDriversA(server, environment, level, buffer, size, needed, returned);
}

PROXY BOOL WINAPI Proxy_GetPrinterDriverA(HANDLE printer, LPSTR environment, DWORD level, LPBYTE buffer,
                                          DWORD size, LPDWORD needed)
{
    if (Fails("GetPrinterDriverA")) { ClearCounts(needed, nullptr); return FALSE; }
    return ::GetPrinterDriverA(printer, environment, level, buffer, size, needed);
}

PROXY BOOL WINAPI Proxy_DeletePrinterDriverA(LPSTR server, LPSTR environment, LPSTR driver)
{
    if (Fails("DeletePrinterDriverA")) return FALSE;
    return ::DeletePrinterDriverA(server, environment, driver);
}

PROXY BOOL WINAPI Proxy_GetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level,
                                                   LPBYTE buffer, DWORD size, LPDWORD needed)
{
    if (Fails("GetPrinterDriverDirectoryA")) { ClearCounts(needed, nullptr); return FALSE; }
    return ::GetPrinterDriverDirectoryA(server, environment, level, buffer, size, needed);
}

// ---- Print processors and monitors ----------------------------------------

PROXY BOOL WINAPI Proxy_EnumPrintProcessorsA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer,
                                             DWORD size, LPDWORD needed, LPDWORD returned)
{
    if (Fails("EnumPrintProcessorsA")) { ClearCounts(needed, returned); return FALSE; }
    return ::EnumPrintProcessorsA(server, environment, level, buffer, size, needed, returned);
}

PROXY BOOL WINAPI Proxy_DeletePrintProcessorA(LPSTR server, LPSTR environment, LPSTR processor)
{
    if (Fails("DeletePrintProcessorA")) return FALSE;
    return ::DeletePrintProcessorA(server, environment, processor);
}

PROXY BOOL WINAPI Proxy_GetPrintProcessorDirectoryA(LPSTR server, LPSTR environment, DWORD level,
                                                    LPBYTE buffer, DWORD size, LPDWORD needed)
{
    if (Fails("GetPrintProcessorDirectoryA")) { ClearCounts(needed, nullptr); return FALSE; }
    return ::GetPrintProcessorDirectoryA(server, environment, level, buffer, size, needed);
}

PROXY BOOL WINAPI Proxy_DeleteMonitorA(LPSTR server, LPSTR environment, LPSTR monitor)
{
    if (Fails("DeleteMonitorA")) return FALSE;
    return ::DeleteMonitorA(server, environment, monitor);
}

// ---- Registry -------------------------------------------------------------

PROXY LONG WINAPI Proxy_RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    LONG code;
    if (FailsWith("RegOpenKeyA", code)) return code;
    return ::RegOpenKeyA(key, subKey, result);
}

PROXY LONG WINAPI Proxy_RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    LONG code;
    if (FailsWith("RegOpenKeyExA", code)) return code;
    return ::RegOpenKeyExA(key, subKey, options, access, result);
}

PROXY LONG WINAPI Proxy_RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD size)
{
    LONG code;
    if (FailsWith("RegEnumKeyA", code)) return code;
    return ::RegEnumKeyA(key, index, name, size);
}

PROXY LONG WINAPI Proxy_RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                                      LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    LONG code;
    if (FailsWith("RegEnumValueA", code)) return code;
    return ::RegEnumValueA(key, index, name, nameSize, reserved, type, data, dataSize);
}

PROXY LONG WINAPI Proxy_RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    LONG code;
    if (FailsWith("RegDeleteKeyA", code)) return code;
    return ::RegDeleteKeyA(key, subKey);
}

PROXY LONG WINAPI Proxy_RegDeleteValueA(HKEY key, LPCSTR value)
{
    LONG code;
    if (FailsWith("RegDeleteValueA", code)) return code;
    return ::RegDeleteValueA(key, value);
}

PROXY LONG WINAPI Proxy_RegSetValueExA(HKEY key, LPCSTR value, DWORD reserved, DWORD type,
                                       const BYTE* data, DWORD size)
{
    LONG code;
    if (FailsWith("RegSetValueExA", code)) return code;
    return ::RegSetValueExA(key, value, reserved, type, data, size);
}

PROXY LONG WINAPI Proxy_RegCloseKey(HKEY key)
{
    LONG code;
    if (FailsWith("RegCloseKey", code)) return code;
    return ::RegCloseKey(key);
}
