#pragma once

#include <string>
#include <vector>

// The exit statuses of orvalis-export.
enum ExitStatus : int {
    kExported = 0,   // every table was exported
    kSomeFailed = 1, // at least one table was not; the others were
    kUsageError = 2, // the command line was not understood; nothing was done
};

// Runs orvalis-export with the command line's arguments (the program's name
// left out) and returns the exit status.
int RunExportCommand(const std::vector<std::string>& arguments);
