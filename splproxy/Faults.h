#pragma once
// Fault injection of the test build of the proxy. The shipped proxy is
// compiled without SPLPROXY_FAULTS and forwards every call untouched.

#include <windows.h>

#ifdef SPLPROXY_FAULTS

// Counts the call of `function` and tells whether it is to fail. When it is,
// the chosen code is set as the last error and returned in `code`, for the
// registry functions and GetPrinterDataA, which return it instead.
bool ProxyCallFails(const char* function, LONG& code);

#else

inline bool ProxyCallFails(const char*, LONG&) { return false; }

#endif
