// Scripts for MySQL and MariaDB: row sizes, loading under another name, size-bounded INSERTs.

#include "export/SqlDialect.h"

#include "table/mDBase.h"

namespace {

// Rows as MySQL and MariaDB count them for CREATE TABLE, where every column
// may be NULL: the server's limit, and InnoDB's for the part of a row kept in
// its 16 KiB page (its record header and hidden columns take 25 bytes).
constexpr unsigned kServerRow = 65535;
constexpr unsigned kPageRow = 8126;
constexpr unsigned kPageRowStart = 25;
// A utf8mb4 character takes up to 4 bytes; a field's byte becomes at most 3
// bytes of UTF-8 (a character, or U+FFFD).
constexpr unsigned kCharacterBytes = 4;
constexpr unsigned kStoredByteBytes = 3;
// The longest VARCHAR and TEXT, in utf8mb4 characters and in bytes.
constexpr unsigned kLongestVarchar = 16383;
constexpr unsigned kLongestText = 65535;
// The most columns, and bytes, InnoDB takes in one key.
constexpr size_t kKeyColumns = 16;
constexpr unsigned kKeyBytes = 3072;

// What a column adds to a row, as the server counts it and as InnoDB counts
// it in the page. A column that can go off the page counts the 40 bytes
// MySQL keeps of it there, and a length byte (MariaDB counts fewer).
struct RowSize {
    unsigned Server = 0;
    unsigned Page = 0;
};
constexpr RowSize kOffPage{ 12, 41 }; // TEXT, LONGTEXT, LONGBLOB

RowSize Varchar(unsigned characters)
{
    const unsigned bytes = characters * kCharacterBytes;
    return bytes > 255 ? RowSize{ bytes + 2, 41 } : RowSize{ bytes + 1, bytes + 1 };
}

// DECIMAL keeps nine digits in four bytes, the rest in fewer, on each side
// of the point.
unsigned DecimalBytes(unsigned digits, unsigned places)
{
    static constexpr unsigned kRest[] = { 0, 1, 1, 2, 2, 3, 3, 4, 4 };
    const auto packed = [](unsigned n) { return n / 9 * 4 + kRest[n % 9]; };
    return packed(digits - places) + packed(places);
}

// Scripts for the mysql and mariadb clients. The server commits before every
// CREATE, DROP and RENAME, so no transaction holds a load: the rows go into
// a table of another name, which one RENAME TABLE puts in place at the end.
class MySqlDialect : public SqlDialect {
public:
    std::string Fitted(std::string name, size_t room) const override
    {
        // 64 characters; MySQL refuses a name that ends in a blank.
        name = Cut(std::move(name), 64 - room, true);
        name.erase(name.find_last_not_of(' ') + 1);
        return name;
    }
    std::string Quoted(std::string_view name) const override { return QuotedWith(name, '`'); }
    // InnoDB's limit; the server's own (4096) is for other engines.
    size_t MostColumns() const override { return 1017; }
    unsigned MostDigits() const override { return 65; }
    unsigned MostPlaces() const override { return 30; }

    void SetTypes(std::vector<SqlColumn>& columns) const override
    {
        // Every character field is counted as TEXT first; then, in the
        // fields' order, each becomes VARCHAR while the row still fits.
        RowSize row{ 0, kPageRowStart };
        const unsigned nullBits = static_cast<unsigned>((columns.size() + 7) / 8);
        row.Server += nullBits;
        row.Page += nullBits;
        for (SqlColumn& column : columns) {
            const RowSize size = TypeOf(column);
            row.Server += size.Server;
            row.Page += size.Page;
        }
        for (SqlColumn& column : columns) {
            const unsigned length = column.Descriptor->Length;
            if (column.Value != SqlValue::Characters || length > kLongestVarchar)
                continue;
            const RowSize varchar = Varchar(length);
            if (row.Server - kOffPage.Server + varchar.Server > kServerRow ||
                row.Page - kOffPage.Page + varchar.Page > kPageRow)
                continue;
            row.Server += varchar.Server - kOffPage.Server;
            row.Page += varchar.Page - kOffPage.Page;
            column.Type = "VARCHAR(" + std::to_string(length) + ")";
        }
    }

    SqlRows Rows() const override
    {
        // The server takes statements of 16 MiB or more, as it is set up.
        SqlRows rows;
        rows.Batch = SqlRows::Batching::BoundedInserts;
        rows.StatementBytes = 1024 * 1024;
        return rows;
    }

    SqlSpelling Spelling() const override { return InsertSpelling(); }

    std::string EscapedByte(char c) const override
    {
        // Backslash escapes, as the server reads them unless told otherwise
        // (the script sees that it is not). The client drops a carriage
        // return that ends a line and takes no NUL: no text holds either;
        // Ctrl-Z would end a file read on Windows.
        switch (c) {
        case '\\': return "\\\\";
        case '\'': return "\\'";
        case '\r': return "\\r";
        case '\n': return "\\n";
        case '\0': return "\\0";
        case '\x1A': return "\\Z";
        default: return std::string(1, c);
        }
    }
    bool HoldsNul() const override { return true; }

    std::optional<std::string_view> SpecialDouble(double /*value*/) const override
    {
        return std::nullopt; // DOUBLE holds no infinity and no NaN
    }

