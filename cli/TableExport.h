#pragma once

#include "cli/ExportOptions.h"

#include <string>
#include <vector>

// Exports every table and database container the options name: each table
// to an output of its own, a container's tables to one script (or one text
// file each), or, with -o and --sql, everything into one script. Failures are
// reported as they happen; the tables and containers that failed, wholly or
// in part, are returned.
std::vector<std::string> ExportTables(const ExportOptions& options);
