#pragma once

// What a dBase table becomes in a script's database, asked for without writing it.

#include "export/SqlDialect.h"
#include "framework/CString.h"

#include <functional>
#include <string_view>
#include <vector>

class CodePageConverter;
class mDBase;

// The table a script creates for a dBase table: its name (UTF-8) lower-cased
// and fitted, and a column for each field, named from the name the field goes
// by and typed by the dialect. fieldNames, in the table's code page, are
// taken instead of the fields' own where there is one for each field (a
// database container's long names). A table no database takes (no fields,
// more columns than the database holds) raises CFileException naming its file.
// The columns keep no descriptor: the description outlives the table.
SqlTable DescribeSqlTable(const SqlDialect& dialect, const mDBase& table, std::string_view name,
                          const CodePageConverter& converter, const std::vector<CString>& fieldNames = {});

// The columns alone, for the writer of the table's records: each keeps its
// field's descriptor, valid while the table is open; fieldName(i) is the
// name field i goes by.
std::vector<SqlColumn> DescribeSqlColumns(const SqlDialect& dialect, const mDBase& table,
                                          const CodePageConverter& converter,
                                          const std::function<std::string_view(int)>& fieldName);
