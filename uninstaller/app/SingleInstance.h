#pragma once

// When a main window of the program already exists, restores it, brings it
// to the front and leaves the program with result 0 by throwing the int 0,
// which the entry point catches.
void LeaveIfAlreadyRunning();

// Claims the machine-wide mark of a running removal for the rest of the
// process. False when another start holds it: an unattended run has no
// window to find, and two removals at once would each judge the machine
// while the other changes it.
bool ClaimInstance();

// Another start of the program runs, with a window or without: for the
// unattended runs, which never bring anything forward. Claims the mark when
// nobody holds it.
bool AnotherInstanceRuns();
