// Scripts for SQLite: type affinities, counted INSERTs and texts of many carriage returns in hexadecimal.

#include "export/SqlDialect.h"

#include <cmath>

namespace {

// Scripts for the sqlite3 shell: multi-row INSERT statements, all in one
// transaction. A column takes its affinity from its type's name.
class SqliteDialect : public SqlDialect {
public:
    std::string Fitted(std::string name, size_t room) const override
    {
        // SQLite keeps names of any length; they are cut as PostgreSQL cuts
        // them, so that one table has the same columns in both.
        return Cut(std::move(name), 63 - room, false);
    }
    std::string Quoted(std::string_view name) const override { return QuotedWith(name, '"'); }
    size_t MostColumns() const override { return 2000; }
    unsigned MostDigits() const override { return ~0u; }
    unsigned MostPlaces() const override { return ~0u; }

    void SetTypes(std::vector<SqlColumn>& columns) const override
    {
        for (SqlColumn& column : columns)
            column.Type = TypeOf(column.Value);
    }

    SqlRows Rows() const override
    {
        // Statements of 250 rows, or ended once they pass 1 MiB.
        SqlRows rows;
        rows.Batch = SqlRows::Batching::CountedInserts;
        rows.StatementRows = 250;
        rows.StatementBytes = 1024 * 1024;
        return rows;
    }

    SqlSpelling Spelling() const override { return InsertSpelling(); }

    std::string EscapedByte(char c) const override
    {
        // A quote is doubled; a carriage return stands outside the literal,
        // as the shell drops one that ends an input line.
        if (c == '\'')
            return "''";
        if (c == '\r')
            return "'||char(13)||'";
        return std::string(1, c);
    }

    std::optional<SqlHexTexts> HexTexts() const override
    {
        // Each carriage return joins two texts, and SQLite refuses an
        // expression of more than 1,000 joins: a text of more goes whole.
        return SqlHexTexts{ 499, "CAST(X'", "' AS TEXT)" };
    }

    std::optional<std::string_view> SpecialDouble(double value) const override
    {
        // SQLite keeps no NaN: it stores NULL for one.
        if (std::isnan(value))
            return "NULL";
        return value < 0 ? "-9e999" : "9e999";
    }

    std::string BeginScript() const override { return ".bail on\nBEGIN;\n"; }
    std::string BeginTable(const SqlTable& table) const override { return CreateTable(table); }
    std::string InsertInto(const SqlTable& table) const override
    {
        return "INSERT INTO " + Quoted(table.Name) + " (" + ColumnList(table) + ") VALUES\n";
    }
    std::string EndTable(const SqlTable& /*table*/) const override { return {}; }
    std::string EndScript() const override { return "COMMIT;\n"; }

    // SQLite adds no constraint to a table that exists: the keys go into
    // CREATE TABLE, which is why they are checked against the data first.
    bool DeclaresInTable(const SqlKey& key) const override { return key.Type != SqlKey::Kind::Index; }

private:
    static const char* TypeOf(SqlValue value)
    {
        switch (value) {
        case SqlValue::Decimal:
        case SqlValue::Currency:
            return "NUMERIC";
        case SqlValue::Whole:
        case SqlValue::Logical:
        case SqlValue::Integer:
            return "INTEGER";
        case SqlValue::Double:
            return "REAL";
        case SqlValue::MemoBinary:
        case SqlValue::InlineBinary:
            return "BLOB";
        default: // texts, and dates and timestamps as texts
            return "TEXT";
        }
    }
};

} // namespace

std::unique_ptr<SqlDialect> MakeSqliteDialect()
{
    return std::make_unique<SqliteDialect>();
}
