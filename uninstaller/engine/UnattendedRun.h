#pragma once
// The program without anybody at the screen ("QUIET", "WHATIF"): the
// loading and the removal of every offered printer, no window, each message
// to the journal with the answer that keeps the machine safe, and an exit
// code a deployment tool can read.

#include <windows.h>

#include "../common/SwitchList.h"
#include "RunMode.h"

class Door;

// `acting`: tests only, the door that acts in a real run instead of the
// platform's; a dry run never reaches it.
int RunUnattended(HINSTANCE instance, const RunMode& mode, const SwitchList& switches, Door* acting = nullptr);
