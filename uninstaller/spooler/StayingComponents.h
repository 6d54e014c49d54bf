#pragma once
// What the drivers, port monitors and print processors that stay use: the
// file names the file removal must keep.

#include "../door/RemovalState.h"

// After step 7, while the spooler still answers: the names of the files the
// drivers still installed list, in every environment, and the libraries of
// the monitors and print processors still registered, each with why it
// stays, into the state. What this run took away (or would have) counts as
// gone. Nothing when the spooler could not tell.
void ReadStayingDriverFiles(RemovalState& state);

// Before the files go (step 14), once the services and start-up entries of
// the removal are gone: adds to those names the programs of the services
// still installed, the programs the Run keys still start (the machine's in
// both views, the user's), and the shared files whose SharedDLLs count says
// another program uses them too. Nothing stays known when the services
// can't be read: then every file stays.
void ReadStayingPrograms(RemovalState& state);
