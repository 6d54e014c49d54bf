#pragma once
// The program without anybody at the screen ("QUIET", "WHATIF"): the
// loading and the removal of every offered printer, no window, each message
// to the journal with the answer that keeps the machine safe, and an exit
// code a deployment tool can read.

#include <windows.h>

#include "RunMode.h"

int RunUnattended(HINSTANCE instance, const RunMode& mode);
