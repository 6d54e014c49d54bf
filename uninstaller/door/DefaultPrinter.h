#pragma once
// The user's default printer as the platform keeps it. The spooler proxy
// carries neither call, so both come from the platform's spooler library,
// loaded by name when first needed (it is not linked: the removal reaches
// the spooler through the proxy only).

#include <windows.h>

#include <string>

// The name of the default printer; empty when there is none or it can't be
// read.
std::string CurrentDefaultPrinter();

// Only the door calls this. False with the platform's error when the
// default was not set.
bool SetPlatformDefaultPrinter(const char* name, DWORD& error);
