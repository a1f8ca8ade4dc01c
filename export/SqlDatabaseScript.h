#pragma once

// A script of several tables and their databases' keys. Classes:
// SqlDatabaseScript.

#include <string>
#include <utility>
#include <vector>

class DatabaseContainer;
class OutputTables;
struct SharedOutput;

// Writes several tables into one script: one transaction for the whole
// script, as for one table, so that it loads whole or not at all. Each
// table's part goes in whole or not at all (a table that fails half-way is
// cut back out of the output), then the keys of the database containers
// given, checked against the data, of the tables that loaded only.
class SqlDatabaseScript {
public:
    // dialect names the script's database (see SqlDialect::Named).
    SqlDatabaseScript(std::string dialect, bool replace, bool skipDeleted)
        : m_dialect(std::move(dialect)), m_replace(replace), m_skipDeleted(skipDeleted)
    {
    }

    void Write(OutputTables& tables, const std::vector<const DatabaseContainer*>& containers,
               const SharedOutput& output);

private:
    const std::string m_dialect;
    const bool m_replace;
    const bool m_skipDeleted;
};
