#pragma once
// The end of a removal that deferred work to the next start of Windows: the
// offer to restart, and the restart by platform.

#include "../common/PlatformKind.h"
#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "RestartPolicy.h"

class Door;

enum class RestartOutcome { NotNeeded, Declined, Started, Failed };

// Without deferred work, the completion text. Otherwise the restart
// question, and the restart by the platform's variant when the answer is
// yes; the caller then closes the program, whatever the answer. On Win32s,
// a program directory that can't be resolved counts as a restart that
// failed. Under a policy other than Ask the question is not asked: the
// policy answers it.
RestartOutcome OfferRestart(Door& door, UninstallDatabase& database, const PlatformKind& platform,
                            TextCatalogue& texts);

// The "NORESTART" and "FORCERESTART" switches; Ask until set.
void SetRestartPolicy(RestartPolicy policy);
