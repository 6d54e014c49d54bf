#pragma once
// Step 14's deletion of the INF copies that name the driver of the last
// printer the removal opened: the OEM INF files, and on Windows 98 and Me
// the setup's copies, unless that driver is still installed (its files are
// still needed), another driver that stays is named too, or the spooler
// can't say.

#include "../door/RemovalState.h"

void DeleteOemInfFiles(RemovalState& state);
void DeleteWin9xOemInfFiles(RemovalState& state);
