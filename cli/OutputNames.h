#pragma once

// The names of the command line's outputs.

#include "cli/ExportOptions.h"

#include <string>

// The output beside a file, moved into -d's folder when there is one.
std::string InFolder(const ExportOptions& options, const std::string& beside);
// The extension of an output named after its table.
const char* Extension(const ExportOptions& options);
// The output of a table, or of a database container, named on its own.
std::string OutputPath(const ExportOptions& options, const std::string& table);
// The name of a file named after a database's table, in the system's
// spelling, without extension: its long name, or the name of its own file
// (at path) when the long name cannot name a file (blank, dots only, a
// device's name).
std::string FileNameOf(const CString& longName, const std::string& path);
