#pragma once

// How each value of a record is written into an SQL script. Classes: SqlValueWriter.

#include "export/ExportWriter.h"
#include "export/SqlByteForms.h"
#include "export/SqlDialect.h"
#include "table/TableFormat.h"
#include "table/mDBase.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CodePageConverter;

// The values of a table's records as a dialect spells them: texts in UTF-8,
// converted and escaped by the dialect's byte forms (or in hexadecimal, where
// the dialect writes some so); numbers fitted to their column; dates,
// logicals, doubles, blobs and memos. A value that cannot be what its field's
// type says is NULL, and counted. What goes around the values (statements,
// rows) is the script writer's.
class SqlValueWriter : public ExportWriter {
public:
    ~SqlValueWriter() override;

protected:
    // The converter takes the table's texts to UTF-8.
    SqlValueWriter(std::unique_ptr<const SqlDialect> dialect, const CodePageConverter& converter);

    const SqlDialect& Dialect() const { return *m_dialect; }

    // How each column is written, decided once for the table; the columns
    // are kept until the next table.
    void PrepareColumns(const mDBase& table, const std::vector<SqlColumn>& columns);
    // The loaded record's values, one for each column, between separators
    // (a table has a column at least).
    void AppendValues(const mDBase& table, LineBuffer& out);
    // The most a row of the record takes, its memos apart: its values, the
    // separators and two bytes around them.
    std::uint64_t RecordBytes() const { return m_recordBytes; }
    bool HasMemos() const { return m_memoColumns > 0; }
    // The loaded record's memos, found before it is written (and from then on
    // not found again as it is): the most bytes they take.
    std::uint64_t FindMemos(const mDBase& table);

private:
    // The kinds of value nearly every table's fields hold (texts of a
    // single-byte page, numbers, dates, logicals) are written straight into
    // room claimed for them: at `to`, which has room for the value's
    // MostBytes and kSlack more. Each returns the end of what it wrote.
    // The others go through the buffer.
    static constexpr size_t kSlack = 32;
    // Characters, of a column whose first texts are sampled (see
    // SqlTextSample), become words or bytes once they are.
    enum class Writes : std::uint8_t {
        Characters, CharacterBytes, SampledCharacters, Number, Date, Logical, ThroughBuffer
    };
    using Reading = SqlByteForms::Reading;
    Writes WritingOf(const SqlColumn& column, size_t stored) const;
    // Whether values of the type may be written from their stored bytes
    // (texts, numbers, dates, logicals); the others are decoded.
    static bool WrittenAsStored(SqlValue value);
    struct ColumnWriting;
    // writing: where the value's column is sampled; null elsewhere.
    char* WriteValue(Writes writes, ColumnWriting* writing, const SqlColumn& column, std::string_view stored,
                     char* to);
    char* WriteSampledCharacters(ColumnWriting& writing, std::string_view stored, char* to);
    char* WriteCharacters(char* to, std::string_view stored, int field, Reading reading);
    char* WriteNumber(const SqlColumn& column, std::string_view stored, char* to);
    char* WriteDecodedNumber(const SqlColumn& column, std::string_view stored, char* to);
    char* WriteNoValue(char* to, Decoded decoded, int field);
    char* WriteQuote(char* to) const;

    void AppendValue(const mDBase& table, const SqlColumn& column, LineBuffer& out);
    void AppendCharacters(LineBuffer& out, std::string_view stored, int field);
    // A text the dialect writes in hexadecimal, if it is one.
    bool AppendHexText(LineBuffer& out, std::string_view text, int field);
    // Converted (by a single-byte page's table) and escaped at once.
    void AppendByForms(LineBuffer& out, std::string_view text, int field, const SqlByteForms& forms);
    // The bytes of a text that became U+FFFD, counted.
    void CountReplaced(std::string_view text, int field, const SqlByteForms& forms);
    // Around a text, a date or a timestamp, where the dialect quotes them.
    void AppendQuote(LineBuffer& out) const;
    // The values of other types, decoded.
    void AppendOtherValue(const mDBase& table, const SqlColumn& column, LineBuffer& out);
    // NULL for no value; one that is not what its type says is counted.
    void AppendNoValue(LineBuffer& out, Decoded decoded, int field);
    void AppendDouble(LineBuffer& out, double value, int field);
    void AppendBytes(LineBuffer& out, std::string_view bytes) const;
    void AppendBytesPiece(LineBuffer& out, std::string_view bytes) const;
    void AppendMemo(const MemoFile::Memo& memo, const SqlColumn& column, LineBuffer& out);
    bool AppendHexMemo(const MemoFile::Memo& memo, int field, LineBuffer& out);
    // The most bytes a value of the column takes, of a field or memo of that
    // length.
    std::uint64_t MostBytes(const SqlColumn& column, std::uint64_t length) const;

    // Writing at a place in the output that has room: a text's bytes, and a
    // short text in one move of eight bytes.
    static char* Put(char* to, std::string_view text)
    {
        std::memcpy(to, text.data(), text.size());
        return to + text.size();
    }
    static ORVALIS_ALWAYS_INLINE char* Put(char* to, const ShortText& text)
    {
        std::memcpy(to, text.Bytes, sizeof text.Bytes);
        return to + text.Length;
    }

