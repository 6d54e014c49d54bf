#pragma once
// Owner of a service-manager or service handle.

#include <windows.h>

#include "Handles.h"

struct ServiceHandleTraits {
    static SC_HANDLE Invalid() { return nullptr; }
    static bool Valid(SC_HANDLE h) { return h != nullptr; }
    static bool Close(SC_HANDLE h) { return CloseServiceHandle(h) != FALSE; }
};
using ServiceHandle = UniqueHandle<SC_HANDLE, ServiceHandleTraits>;
