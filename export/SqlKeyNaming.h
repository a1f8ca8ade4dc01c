#pragma once

// Naming a database's keys for a script. Classes: SqlKeyNaming.

#include "export/SqlDialect.h"
#include "table/DatabaseKeys.h"

#include <vector>

class CodePageConverter;
class SqlNames;

// The keys a script declares: those the data holds and the dialect's
// database can hold on their columns, named after their table and tag. A
// key left out here is said, as those the data breaks are.
class SqlKeyNaming {
public:
    explicit SqlKeyNaming(DatabaseKeys& keys) : m_keys(keys) {}

    // tables[t] is table t as the script creates it; names holds the
    // script's names of tables and keys; `tags` converts tags to UTF-8.
    std::vector<SqlKey> Declared(const std::vector<SqlTable>& tables, const SqlDialect& dialect, SqlNames& names,
                                 const CodePageConverter& tags);

private:
    DatabaseKeys& m_keys;
};
