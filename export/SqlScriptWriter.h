#pragma once

#include "export/ExportWriter.h"
#include "table/TableFormat.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct FieldDescriptor;

class CodePageConverter;

enum class SqlDialect : std::uint8_t {
    PostgreSql, // for psql: the rows in COPY's text format
    Sqlite,     // for the sqlite3 shell: multi-row INSERT statements
};

// The names of one script's tables, or of one table's columns: lower-cased,
// cut to the longest name the databases keep, and _2, _3 for one that
// repeats; an empty name becomes the fallback given.
class SqlNames {
public:
    std::string Add(std::string_view utf8, const std::string& fallback = "");
    // Also taken, without being given out (index names share a namespace
    // with tables).
    bool Taken(const std::string& name) const { return m_used.count(name) != 0; }

private:
    std::set<std::string> m_used;
};

// A key a script declares: its table's and columns' names, and for a
// foreign key the names of the table and columns it refers to.
struct SqlKey {
    enum class Kind : std::uint8_t { Primary, Unique, Index, Foreign };
    Kind Type = Kind::Index;
    std::string Name;
    std::string Table;
    std::vector<std::string> Columns;
    std::string Parent;
    std::vector<std::string> ParentColumns;
};

// Writes a table as an SQL script that creates it, with a typed column for
// each field, and loads every record, all in one transaction: it loads whole
// or not at all. Texts are UTF-8; a value that cannot be what its field's
// type says is NULL, and counted.
class SqlScriptWriter : public ExportWriter {
public:
    // tableName is in UTF-8; the converter takes the table's texts to UTF-8.
    SqlScriptWriter(SqlDialect dialect, std::string tableName, const CodePageConverter& converter);
    ~SqlScriptWriter() override;

    // DROP TABLE IF EXISTS before CREATE TABLE; without it, a database that
    // has the table already refuses the whole script.
    void SetReplace(bool replace) { m_replace = replace; }
    // Whether the script's first lines (its settings) come before the
    // table; a script of several tables has them once.
    void SetPreamble(bool preamble) { m_preamble = preamble; }
    // The keys this table's CREATE TABLE declares, where the dialect
    // declares keys there (DeclaresKeysInTable); the others come after every
    // table, from AppendKeys.
    void SetTableKeys(std::vector<SqlKey> keys) { m_tableKeys = std::move(keys); }
    static bool DeclaresKeysInTable(SqlDialect dialect, const SqlKey& key);
    // The statements that declare the keys no CREATE TABLE declared, after
    // every table's rows, in a transaction of their own.
    static void AppendKeys(SqlDialect dialect, const std::vector<SqlKey>& keys, std::string& out);

    // The table's name in the script, and its columns', for a key to name.
    const std::string& TableName() const { return m_name; }
    const std::vector<std::string>& ColumnNames(const mDBase& table);
    // Field i's value in the loaded record as the script compares it: false
    // for NULL. Numbers that the database holds as equal give equal texts.
    bool KeyValue(const mDBase& table, int field, std::string& value);

protected:
    void Prepare(const mDBase& table) override;
    void AppendStart(const mDBase& table, LineBuffer& out) override;
    void AppendRecord(const mDBase& table, LineBuffer& out) override;
    void AppendEnd(const mDBase& table, LineBuffer& out) override;

private:
    // How a field's values are written, and its column's type.
    enum class ValueType : std::uint8_t {
        Text, Decimal, Whole, Date, Logical, Integer, Double, Currency, Timestamp,
        MemoText, MemoBinary, InlineBinary,
    };
    struct Column {
        int Field;
        const FieldDescriptor* Descriptor;
        ValueType Type;
        bool Nullable;   // a Visual FoxPro field with a null bit
        bool VarLength;  // its value is shorter than the field
        std::string Name; // quoted
        std::string SqlType;
    };

    void AppendValue(const mDBase& table, const Column& column, LineBuffer& out);
    void AppendCharacters(LineBuffer& out, std::string_view stored, int field);
    // Converted and escaped at once, through the table of a single-byte page.
    void AppendByForms(LineBuffer& out, std::string_view text, int field);
    void AppendOtherValue(const mDBase& table, const Column& column, std::string_view stored, LineBuffer& out);
    // NULL for no value; one that is not what its type says is counted.
    void AppendNoValue(LineBuffer& out, Decoded decoded, int field);
    void AppendNull(LineBuffer& out) const;
    void AppendBoolean(LineBuffer& out, bool value) const;
    // A date or a timestamp: a literal in SQLite, as is in COPY.
    void AppendLiteral(LineBuffer& out, std::string_view ascii) const;
    void AppendNumber(const Column& column, std::string_view stored, LineBuffer& out);
    void AppendDouble(LineBuffer& out, double value);
    void AppendText(LineBuffer& out, std::string_view utf8, int field);
    void AppendTextPiece(LineBuffer& out, std::string_view utf8, int field);
    // The text as the dialect writes it; returns how many NULs became U+FFFD.
    size_t EscapeText(LineBuffer& out, std::string_view utf8) const;
    void EscapeRun(LineBuffer& out, std::string_view utf8) const; // no NUL in it
    // A text literal stands between quotes in SQLite, as it is in COPY; a
    // blob between X' and ', or after \\x.
    void QuoteText(LineBuffer& out) const;
    void OpenBytes(LineBuffer& out) const;
    void CloseBytes(LineBuffer& out) const;
    void AppendBytes(LineBuffer& out, std::string_view bytes) const;
    void AppendBytesPiece(LineBuffer& out, std::string_view bytes) const;
    void AppendMemo(const mDBase& table, const Column& column, LineBuffer& out);
    void EndStatement(LineBuffer& out);

    static void AppendConstraint(const SqlKey& key, std::string& out);

    SqlDialect m_dialect;
    std::string m_name;      // the table's, as given
    std::string m_tableName; // quoted
    bool m_preamble = true;
    std::vector<SqlKey> m_tableKeys;
    std::vector<std::string> m_columnNames;
    std::string m_insert;    // SQLite: the start of each INSERT statement
    std::vector<Column> m_columns;
    bool m_replace = false;
    // SQLite: the rows and bytes of the INSERT statement being written.
    std::uint32_t m_statementRows = 0;
    std::uint64_t m_statementStart = 0;
    std::string m_scratch;
    struct ByteForms;
    std::unique_ptr<ByteForms> m_forms; // a single-byte page's texts
};
