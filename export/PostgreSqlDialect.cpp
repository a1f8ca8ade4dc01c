// Scripts for PostgreSQL: its types, and the rows as COPY's text.

#include "export/SqlDialect.h"

#include "export/CopyText.h"
#include "table/mDBase.h"

#include <cmath>

namespace {

// Scripts for psql: the rows in COPY's text format, all in one transaction.
class PostgreSqlDialect : public SqlDialect {
public:
    std::string Fitted(std::string name, size_t room) const override
    {
        // PostgreSQL cuts longer names; they are cut here first, so that two
        // names that would end alike still differ.
        return Cut(std::move(name), 63 - room, false);
    }
    std::string Quoted(std::string_view name) const override { return QuotedWith(name, '"'); }
    size_t MostColumns() const override { return 1600; }
    unsigned MostDigits() const override { return 1000; }
    unsigned MostPlaces() const override { return 1000; }

    void SetTypes(std::vector<SqlColumn>& columns) const override
    {
        for (SqlColumn& column : columns)
            column.Type = TypeOf(column);
    }

    SqlRows Rows() const override
    {
        SqlRows rows;
        rows.Separator = '\t';
        return rows;
    }

    SqlSpelling Spelling() const override
    {
        // COPY's text format: no quotes; a blob as bytea's hexadecimal input,
        // its backslash escaped.
        SqlSpelling spelling;
        spelling.Null = ShortText("\\N");
        spelling.True = ShortText("t");
        spelling.False = ShortText("f");
        spelling.BytesOpen = ShortText("\\\\x");
        return spelling;
    }

    std::string EscapedByte(char c) const override
    {
        if (const char escaped = CopyEscape(c))
            return { '\\', escaped };
        return std::string(1, c);
    }

    std::optional<std::string_view> SpecialDouble(double value) const override
    {
        if (std::isnan(value))
            return "NaN";
        return value < 0 ? "-Infinity" : "Infinity";
    }

    std::string BeginScript() const override
    {
        return "\\set ON_ERROR_STOP on\nSET client_encoding = 'UTF8';\nBEGIN;\n";
    }
    std::string BeginTable(const SqlTable& table) const override
    {
        return CreateTable(table) + "COPY " + Quoted(table.Name) + " (" + ColumnList(table) + ") FROM STDIN;\n";
    }
    std::string EndTable(const SqlTable& /*table*/) const override { return "\\.\n"; }
    std::string EndScript() const override { return "COMMIT;\n"; }

    std::string KeyProblem(const SqlKey& key, const SqlTable& /*table*/) const override
    {
        return key.Columns.size() > 32 ? "PostgreSQL admite 32 columnas en una clave" : std::string();
    }

private:
    static std::string TypeOf(const SqlColumn& column)
    {
        const std::string digits = std::to_string(column.Digits);
        switch (column.Value) {
        case SqlValue::Characters:
            return "varchar(" + std::to_string(column.Descriptor->Length) + ")";
        case SqlValue::Decimal:
            return "numeric(" + digits + "," + std::to_string(column.Places) + ")";
        case SqlValue::Whole: {
            const unsigned bytes = IntegerBytes(column.Digits);
            return bytes == 4 ? "integer" : bytes == 8 ? "bigint" : "numeric(" + digits + ")";
        }
        case SqlValue::Date:
            return "date";
        case SqlValue::Logical:
            return "boolean";
        case SqlValue::Integer:
            return "integer";
        case SqlValue::Double:
            return "double precision";
        case SqlValue::Currency:
            return "numeric(19,4)";
        case SqlValue::Timestamp:
            return "timestamp";
        case SqlValue::MemoBinary:
        case SqlValue::InlineBinary:
            return "bytea";
        default: // memo texts, and the other types' texts
            return "text";
        }
    }
};

} // namespace

std::unique_ptr<SqlDialect> MakePostgreSqlDialect()
{
    return std::make_unique<PostgreSqlDialect>();
}
