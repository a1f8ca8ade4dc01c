#pragma once

// How the command line says what happened to a table: failures, warnings and
// notes, on standard error.

#include "cli/ExportOptions.h"
#include "framework/CString.h"

#include <string>

class CFileException;
class MemoFile;
class OpenedTable;
class mDBase;
struct ExportWarnings;
struct WorkbookNotes;

// A failure, on a line of its own; fileName keeps the system's spelling.
void ReportFailure(const CString& message, const std::string& fileName);
// A warning or a note, a whole line already.
void Warn(const CString& warning, const std::string& fileName);

// What the opener of a table found wrong.
void SayWarnings(OpenedTable& opened);
// A table whose memo file is missing goes on, its memos without value.
void WarnMemoMissing(const std::string& path, const CFileException& e, const ExportOptions& options);
// A table whose index cannot be read goes without keys.
void WarnNoIndex(const CString& tableName, const CFileException& e);

// What the export could not write as stored, one line for each kind.
void ReportWarnings(const ExportWarnings& warnings, const std::string& path, const mDBase& table,
                    const MemoFile* memo, unsigned codePage, const ExportOptions& options);
// What a workbook writes otherwise than the table holds it, one line for
// each kind.
void ReportNotes(const WorkbookNotes& notes, const std::string& path, const mDBase& table);
