#pragma once

// What differs between the databases a script is written for, and the table,
// columns and keys it describes to them. Classes: SqlDialect, SqlColumn, SqlKey,
// SqlTable, SqlRows, SqlHexTexts, SqlSpelling.

#include "export/FieldValue.h"
#include "export/LineBuffer.h"
#include "table/KeyKind.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct FieldDescriptor;

// How a column's values are written: as the field's values are decoded;
// each dialect gives each type its column type.
using SqlValue = ValueType;

// A column of the script's table.
struct SqlColumn {
    int Field = 0; // the field's index in the table
    const FieldDescriptor* Descriptor = nullptr;
    SqlValue Value = SqlValue::OtherText;
    bool Nullable = false;  // a Visual FoxPro field with a null bit
    bool VarLength = false; // its value is shorter than the field
    // A number's: the digits its column holds, and how many of them come
    // after the point. A value that needs more is no value of the column.
    unsigned Digits = 0;
    unsigned Places = 0;
    std::string Name; // unquoted
    std::string Type; // as CREATE TABLE gives it
};

// A key a script declares: its table's and columns' names, and for a
// foreign key the names of the table and columns it refers to. Unquoted.
struct SqlKey {
    using Kind = KeyKind;
    Kind Type = Kind::Index;
    std::string Name;
    std::string Table;
    std::vector<std::string> Columns;
    std::string Parent;
    std::vector<std::string> ParentColumns;
};

// The table a script creates and loads.
struct SqlTable {
    std::string Name; // unquoted
    std::vector<SqlColumn> Columns;
    bool Replace = false; // whatever table of that name the database holds goes
    std::vector<SqlKey> Keys; // its own and its foreign keys; CREATE TABLE declares those DeclaresInTable says
};

// How the rows of a table are written: the dialect's choice of batching,
// and its sizes.
struct SqlRows {
    enum class Batching : std::uint8_t {
        Copy,           // a COPY, one line a row
        CountedInserts, // INSERT statements of several rows, ended after StatementRows or StatementBytes
        BoundedInserts, // INSERT statements of at most StatementBytes (a longer row takes one of its own)
    };
    Batching Batch = Batching::Copy;
    char Separator = ',';
    // An INSERT statement's most rows (0: any number) and its bytes.
    std::uint32_t StatementRows = 0;
    std::uint64_t StatementBytes = 0;
};

// Texts a dialect writes as hexadecimal UTF-8 instead, between Open and
// Close: those with more than After carriage returns.
struct SqlHexTexts {
    std::uint64_t After = 0;
    std::string Open, Close;
};

// The fixed texts of values.
struct SqlSpelling {
    ShortText Null, True, False;
    char Quote = 0; // around a text, a date or a timestamp; 0: none
    ShortText BytesOpen, BytesClose; // around a blob's hexadecimal digits
};

// What differs between the databases a script is written for: names, types,
// how values are spelt and escaped, how rows are batched and how the script
// begins, loads and ends. The writer asks its dialect once for a table; the
// records are walked and their values decoded by the writer alone.
class SqlDialect {
public:
    virtual ~SqlDialect() = default;

    // The dialect of the command line's --sql=NAME (postgresql, sqlite,
    // mysql); null for a name not known.
    static std::unique_ptr<SqlDialect> Named(std::string_view name);

    // A name (UTF-8, lower-cased) as the database keeps it: cut at a
    // character's start, with `room` characters or bytes left for a suffix.
    virtual std::string Fitted(std::string name, size_t room = 0) const = 0;
    virtual std::string Quoted(std::string_view name) const = 0;
    virtual size_t MostColumns() const = 0;
    // The digits a decimal column can hold, and of them after the point.
    virtual unsigned MostDigits() const = 0;
    virtual unsigned MostPlaces() const = 0;
    // Gives each column its Type, and may lower its Digits and Places.
    virtual void SetTypes(std::vector<SqlColumn>& columns) const = 0;

    virtual SqlRows Rows() const = 0;
    virtual SqlSpelling Spelling() const = 0;
    // How an ASCII byte is written inside a text (at most 14 bytes). A NUL
    // is asked for only where the database holds one in a text; elsewhere
    // it becomes U+FFFD, and is counted.
    virtual std::string EscapedByte(char c) const = 0;
    virtual bool HoldsNul() const { return false; }
    // Where the dialect writes some texts in hexadecimal, which.
    virtual std::optional<SqlHexTexts> HexTexts() const { return std::nullopt; }
    // An infinity or NaN; none when the column cannot hold it (NULL, counted).
    virtual std::optional<std::string_view> SpecialDouble(double value) const = 0;

    // What comes before the script's tables and after them; what comes
    // before a table's rows (creating it) and after them; and, for
    // INSERT statements, how each begins.
    virtual std::string BeginScript() const = 0;
    virtual std::string BeginTable(const SqlTable& table) const = 0;
    virtual std::string InsertInto(const SqlTable& /*table*/) const { return {}; }
    virtual std::string EndTable(const SqlTable& table) const = 0;
    virtual std::string EndScript() const = 0;

    // Whether a key goes into its table's CREATE TABLE (where the database
    // cannot add it to a table that exists), rather than after every table's
    // rows; and the statements that declare those after.
    virtual bool DeclaresInTable(const SqlKey& /*key*/) const { return false; }
    std::string KeyStatements(const std::vector<SqlKey>& keys) const;
    // Why the database cannot hold the key on its table's columns, in the
    // program's texts; empty when it can.
    virtual std::string KeyProblem(const SqlKey& /*key*/, const SqlTable& /*table*/) const { return {}; }

protected:
    // The parts of the statements the dialects share.
    std::string ColumnList(const SqlTable& table) const; // "a", "b"
    std::string ColumnDefinitions(const SqlTable& table) const; // one a line, indented, then its keys
    // The type a column is created with; `inKey` when a key of its table has it.
    virtual std::string DeclaredType(const SqlColumn& column, bool /*inKey*/) const { return column.Type; }
    // The table's column of that name; null when there is none.
    static const SqlColumn* ColumnNamed(const SqlTable& table, const std::string& name);
    std::string Constraint(const SqlKey& key) const; // CONSTRAINT "name" PRIMARY KEY ("a")...
    std::string QuotedList(const std::vector<std::string>& names) const; // ("a", "b")
    // CREATE TABLE, after DROP TABLE IF EXISTS where the table is replaced.
    std::string CreateTable(const SqlTable& table) const;
    // Values as INSERT statements take them: NULL, 1 and 0 for booleans,
    // texts between quotes, blobs as X'...'.
    static SqlSpelling InsertSpelling();
    // Cut to `longest` bytes, or characters, at a character's start.
    static std::string Cut(std::string name, size_t longest, bool characters);
    // Between quotes, its own quotes doubled.
    static std::string QuotedWith(std::string_view name, char quote);
    // How many bytes a whole number of so many digits takes: 4 or 8; 0 when
    // no integer holds it.
    static unsigned IntegerBytes(unsigned digits) { return digits <= 9 ? 4 : digits <= 18 ? 8 : 0; }
};

// Each dialect, in a file of its own.
std::unique_ptr<SqlDialect> MakeMySqlDialect();
std::unique_ptr<SqlDialect> MakePostgreSqlDialect();
std::unique_ptr<SqlDialect> MakeSqliteDialect();
