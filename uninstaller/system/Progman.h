#pragma once
// Program groups and their items, removed through the shell's Program
// Manager DDE interface. Each deletion goes to the journal; a dry run sends
// nothing and answers true.

#include <functional>

// Sends one execute command to Program Manager; true when it was carried out.
bool ProgmanExecute(const char* command);

// "[DeleteGroup(<group>)]". False, sending nothing, when the command would
// not fit or the group holds a character that ends or opens a command.
bool ProgmanDeleteGroup(const char* group);

// "[ShowGroup(<group>,1)]", then, only when that was carried out,
// "[DeleteItem(<item>)]"; true when both were. Refused as above.
bool ProgmanDeleteItem(const char* group, const char* item);

// How the two above send their commands: ProgmanExecute unless a test sets
// another, to see the command texts Program Manager under Wine would carry
// out or refuse without a trace. An empty function restores ProgmanExecute.
using ProgmanSender = std::function<bool(const char* command)>;
void SetProgmanSender(ProgmanSender sender);
