#pragma once
// Stopping and starting the print spooler through the service manager.

// Asks the "Spooler" service to stop and waits, a few seconds at most, for
// it to have stopped. 1 when it stopped, else 0 (also when it was not
// running).
int StopSpooler();

// Starts the "Spooler" service and waits, a few seconds at most, for it to
// run; a service that is still stopping is first waited for. 1 when it
// runs.
int StartSpooler();

// Tests only: the service the two calls control instead of "Spooler", or
// nullptr for the spooler again.
void UseServiceAsSpooler(const char* serviceName);
