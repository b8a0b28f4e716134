// The program's entry and the whole of its life outside the install dialog.
#pragma once

#include "toolkit.h"

// Runs the installer on `backend`: takes the source directory, checks for
// SETUP.INI, creates the three windows, shows the install dialog, runs the
// message loop. Returns the process's exit code: 0 for every orderly end, 1
// after the fatal error box.
int RunSetup(Backend& backend);
