#pragma once

#include "export/ExportWriter.h"
#include "export/SqlDialect.h"
#include "table/TableFormat.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CodePageConverter;

// The names of one script's tables, or of one table's columns: lower-cased,
// without control bytes, fitted to what the dialect's database keeps, and _2, _3 for one that
// repeats; an empty name becomes the fallback given.
class SqlNames {
public:
    explicit SqlNames(const SqlDialect& dialect) : m_dialect(dialect) {}
    std::string Add(std::string_view utf8, const std::string& fallback = "");

private:
    const SqlDialect& m_dialect;
    std::set<std::string> m_used;
};

// Writes a table as an SQL script that creates it, with a typed column for
// each field, and loads every record. Texts are UTF-8; a value that cannot be
// what its field's type says is NULL, and counted. What differs between
// databases (names, types, the spelling of values, how the script begins,
// loads and ends) is the dialect's; the walk through the records and the
// decoding of their values are the same for all.
class SqlScriptWriter : public ExportWriter {
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

    // The table as the script creates it, without its fields' descriptors
    // (the copy outlives the table).
    SqlTable Described(const mDBase& table);

protected:
    void Prepare(const mDBase& table) override;
    void AppendStart(const mDBase& table, LineBuffer& out) override;
    void AppendRecord(const mDBase& table, LineBuffer& out) override;
    void AppendEnd(const mDBase& table, LineBuffer& out) override;

private:
    // The bytes of a text that its forms write otherwise than as
    // themselves, told a word at a time: those above 0x7F where High is
    // 0x80 in every byte (the page's upper half converted), and eight times
    // each of the two Special bytes (the same twice where there is one).
    struct Marks {
        std::uint64_t High;
        std::uint64_t Special[2];
    };
    struct ByteForms;
    std::unique_ptr<ByteForms> MakeForms(const CodePageConverter* converter, bool hex) const;

    void AppendValues(const mDBase& table, LineBuffer& out);
    void AppendValue(const mDBase& table, const SqlColumn& column, LineBuffer& out);
    // The kinds of value nearly every table's fields hold (texts of a
    // single-byte page, numbers, dates, logicals) are written straight into
    // room claimed for them: at `to`, which has room for the value's
    // MostBytes and kSlack more. Each returns the end of what it wrote.
    // The others go through the buffer.
    static constexpr size_t kSlack = 32;
    enum class Writes : std::uint8_t { Characters, CharacterBytes, Number, Date, Logical, ThroughBuffer };
    Writes WritingOf(const SqlColumn& column, size_t stored) const;
    char* WriteValue(Writes writes, const SqlColumn& column, std::string_view stored, char* to);
    // How a text is read: a piece that may not be read past its end; a view
    // of the record, in whole words; or a view of the record byte by byte.
    enum class Reading : std::uint8_t { Piece, Words, Bytes };
    char* WriteCharacters(char* to, std::string_view stored, int field, Reading reading);
    char* WriteNumber(const SqlColumn& column, std::string_view stored, char* to);
    char* WriteDecodedNumber(const SqlColumn& column, std::string_view stored, char* to);
    char* WriteNoValue(char* to, Decoded decoded, int field);
    char* WriteQuote(char* to) const;
    // An INSERT row: its start, and the row where statements are kept under
    // a length.
    void StartRow(LineBuffer& out);
    void AppendRowAtMost(const mDBase& table, LineBuffer& out);
    void AppendCharacters(LineBuffer& out, std::string_view stored, int field);
    // A text the dialect writes in hexadecimal, if it is one.
    bool AppendHexText(LineBuffer& out, std::string_view text, int field);
    // Converted (by a single-byte page's table) and escaped at once.
    void AppendByForms(LineBuffer& out, std::string_view text, int field, const ByteForms& forms);
    // The bytes of a text that became U+FFFD, counted.
    void CountReplaced(std::string_view text, int field, const ByteForms& forms);
    static char* WriteForms(char* to, const char* from, size_t size, Reading reading, const ByteForms& forms,
                            std::uint8_t& replaced);
    static std::uint64_t OtherBytes(std::uint64_t word, const Marks& marks);
    // Around a text, a date or a timestamp, where the dialect quotes them.
    void AppendQuote(LineBuffer& out) const;
    // The values of other types, decoded.
    void AppendOtherValue(const mDBase& table, const SqlColumn& column, LineBuffer& out);
    // NULL for no value; one that is not what its type says is counted.
    void AppendNoValue(LineBuffer& out, Decoded decoded, int field);
    void AppendDouble(LineBuffer& out, double value, int field);
    // The carriage returns of a text, in the UTF-8 of its bytes.
    static std::uint64_t Returns(std::string_view text, const ByteForms& forms);
    void AppendBytes(LineBuffer& out, std::string_view bytes) const;
    void AppendBytesPiece(LineBuffer& out, std::string_view bytes) const;
    void AppendMemo(const MemoFile::Memo& memo, const SqlColumn& column, LineBuffer& out);
    bool AppendHexMemo(const MemoFile::Memo& memo, int field, LineBuffer& out);
    void EndStatement(LineBuffer& out);
    // The most bytes a value of the column takes, of a field or memo of that
    // length; and a row of the record the table holds.
    std::uint64_t MostBytes(const SqlColumn& column, std::uint64_t length) const;
    std::uint64_t RowBytes(const mDBase& table);

    const std::unique_ptr<const SqlDialect> m_dialect;
    bool m_partOfScript = false;
    const SqlRows m_rows;
    const SqlSpelling m_spelling;
    const SqlHexTexts m_hexTexts;
    const std::uint64_t m_hexAfter; // the longest text never in hexadecimal
    SqlTable m_table;
    // How each column goes into a row, decided once for the table: written
    // directly from the field's bytes in the record, or through AppendValue
    // (memos, texts that may go in hexadecimal or need converting, fields
    // that may be null or shorter, other types).
    struct ColumnWriting {
        const SqlColumn* Column;
        Writes Do;
        std::uint32_t Offset; // the field's bytes in the record
        std::uint32_t Width;
        // Of a text column's first texts, how many were seen and how many
        // hold a byte to convert or escape (see Sample).
        std::uint16_t Sampled;
        std::uint16_t Marked;
    };
    static constexpr std::uint16_t kSampledTexts = 256;
    void Sample(ColumnWriting& column, std::string_view stored);
    std::vector<ColumnWriting> m_writings;
    std::uint64_t m_rowBytes = 0; // the room claimed for a row's values
    std::string m_insert; // the start of each INSERT statement
    // The rows and bytes of the INSERT statement being written.
    std::uint32_t m_statementRows = 0;
    std::uint64_t m_statementStart = 0;
    std::string m_scratch;
    unsigned m_textBytes = 0;         // the most a text's byte becomes
    std::uint64_t m_recordBytes = 0;  // the most a row takes, its memos apart
    size_t m_memoColumns = 0;
    FieldValue m_value;
    std::vector<FieldValue> m_found;  // a row's memos, by field
    std::unique_ptr<ByteForms> m_escapes; // a UTF-8 text's bytes
    std::unique_ptr<ByteForms> m_forms;   // a single-byte page's, converted
    std::unique_ptr<ByteForms> m_hexEscapes, m_hexForms; // the same in hexadecimal
};
