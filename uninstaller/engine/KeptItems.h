#pragma once
// The journal's account of what the database build keeps: every item some
// script names that the merged profile leaves out, with the printer that
// stays and needs it, or the other reason it stays.

#include "../script/KeptReasons.h"
#include "../script/UninstallDatabase.h"

void JournalKeptItems(const UninstallDatabase& database);

// One kept item, as the step that removes such items names it on `platform`.
void JournalKeptItem(const KeptItem& kept, const PlatformKind& platform);
