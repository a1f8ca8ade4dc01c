#pragma once

// Finding the keys of a script's tables and checking them against the data.
// Classes: DatabaseKeyCheck.

#include "table/DatabaseKeys.h"

#include <vector>

class DatabaseContainer;
class OutputTables;
class SqlDialect;
struct SqlTable;

// The keys of the tables that database containers list, checked against the
// data: each table in turn, one pass to resolve its tags, one to read its key
// values, so that no more than one table is open at a time. A table whose
// index cannot be read goes without keys, not without rows; one that fails
// loses its keys, and the foreign keys to and from it.
class DatabaseKeyCheck {
public:
    DatabaseKeyCheck(OutputTables& tables, const std::vector<const DatabaseContainer*>& containers,
                     bool skipDeleted)
        : m_tables(tables), m_containers(containers), m_skipDeleted(skipDeleted)
    {
    }

    // described[t] is table t as the script creates it. What the check
    // leaves out is said through the tables.
    DatabaseKeys Run(const std::vector<SqlTable>& described, const SqlDialect& dialect);

private:
    OutputTables& m_tables;
    const std::vector<const DatabaseContainer*>& m_containers;
    const bool m_skipDeleted;
};
