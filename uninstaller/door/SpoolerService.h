#pragma once
// Stopping and starting the print spooler through the service manager: the
// door's own work, which waits as long as the service reports progress.

// Asks the "Spooler" service to stop and waits for it to have stopped, as
// long as the service reports progress (two minutes at most). 1 when it
// stopped, else 0 (also when it was not running).
int StopSpoolerService();

// Starts the "Spooler" service and waits for it to run, as long as it
// reports progress; a service that is still stopping is first waited for in
// the same way. 1 when it runs.
int StartSpoolerService();

// Whether the service is stopped now; false when that can't be read.
bool SpoolerServiceStopped();

// The service the two calls control: "Spooler" unless a test chose another.
const char* SpoolerServiceName();

// The print spooler's own service.
constexpr char kSpoolerService[] = "Spooler";

// Tests only: the service the two calls control instead of "Spooler", or
// nullptr for the spooler again.
void UseServiceAsSpooler(const char* serviceName);