    std::string BeginScript() const override
    {
        // Texts in UTF-8; and, whatever the server's own mode, backslash
        // escapes and a value that does not fit its column refused.
        return "SET NAMES utf8mb4;\nSET SESSION sql_mode = 'STRICT_ALL_TABLES';\n";
    }

    std::string BeginTable(const SqlTable& table) const override
    {
        // What a load that failed left is dropped first. Without --replace,
        // a table of the name already there fails the script at once.
        const std::string name = Quoted(table.Name), loading = Quoted(Loading(table));
        std::string statements = "DROP TABLE IF EXISTS " + loading + ";\nCREATE TABLE " + loading + " (\n" +
                                 ColumnDefinitions(table) + ") DEFAULT CHARSET=utf8mb4;\n";
        if (!table.Replace)
            statements += "CREATE TABLE " + name + " LIKE " + loading + ";\nDROP TABLE " + name + ";\n";
        return statements;
    }

    std::string InsertInto(const SqlTable& table) const override
    {
        return "INSERT INTO " + Quoted(Loading(table)) + " (" + ColumnList(table) + ") VALUES\n";
    }

    std::string EndTable(const SqlTable& table) const override
    {
        const std::string name = Quoted(table.Name), loading = Quoted(Loading(table));
        if (!table.Replace)
            return "RENAME TABLE " + loading + " TO " + name + ";\n";
        // One RENAME swaps the tables: the old one, if any, until then whole.
        const std::string old = Quoted(Fitted(table.Name, 6) + "#antes");
        return "CREATE TABLE IF NOT EXISTS " + name + " LIKE " + loading + ";\nDROP TABLE IF EXISTS " + old +
               ";\nRENAME TABLE " + name + " TO " + old + ", " + loading + " TO " + name + ";\nDROP TABLE " + old +
               ";\n";
    }

    std::string EndScript() const override { return {}; }

    // Keys compare texts byte for byte, as the table's own index did and as
    // the export checked them: the default collation would take "a" and "A"
    // (or "e" and "é") for one value.
    std::string DeclaredType(const SqlColumn& column, bool inKey) const override
    {
        return inKey && column.Value == SqlValue::Characters && column.Type.rfind("VARCHAR", 0) == 0
            ? column.Type + " COLLATE utf8mb4_bin" : column.Type;
    }

    std::string KeyProblem(const SqlKey& key, const SqlTable& table) const override
    {
        if (key.Columns.size() > kKeyColumns)
            return "MySQL admite 16 columnas en una clave";
        unsigned bytes = 0;
        for (const std::string& name : key.Columns) {
            const SqlColumn* column = ColumnNamed(table, name);
            if (!column)
                continue;
            // TEXT and BLOB columns take part in a key only by a prefix,
            // which would not be the key.
            if (column->Type.find("TEXT") != std::string::npos || column->Type.find("BLOB") != std::string::npos)
                return "su columna " + name + " es " + column->Type + ", que MySQL no admite en una clave";
            const bool varchar = column->Type.rfind("VARCHAR(", 0) == 0;
            bytes += varchar ? static_cast<unsigned>(std::stoul(column->Type.substr(8))) * kCharacterBytes : 8;
        }
        if (bytes > kKeyBytes)
            return "sus columnas pasan de los 3072 bytes que MySQL admite en una clave";
        return {};
    }

private:
    std::string Loading(const SqlTable& table) const { return Fitted(table.Name, 6) + "#carga"; }

    // Each column's type, a character field's as TEXT; what it adds to a row.
    static RowSize TypeOf(SqlColumn& column)
    {
        const std::string digits = std::to_string(column.Digits);
        switch (column.Value) {
        case SqlValue::Characters:
        case SqlValue::OtherText:
            // TEXT while any value fits, MEDIUMTEXT for the longest fields.
            column.Type = column.Descriptor->Length * kStoredByteBytes <= kLongestText ? "TEXT" : "MEDIUMTEXT";
            return kOffPage;
        case SqlValue::Decimal:
            column.Type = "DECIMAL(" + digits + "," + std::to_string(column.Places) + ")";
            return Fixed(DecimalBytes(column.Digits, column.Places));
        case SqlValue::Whole: {
            const unsigned bytes = IntegerBytes(column.Digits);
            column.Type = bytes == 4 ? "INT" : bytes == 8 ? "BIGINT" : "DECIMAL(" + digits + ")";
            return Fixed(bytes ? bytes : DecimalBytes(column.Digits, 0));
        }
        case SqlValue::Date:
            column.Type = "DATE";
            return Fixed(3);
        case SqlValue::Logical:
            column.Type = "BOOLEAN";
            return Fixed(1);
        case SqlValue::Integer:
            column.Type = "INT";
            return Fixed(4);
        case SqlValue::Double:
            column.Type = "DOUBLE";
            return Fixed(8);
        case SqlValue::Currency:
            column.Type = "DECIMAL(19,4)";
            return Fixed(DecimalBytes(19, 4));
        case SqlValue::Timestamp:
            column.Type = "DATETIME(3)";
            return Fixed(8);
        case SqlValue::MemoText:
            column.Type = "LONGTEXT";
            return kOffPage;
        default: // binary memos and blobs
            column.Type = "LONGBLOB";
            return kOffPage;
        }
    }
    static RowSize Fixed(unsigned bytes) { return { bytes, bytes }; }
};

} // namespace

std::unique_ptr<SqlDialect> MakeMySqlDialect()
{
    return std::make_unique<MySqlDialect>();
}
