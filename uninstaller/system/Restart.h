#pragma once
// The end of a removal that deferred work to the next start of Windows: the
// offer to restart, and the restart by platform.

#include <windows.h>

#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "../spooler/PlatformKind.h"

// Enables the process's shutdown privilege and asks Windows to reboot. True
// when the request was accepted.
bool RebootWithShutdownPrivilege();

// Without deferred work, the completion text. Otherwise the restart
// question, the restart by the platform's variant when the answer is yes,
// and a close request to the page's parent, the main window, whatever the
// answer.
void OfferRestart(HWND page, UninstallDatabase& database, const PlatformKind& platform, TextCatalogue& texts);
