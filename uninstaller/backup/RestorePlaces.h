#pragma once
// Where a restore may write a registry record back: only where the removal
// step named in the record could have taken it from. A manifest that was
// damaged or edited by hand reaches no other key, Windows' least of all.
// Pure logic, no platform calls.

#include <string>
#include <string_view>

// `operation` as the journal named the change; `shown` the key's path with
// the root's long name (a user's hive under their SID).
bool RestorePlaceAllowed(std::string_view operation, std::string_view shown);
