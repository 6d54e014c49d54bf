#pragma once
// The end of a removal that deferred work to the next start of Windows: the
// offer to restart, and the restart by platform.

#include <windows.h>

#include <functional>

#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "../common/PlatformKind.h"
#include "RestartPolicy.h"

// Enables the process's shutdown privilege and asks Windows to reboot. True
// when the request was accepted.
bool RebootWithShutdownPrivilege();

enum class RestartOutcome { NotNeeded, Declined, Started, Failed };

// Without deferred work, the completion text. Otherwise the restart
// question, the restart by the platform's variant when the answer is yes,
// and a close request to the page's parent, the main window, whatever the
// answer. On Win32s, a program directory that can't be resolved counts as a
// restart that failed. Under a policy other than Ask the question is not
// asked: the policy answers it.
RestartOutcome OfferRestart(HWND page, UninstallDatabase& database, const PlatformKind& platform,
                            TextCatalogue& texts);

// The "NORESTART" and "FORCERESTART" switches; Ask until set.
void SetRestartPolicy(RestartPolicy policy);

// The ways Windows is asked to restart: a reboot as such (Windows 9x), a
// reboot once the shutdown privilege is enabled (NT), and the restart
// program started hidden with `command` (Win32s).
enum class RestartVariant { Reboot, PrivilegedReboot, RestartProgram };

// Every restart request ends here; true when it was accepted. Tests put a
// recorder in place, since none of them may restart anything; an empty
// function puts the platform back.
using RestartRequester = std::function<bool(RestartVariant variant, const char* command)>;
void SetRestartRequester(RestartRequester requester);
