#pragma once
// Program groups and their items, removed through the shell's Program
// Manager: the commands are made here, checked, and sent through the door.

class Door;

// "[DeleteGroup(<group>)]". False, sending nothing, when the command would
// not fit or the group holds a character that ends or opens a command.
bool ProgmanDeleteGroup(Door& door, const char* group);

// "[ShowGroup(<group>,1)]", then, only when that was carried out,
// "[DeleteItem(<item>)]"; true when both were. Refused as above.
bool ProgmanDeleteItem(Door& door, const char* group, const char* item);
