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
