#pragma once

// The writer of a table as an SQL script. Classes: SqlScriptWriter.

#include "export/SqlDialect.h"
#include "export/SqlRowBatching.h"
#include "export/SqlValueWriter.h"

#include <memory>
#include <string>
#include <vector>

class CodePageConverter;

// Writes a table as an SQL script that creates it, with a typed column for
// each field, and loads every record. It only puts the parts together: the
// table as the dialect creates it (DescribeSqlTable), the rows gathered into
// statements as the dialect chose (SqlRowBatching), and each value written as
// the dialect spells it (SqlValueWriter).
class SqlScriptWriter : public SqlValueWriter {
public:
    // tableName is in UTF-8; the converter takes the table's texts to UTF-8.
    SqlScriptWriter(std::unique_ptr<const SqlDialect> dialect, std::string tableName,
                    const CodePageConverter& converter);
    ~SqlScriptWriter() override;

    // A table of that name in the database is replaced; without it, a
    // database that has the table already refuses the script.
    void SetReplace(bool replace) { m_table.Replace = replace; }
    // A part of a script of several tables: without the script's own start
    // and end, which the caller writes once around them.
    void SetPartOfScript(bool part) { m_partOfScript = part; }
    // The keys this table's CREATE TABLE declares (those the dialect
    // declares there).
    void SetTableKeys(std::vector<SqlKey> keys) { m_table.Keys = std::move(keys); }

protected:
    void Prepare(const mDBase& table) override;
    void AppendStart(const mDBase& table, LineBuffer& out) override;
    void AppendRecord(const mDBase& table, LineBuffer& out) override;
    void AppendEnd(const mDBase& table, LineBuffer& out) override;

private:
    struct Row; // the loaded record, as its batching writes it
    // A row in the table's batching, with its values inline: a function for
    // each batching, chosen once, that none weighs on the others' rows.
    using AppendRowFunction = void (*)(SqlScriptWriter& writer, const mDBase& table, LineBuffer& out);
    template <class Batching>
    static void AppendRowOf(SqlScriptWriter& writer, const mDBase& table, LineBuffer& out);

    bool m_partOfScript = false;
    SqlTable m_table;
    SqlRowBatching m_rows;
    const AppendRowFunction m_appendRow;
};