    const std::unique_ptr<const SqlDialect> m_dialect;
    const SqlSpelling m_spelling;
    const char m_separator; // between the values of a row
    const std::optional<SqlHexTexts> m_hexTexts;
    const std::uint64_t m_hexAfter; // the longest text never in hexadecimal
    // How each column goes into a row, decided once for the table: written
    // directly from the field's bytes in the record, or through AppendValue
    // (memos, texts that may go in hexadecimal or need converting, fields
    // that may be null or shorter, other types).
    struct ColumnWriting {
        const SqlColumn* Column;
        Writes Do;
        std::uint32_t Offset; // the field's bytes in the record
        std::uint32_t Width;
        SqlTextSample Sample; // of a text column's first texts
    };
    const std::vector<SqlColumn>* m_columns = nullptr;
    std::vector<ColumnWriting> m_writings;
    std::uint64_t m_rowBytes = 0; // the room claimed for a row's values
    std::string m_scratch;
    unsigned m_textBytes = 0;         // the most a text's byte becomes
    std::uint64_t m_recordBytes = 0;  // the most a row takes, its memos apart
    size_t m_memoColumns = 0;
    FieldValue m_value;
    std::vector<FieldValue> m_found;  // a row's memos, by field
    bool m_memosFound = false;        // found before each row is written
    std::unique_ptr<SqlByteForms> m_escapes; // a UTF-8 text's bytes
    std::unique_ptr<SqlByteForms> m_forms;   // a single-byte page's, converted
    std::unique_ptr<SqlByteForms> m_hexEscapes, m_hexForms; // the same in hexadecimal
};

// The walk through a record's values is the hottest code of an export: it
// and the writing of the common values are inline in the walk of the records.

ORVALIS_ALWAYS_INLINE void SqlValueWriter::AppendValues(const mDBase& table, LineBuffer& out)
{
    // Room for the whole row claimed once, the values written in it; a
    // value of any length goes through the buffer, and the room is claimed
    // again after it. A separator follows every value, the last taken back.
    const char separator = m_separator;
    const char* const record = table.RecordBytes();
    ColumnWriting* const first = m_writings.data();
    ColumnWriting* const end = first + m_writings.size();
    char* to = out.Claim(m_rowBytes);
    for (ColumnWriting* column = first; column != end; ++column) {
        if (column->Do != Writes::ThroughBuffer) {
            const std::string_view stored(record + column->Offset, column->Width);
            to = WriteValue(column->Do, column, *column->Column, stored, to);
        } else {
            out.Keep(to);
            AppendValue(table, *column->Column, out);
            to = out.Claim(m_rowBytes);
        }
        *to++ = separator;
    }
    out.Keep(to - 1);
}

ORVALIS_ALWAYS_INLINE char* SqlValueWriter::WriteValue(Writes writes, ColumnWriting* writing,
                                                      const SqlColumn& column, std::string_view stored, char* to)
{
    const int i = column.Field;
    switch (writes) {
    case Writes::Number:
        return WriteNumber(column, stored, to);
    case Writes::Date: {
        CalendarDate date;
        const Decoded decoded = DecodeDate(stored, date);
        if (decoded != Decoded::Value)
            return WriteNoValue(to, decoded, i);
        // Read before the quote is written, which might be the record's
        // bytes for all the compiler knows.
        const std::uint64_t digits = LoadWord(stored.data());
        return WriteQuote(WriteDateDigits(WriteQuote(to), digits));
    }
    case Writes::Logical: {
        bool value = false;
        const Decoded decoded = DecodeLogical(stored, value);
        if (decoded != Decoded::Value)
            return WriteNoValue(to, decoded, i);
        return Put(to, value ? m_spelling.True : m_spelling.False);
    }
    case Writes::CharacterBytes:
        return WriteCharacters(to, stored, i, Reading::Bytes);
    case Writes::SampledCharacters:
        return WriteSampledCharacters(*writing, stored, to);
    default:
        return WriteCharacters(to, stored, i, Reading::Words);
    }
}

ORVALIS_ALWAYS_INLINE char* SqlValueWriter::WriteQuote(char* to) const
{
    *to = m_spelling.Quote;
    return to + (m_spelling.Quote ? 1 : 0);
}

ORVALIS_ALWAYS_INLINE char* SqlValueWriter::WriteNumber(const SqlColumn& column, std::string_view stored, char* to)
{
    // Nearly every number is stored as it is written: its text copied, in
    // one move of 16 bytes (a view of the record, which may be read so far).
    // The digits must fit the column (see WriteDecodedNumber); a minus sign
    // is counted as one, which leaves a number of every digit it holds to
    // the rest.
    const size_t start = PlainNumberStart(stored, column.Places);
    const size_t length = stored.size() - start;
    if (start != std::string_view::npos && length <= column.Digits + (column.Places > 0 ? 1 : 0)) {
        std::memcpy(to, stored.data() + start, 16);
        return to + length;
    }
    return WriteDecodedNumber(column, stored, to);
}

// A text of a single-byte page that never goes in hexadecimal, read as a
// view of the record (in words, or byte by byte).
ORVALIS_ALWAYS_INLINE char* SqlValueWriter::WriteCharacters(char* to, std::string_view stored, int field,
                                                           Reading reading)
{
    // The trailing blanks of a character value go, and the NULs some
    // writers pad with.
    const std::string_view text = stored.substr(0, PaddedEnd(stored));
    std::uint8_t replaced = 0;
    to = WriteQuote(to);
    to = m_forms->Write(to, text.data(), text.size(), reading, replaced);
    if (replaced)
        CountReplaced(text, field, *m_forms);
    return WriteQuote(to);
}
