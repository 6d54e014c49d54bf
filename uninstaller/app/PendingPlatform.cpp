// Placeholders until the restart offer and the Windows 95 spooler window arrive.
#include "../spooler/SpoolerService.h"
#include "../system/Restart.h"

int CloseSpoolerWindow() { return 0; }
bool RebootWithShutdownPrivilege() { return false; }
void OfferRestart(HWND, UninstallDatabase&, const PlatformKind&, TextCatalogue&) {}
