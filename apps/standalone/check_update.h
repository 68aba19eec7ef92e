#pragma once

#include <iosfwd>

// `zorva --check-update`: the options menu's version check without a window.
// Prints the message the dialog would show, on one line, and returns the exit
// status: 0 up to date, 1 a newer version exists, 3 the check failed.
int runCheckUpdate(std::ostream& out);
