#pragma once

#include "export/ExportWriter.h"
#include "table/TableFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct FieldDescriptor;

class CodePageConverter;

enum class SqlDialect : std::uint8_t {
    PostgreSql, // for psql: the rows in COPY's text format
    Sqlite,     // for the sqlite3 shell: multi-row INSERT statements
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

    SqlDialect m_dialect;
    std::string m_tableName; // quoted
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
