#pragma once
// Puts back what a removal's backup saved, the last change first: what is
// on the machine again is left as it is, drivers come back before their
// printers, the default printer and the services that ran come back last.
// Every item gets one line in the journal.

#include <string>

// The exit code: 0 done, 3010 done and a file comes back only at the next
// start, 1603 something could not be put back (or the backup is not one,
// or is another computer's and `force` is not given).
int RestoreBackup(const std::string& folder, bool force);
