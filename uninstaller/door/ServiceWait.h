#pragma once
// Stopping a service and waiting for a state it is on its way to, as long as
// it reports progress.

#include <windows.h>

// True once the service is in `wanted`; false as soon as it is in neither
// `wanted` nor `pending`, its progress stalls within its own wait hint, or
// two minutes have passed.
bool WaitForServiceState(SC_HANDLE service, DWORD pending, DWORD wanted);

// Asks the service to stop and waits for it to have stopped; a stop already
// under way is waited for like one of ours. The handle needs SERVICE_STOP
// and SERVICE_QUERY_STATUS. False when it did not stop (also when it was not
// running: the last error then says so).
bool StopServiceAndWait(SC_HANDLE service);

// 0 when the state can't be read.
DWORD ServiceState(SC_HANDLE service);
