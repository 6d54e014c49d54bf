#pragma once

// When a main window of the program already exists, restores it, brings it
// to the front and leaves the program with result 0 by throwing the int 0,
// which the entry point catches.
void LeaveIfAlreadyRunning();
