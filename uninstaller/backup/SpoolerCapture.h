#pragma once
// What the spooler and the service manager know of a printer, a driver or
// a service, read into a backup record so that it can be made again.

#include <windows.h>

#include <string>
#include <vector>

#include "Manifest.h"

// Whether the item was there to read, and whether reading it worked.
enum class Capture { Read, NotThere, Failed };

// The queue's level-2 record (its device mode in hexadecimal), its access
// list as text, and whether it is the default printer.
Capture CapturePrinter(HANDLE printer, const char* name, BackupRecord& record);

// The driver's record of the environment, and its files' full paths.
Capture CaptureDriver(const char* environment, const char* name, BackupRecord& record, std::vector<std::string>& files);

// The service's configuration, description and whether it runs.
Capture CaptureService(const char* name, BackupRecord& record);

// The key below HKEY_LOCAL_MACHINE the spooler keeps a queue's data in.
std::string PrinterDataKey(const char* printer);
