#pragma once
// Stopping and starting the print spooler through the service manager.

// Asks the "Spooler" service to stop; does not wait for it. 1 when the
// service took the request, else 0.
int StopSpooler();

// Starts the "Spooler" service. 1 when it started or was already running.
int StartSpooler();
