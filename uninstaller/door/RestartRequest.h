#pragma once
// Asking Windows to restart: the door's own work, and the one place where a
// restart can be requested at all.

#include <functional>

#include "Door.h"

// Asks Windows to restart by `variant`: the privileged reboot enables the
// process's shutdown privilege first; the restart program is started hidden
// with `command`. True when the request was accepted.
bool RequestRestartOfWindows(RestartVariant variant, const char* command);

// Every restart request ends here; true when it was accepted. Tests put a
// recorder in place, since none of them may restart anything; an empty
// function puts the platform back.
using RestartRequester = std::function<bool(RestartVariant variant, const char* command)>;
void SetRestartRequester(RestartRequester requester);
