#include "export/SqlScriptWriter.h"

#include "framework/CodePage.h"
#include "framework/ByteSearch.h"
#include "framework/Utf8.h"
#include "table/mDBase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

namespace {


// The lower case of the letters of the alphabets the code pages of tables
// hold: Latin, Greek, Cyrillic.
char32_t Lower(char32_t c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    // Latin Extended-A: pairs of capital and small letter.
    const bool evenCapital = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((evenCapital && c % 2 == 0) || (oddCapital && c % 2 == 1))
        return c + 1;
    if (c == 0x178)
        return 0xFF;
    return c;
}

// A name in lower case and without control bytes, which no database takes
// in a name (a NUL among them).
std::string LowerCase(std::string_view utf8)
{
    std::string lower;
    for (size_t at = 0, length = 0; at < utf8.size(); at += length) {
        if (static_cast<unsigned char>(utf8[at]) < 0x20 || utf8[at] == 0x7F) {
            length = 1;
            continue;
        }
        const char32_t c = DecodeUtf8(utf8, at, length);
        // Every capital handled takes one or two bytes, as does its small letter.
        if (c < 0x800 && (length == 2 || c < 0x80))
            AppendUtf8(Lower(c), lower);
        else
            lower.append(utf8.substr(at, length));
    }
    return lower;
}

const char kHexDigits[] = "0123456789abcdef";

// Writing at a place in the output that has room: a text's bytes, and a short
// text in one move of eight bytes.
char* Put(char* to, std::string_view text)
{
    std::memcpy(to, text.data(), text.size());
    return to + text.size();
}

ORVALIS_ALWAYS_INLINE char* Put(char* to, const ShortText& text)
{
    std::memcpy(to, text.Bytes, sizeof text.Bytes);
    return to + text.Length;
}

} // namespace

// What each byte becomes in a text of the script, as the dialect writes it:
// itself in a UTF-8 text, or its UTF-8 form in a single-byte page; escaped.
// One look-up a byte converts and escapes the many short texts of a table.
struct SqlScriptWriter::ByteForms {
    char Form[256][16];         // at most 14 bytes, then anything
    std::uint8_t Length[256];
    std::uint8_t Replaced[256]; // 1 where the byte became U+FFFD
    std::uint8_t Returns[256];  // the carriage returns of its UTF-8
    // Eight bytes are copied as they are where none is below 0x20 and none
    // is marked (see Marks), as most are; never without Words.
    bool Words;
    Marks Marked;
};

SqlScriptWriter::SqlScriptWriter(std::unique_ptr<const SqlDialect> dialect, std::string tableName,
                                 const CodePageConverter& converter)
    : m_dialect(std::move(dialect)), m_rows(m_dialect->Rows()), m_spelling(m_dialect->Spelling()),
      m_hexTexts(m_dialect->HexTexts()), m_hexAfter(m_hexTexts.After > 0 ? m_hexTexts.After : ~std::uint64_t{ 0 })
{
    m_table.Name = m_dialect->Fitted(LowerCase(tableName));
    SetConverter(&converter);
    m_escapes = MakeForms(nullptr, false);
    if (converter.ConvertsByTable())
        m_forms = MakeForms(&converter, false);
    if (m_hexTexts.After > 0) {
        m_hexEscapes = MakeForms(nullptr, true);
        if (converter.ConvertsByTable())
            m_hexForms = MakeForms(&converter, true);
    }
}

SqlScriptWriter::~SqlScriptWriter() = default;

std::unique_ptr<SqlScriptWriter::ByteForms> SqlScriptWriter::MakeForms(const CodePageConverter* converter,
                                                                     bool hex) const
{
    // Each byte of a text's UTF-8 as the dialect writes it, or in
    // hexadecimal; a NUL the database does not hold becomes U+FFFD.
    const bool nul = !m_dialect->HoldsNul();
    const auto escaped = [&](unsigned char c) -> std::string {
        if (c == 0 && nul)
            return hex ? "efbfbd" : std::string(kReplacementCharacter);
        if (hex)
            return { kHexDigits[c >> 4], kHexDigits[c & 15] };
        return c < 0x80 ? m_dialect->EscapedByte(static_cast<char>(c)) : std::string(1, static_cast<char>(c));
    };
    auto forms = std::make_unique<ByteForms>();
    std::vector<std::uint64_t> specials;
    for (unsigned b = 0; b < 256; ++b) {
        const char one = static_cast<char>(b);
        std::string utf8(1, one);
        bool replaced = false;
        if (converter) {
            utf8.clear();
            replaced = converter->AppendUtf8(std::string_view(&one, 1), utf8) != 0;
        }
        std::string form;
        for (const char c : utf8) {
            form += escaped(static_cast<unsigned char>(c));
            replaced = replaced || (c == 0 && nul);
        }
        std::memcpy(forms->Form[b], form.data(), std::min(form.size(), sizeof forms->Form[b]));
        forms->Length[b] = static_cast<std::uint8_t>(form.size());
        forms->Replaced[b] = replaced;
        forms->Returns[b] = static_cast<std::uint8_t>(std::count(utf8.begin(), utf8.end(), '\r'));
        if (b >= 0x20 && (b < 0x80 || !converter) && form != std::string(1, one))
            specials.push_back(0x0101010101010101u * b);
    }
    // Only a table that keeps ASCII keeps the words of plain letters.
    forms->Words = (!converter || converter->KeepsAscii()) && specials.size() <= 2;
    forms->Marked.High = converter ? 0x8080808080808080u : 0;
    specials.resize(2, specials.empty() ? 0 : specials[0]); // a NUL is below 0x20 anyway
    forms->Marked.Special[0] = specials[0];
    forms->Marked.Special[1] = specials[1];
    return forms;
}

void SqlScriptWriter::Prepare(const mDBase& table)
{
    const int fields = table.GetFieldCount();
    if (fields == 0)
        throw CFileException(CFileException::invalidFile, table.GetPath(), 0,
                             "La tabla %s no tiene campos: no hay tabla SQL que crear con ella.");
    // A script the database could not load is no script: said before it is written.
    if (static_cast<size_t>(fields) > m_dialect->MostColumns()) {
        CString format;
        format.Format("La tabla %%s tiene %d campos y la base de datos admite %u columnas como mucho.", fields,
                      static_cast<unsigned>(m_dialect->MostColumns()));
        throw CFileException(CFileException::invalidFile, table.GetPath(), 0, format);
    }
    m_table.Columns.clear();
    SqlNames names(*m_dialect);
    for (int i = 0; i < fields; ++i) {
        const FieldDescriptor& field = table.GetField(i);
        SqlColumn column;
        column.Field = i;
        column.Descriptor = &field;
        column.Value = ValueTypeOf(field);
        column.Nullable = field.NullBit >= 0;
        column.VarLength = field.Kind == FieldKind::VarCharacter;
        if (column.Value == SqlValue::Decimal || column.Value == SqlValue::Whole) {
            column.Places = std::min<unsigned>(field.Decimals, m_dialect->MostPlaces());
            column.Digits = std::min(std::max<unsigned>({ field.Length, field.Decimals, 1u }), m_dialect->MostDigits());
        }

        std::string utf8;
        Converter()->AppendUtf8(FieldName(table, i), utf8);
        column.Name = names.Add(utf8, "campo" + std::to_string(i + 1));
        m_table.Columns.push_back(std::move(column));
    }
    m_dialect->SetTypes(m_table.Columns);

    // Where statements are kept under a length: the most a byte of a text
    // becomes (a single-byte page's form, or a character of up to 3 bytes,
    // or an ASCII byte's escape), and what the fields in the record take.
    const ByteForms& forms = m_forms ? *m_forms : *m_escapes;
    m_textBytes = *std::max_element(forms.Length, forms.Length + 256);
    if (!m_forms)
        m_textBytes = std::max<unsigned>(m_textBytes, 3);
    m_recordBytes = 2;
    m_memoColumns = 0;
    for (const SqlColumn& column : m_table.Columns) {
        const bool memo = column.Value == SqlValue::MemoText || column.Value == SqlValue::MemoBinary;
        m_recordBytes += 1 + (memo ? 0 : MostBytes(column, column.Descriptor->Length));
        m_memoColumns += memo;
    }
    m_found.assign(m_table.Columns.size(), FieldValue());

    m_writings.clear();
    for (const SqlColumn& column : m_table.Columns) {
        const FieldDescriptor& field = *column.Descriptor;
        const auto width = static_cast<std::uint32_t>(table.FieldView(field).size());
        const Writes writes = column.Nullable || column.VarLength ? Writes::ThroughBuffer : WritingOf(column, width);
        m_writings.push_back({ &column, writes, std::min<std::uint32_t>(field.Offset, table.GetRecordLength()), width,
                               0, 0 });
    }
    // The row's separators and its values, the memos apart, and what the
    // writing of a value may put past its end.
    m_rowBytes = m_recordBytes + kSlack;
}

void SqlScriptWriter::AppendStart(const mDBase& /*table*/, LineBuffer& out)
{
    out.Append((m_partOfScript ? std::string() : m_dialect->BeginScript()) + m_dialect->BeginTable(m_table));
    m_insert = m_dialect->InsertInto(m_table);
    m_statementRows = 0;
}

ORVALIS_ALWAYS_INLINE void SqlScriptWriter::AppendValues(const mDBase& table, LineBuffer& out)
{
    // Room for the whole row claimed once, the values written in it; a
    // value of any length goes through the buffer, and the room is claimed
    // again after it.
    const char separator = m_rows.Separator;
    const char* const record = table.RecordBytes();
    ColumnWriting* const first = m_writings.data();
    ColumnWriting* const end = first + m_writings.size();
    char* to = out.Claim(m_rowBytes);
    for (ColumnWriting* column = first; column != end; ++column) {
        if (column != first)
            *to++ = separator;
        if (column->Do != Writes::ThroughBuffer) {
            const std::string_view stored(record + column->Offset, column->Width);
            if (column->Do == Writes::Characters && column->Sampled < kSampledTexts)
                Sample(*column, stored);
            to = WriteValue(column->Do, *column->Column, stored, to);
            continue;
        }
        out.Keep(to);
        AppendValue(table, *column->Column, out);
        to = out.Claim(m_rowBytes);
    }
    out.Keep(to);
}

void SqlScriptWriter::AppendRecord(const mDBase& table, LineBuffer& out)
{
    if (!m_rows.Inserts) {
        AppendValues(table, out);
        out.Append('\n');
        return;
    }
    if (m_rows.LengthAtMost) {
        AppendRowAtMost(table, out);
        return;
    }
    StartRow(out);
    AppendValues(table, out);
    out.Append(')');
    if (++m_statementRows == m_rows.StatementRows || Position(out) - m_statementStart >= m_rows.StatementBytes)
        EndStatement(out);
}

void SqlScriptWriter::AppendRowAtMost(const mDBase& table, LineBuffer& out)
{
    // A row that makes the statement too long becomes the first of the
    // next; one that a memo may send to the file in part while it is
    // written is told by the most it can take.
    bool told = false;
    const std::uint64_t rowStart = Position(out);
    if (m_memoColumns) {
        const std::uint64_t most = RowBytes(table);
        told = out.Size() + most >= kBlockSize;
        if (told && m_statementRows > 0 && rowStart - m_statementStart + most + 4 > m_rows.StatementBytes)
            EndStatement(out);
    }
    StartRow(out);
    AppendValues(table, out);
    out.Append(')');
    // The ",\n" before the row becomes the end of one statement and the
    // start of the next, ";\n" counted.
    if (!told && m_statementRows > 0 && Position(out) - m_statementStart + 2 > m_rows.StatementBytes) {
        out.Replace(static_cast<size_t>(rowStart - (Position(out) - out.Size())), 2, ";\n" + m_insert);
        m_statementStart = rowStart + 2;
        m_statementRows = 0;
    }
    ++m_statementRows;
}

ORVALIS_ALWAYS_INLINE void SqlScriptWriter::StartRow(LineBuffer& out)
{
    if (m_statementRows > 0) {
        out.Append(ShortText(",\n("));
        return;
    }
    m_statementStart = Position(out);
    out.Append(m_insert);
    out.Append('(');
}

void SqlScriptWriter::EndStatement(LineBuffer& out)
{
    if (m_statementRows > 0)
        out.Append(";\n");
    m_statementRows = 0;
}

std::uint64_t SqlScriptWriter::MostBytes(const SqlColumn& column, std::uint64_t length) const
{
    std::uint64_t most = 0;
    switch (column.Value) {
    case SqlValue::Characters:
    case SqlValue::OtherText:
    case SqlValue::MemoText:
        most = 2 + length * m_textBytes;
        break;
    case SqlValue::MemoBinary:
    case SqlValue::InlineBinary:
        most = m_spelling.BytesOpen.Length + m_spelling.BytesClose.Length + 2 * length;
        break;
    default:
        // A number (with a sign or a 0 more than stored), a date, a time, a
        // double, a boolean.
        most = 2 + std::max<std::uint64_t>(length, 30);
        break;
    }
    return std::max<std::uint64_t>(most, m_spelling.Null.Length);
}

std::uint64_t SqlScriptWriter::RowBytes(const mDBase& table)
{
    // The record's memos are found before it is written: their lengths are
    // part of it. The parentheses and separators are counted once.
    std::uint64_t most = m_recordBytes;
    for (const SqlColumn& column : m_table.Columns) {
        if (column.Value != SqlValue::MemoText && column.Value != SqlValue::MemoBinary)
            continue;
        FieldValue& found = m_found[static_cast<size_t>(column.Field)];
        Decode(table, column.Field, found);
        most += MostBytes(column, found.What == FieldValue::Is::Memo ? found.Memo.Length : 0);
    }
    return most;
}

void SqlScriptWriter::AppendEnd(const mDBase& /*table*/, LineBuffer& out)
{
    EndStatement(out);
    out.Append(m_dialect->EndTable(m_table) + (m_partOfScript ? std::string() : m_dialect->EndScript()));
}

void SqlScriptWriter::AppendValue(const mDBase& table, const SqlColumn& column, LineBuffer& out)
{
    const int i = column.Field;
    if (column.Nullable && table.IsNullValue(i)) {
        out.Append(m_spelling.Null);
        return;
    }
    const std::string_view stored = column.VarLength ? table.ValueView(i) : table.FieldView(*column.Descriptor);
    if (const Writes writes = WritingOf(column, stored.size()); writes != Writes::ThroughBuffer) {
        out.Keep(WriteValue(writes, column, stored, out.Claim(MostBytes(column, stored.size()) + kSlack)));
        return;
    }
    if (column.Value == SqlValue::Characters || column.Value == SqlValue::OtherText)
        AppendCharacters(out, stored, i);
    else
        AppendOtherValue(table, column, out);
}

// A text column's first texts tell how it is written best: in words, where
// most words are copied as they are, or each byte through the table, where
// most texts hold a byte to convert or escape (accented names, say) and
// the test of each word would go one way and the other at random.
void SqlScriptWriter::Sample(ColumnWriting& column, std::string_view stored)
{
    const std::string_view text = stored.substr(0, PaddedEnd(stored));
    std::uint64_t others = 0;
    for (size_t at = 0; at < text.size(); at += 8)
        others |= OtherBytes(LoadWord(text.data() + at), m_forms->Marked) &
                  (~std::uint64_t{ 0 } >> (64 - 8 * std::min<size_t>(8, text.size() - at)));
    column.Marked += others != 0;
    if (++column.Sampled == kSampledTexts && column.Marked > kSampledTexts / 2)
        column.Do = Writes::CharacterBytes;
}

// How a column's value of so many stored bytes is written.
SqlScriptWriter::Writes SqlScriptWriter::WritingOf(const SqlColumn& column, size_t stored) const
{
    switch (column.Value) {
    case SqlValue::Characters:
    case SqlValue::OtherText:
        return m_forms && stored <= m_hexAfter ? Writes::Characters : Writes::ThroughBuffer;
    case SqlValue::Decimal:
    case SqlValue::Whole:
        return Writes::Number;
    case SqlValue::Date:
        return Writes::Date;
    case SqlValue::Logical:
        return Writes::Logical;
    default:
        return Writes::ThroughBuffer;
    }
}

ORVALIS_ALWAYS_INLINE char* SqlScriptWriter::WriteValue(Writes writes, const SqlColumn& column,
                                                       std::string_view stored, char* to)
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
        // The stored digits, which the decoding found to be a date, moved
        // apart in a word: the year, a dash, the month, a dash; the day.
        const std::uint64_t digits = LoadWord(stored.data());
        const std::uint64_t yearAndMonth = (digits & 0xFFFFFFFFu) | std::uint64_t{ '-' } << 32 |
                                           (digits >> 32 & 0xFFFF) << 40 | std::uint64_t{ '-' } << 56;
        const auto day = static_cast<std::uint16_t>(digits >> 48);
        to = WriteQuote(to);
        std::memcpy(to, &yearAndMonth, 8);
        std::memcpy(to + 8, &day, 2);
        return WriteQuote(to + 10);
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
    default:
        return WriteCharacters(to, stored, i, Reading::Words);
    }
}

ORVALIS_ALWAYS_INLINE char* SqlScriptWriter::WriteQuote(char* to) const
{
    *to = m_spelling.Quote;
    return to + (m_spelling.Quote ? 1 : 0);
}

ORVALIS_ALWAYS_INLINE void SqlScriptWriter::AppendQuote(LineBuffer& out) const
{
    if (m_spelling.Quote)
        out.Append(m_spelling.Quote);
}

void SqlScriptWriter::AppendNoValue(LineBuffer& out, Decoded decoded, int field)
{
    out.Keep(WriteNoValue(out.Claim(sizeof m_spelling.Null.Bytes), decoded, field));
}

char* SqlScriptWriter::WriteNoValue(char* to, Decoded decoded, int field)
{
    if (decoded == Decoded::Invalid)
        Warn(ExportWarnings::InvalidValue, field);
    return Put(to, m_spelling.Null);
}

// A text of a single-byte page that never goes in hexadecimal, read as a
// view of the record (in words, or byte by byte).
ORVALIS_ALWAYS_INLINE char* SqlScriptWriter::WriteCharacters(char* to, std::string_view stored, int field,
                                                            Reading reading)
{
    // The trailing blanks of a character value go, and the NULs some
    // writers pad with.
    const std::string_view text = stored.substr(0, PaddedEnd(stored));
    std::uint8_t replaced = 0;
    to = WriteQuote(to);
    to = WriteForms(to, text.data(), text.size(), reading, *m_forms, replaced);
    if (replaced)
        CountReplaced(text, field, *m_forms);
    return WriteQuote(to);
}

// The texts WriteCharacters does not write: converted first, or perhaps in
// hexadecimal.
void SqlScriptWriter::AppendCharacters(LineBuffer& out, std::string_view stored, int field)
{
    const std::string_view text = stored.substr(0, PaddedEnd(stored));
    if (text.size() > m_hexAfter && AppendHexText(out, text, field))
        return;
    AppendQuote(out);
    if (m_forms)
        AppendByForms(out, text, field, *m_forms);
    else
        AppendByForms(out, Converted(text, field), field, *m_escapes); // UTF-8 or a multibyte page
    AppendQuote(out);
}

bool SqlScriptWriter::AppendHexText(LineBuffer& out, std::string_view text, int field)
{
    if (Returns(text, m_forms ? *m_forms : *m_escapes) <= m_hexTexts.After)
        return false;
    out.Append(m_hexTexts.Open);
    if (m_forms)
        AppendByForms(out, text, field, *m_hexForms);
    else
        AppendByForms(out, Converted(text, field), field, *m_hexEscapes);
    out.Append(m_hexTexts.Close);
    return true;
}

void SqlScriptWriter::AppendOtherValue(const mDBase& table, const SqlColumn& column, LineBuffer& out)
{
    const int i = column.Field;
    const bool memo = column.Value == SqlValue::MemoText || column.Value == SqlValue::MemoBinary;
    // Memos found already, where the row's length was told.
    if (memo && m_rows.LengthAtMost)
        m_value = m_found[static_cast<size_t>(i)];
    else
        Decode(table, i, m_value);
    const FieldValue& value = m_value;
    switch (value.What) {
    case FieldValue::Is::Integer: {
        char* const to = out.Claim(24);
        out.Keep(std::to_chars(to, to + 24, value.Integer).ptr);
        return;
    }
    case FieldValue::Is::Currency:
        return AppendCurrency(out, value.Integer);
    case FieldValue::Is::Double:
        return AppendDouble(out, value.Double, i);
    case FieldValue::Is::DateTime: {
        // Milliseconds only where there are any, as SQLite's own functions
        // write a time.
        const unsigned ms = value.Time.Milliseconds;
        constexpr size_t kRoom = 32;
        AppendQuote(out);
        char* const text = out.Claim(kRoom);
        int length = std::snprintf(text, kRoom, "%04u-%02u-%02u %02u:%02u:%02u", value.Time.Date.Year,
                                   value.Time.Date.Month, value.Time.Date.Day, ms / 3600000, ms / 60000 % 60,
                                   ms / 1000 % 60);
        if (ms % 1000 != 0)
            length += std::snprintf(text + length, kRoom - static_cast<size_t>(length), ".%03u", ms % 1000);
        out.Keep(text + length);
        AppendQuote(out);
        return;
    }
    case FieldValue::Is::Memo:
        AppendMemo(value.Memo, column, out);
        return;
    case FieldValue::Is::Bytes:
        AppendBytes(out, value.Bytes);
        return;
    default:
        // No value, or one counted as unreadable; the types AppendValue
        // writes itself never come here.
        out.Append(m_spelling.Null);
        return;
    }
}

ORVALIS_ALWAYS_INLINE char* SqlScriptWriter::WriteNumber(const SqlColumn& column, std::string_view stored, char* to)
{
    // Nearly every number is stored as it is written: its text copied, in
    // one move of 16 bytes (a view of the record, which may be read so far).
    // The digits must fit the column (see below); a minus sign is counted
    // as one, which leaves a number of every digit it holds to the rest.
    const size_t start = PlainNumberStart(stored, column.Places);
    const size_t length = stored.size() - start;
    if (start != std::string_view::npos && length <= column.Digits + (column.Places > 0 ? 1 : 0)) {
        std::memcpy(to, stored.data() + start, 16);
        return to + length;
    }
    return WriteDecodedNumber(column, stored, to);
}

// Any number, as DecodeNumber reads it.
char* SqlScriptWriter::WriteDecodedNumber(const SqlColumn& column, std::string_view stored, char* to)
{
    const int i = column.Field;
    DecimalNumber number;
    const Decoded decoded = DecodeNumber(stored, number);
    if (decoded == Decoded::Empty)
        return Put(to, m_spelling.Null);
    // The value must fit its column: the digits its places leave before the
    // point, and no more decimals than it has. The databases would
    // otherwise refuse the script or round the value.
    const bool whole = column.Value == SqlValue::Whole;
    const bool tooPrecise = number.Fraction.size() > column.Places &&
                            number.Fraction.find_first_not_of('0', column.Places) != std::string_view::npos;
    if (decoded == Decoded::Invalid || tooPrecise || number.Integer.size() > column.Digits - column.Places)
        return WriteNoValue(to, Decoded::Invalid, i);
    // A number WriteNumber could not copy (a field of more than 16 bytes,
    // say) may still be stored as it is written: one copy of its text,
    // where no leading zero, plus sign or decimal comma is to go.
    const std::string_view digits = number.Integer;
    const bool fraction = !whole && !number.Fraction.empty();
    if (!digits.empty() && (!number.Negative || digits.data()[-1] == '-') &&
        (!fraction || digits.data()[digits.size()] == '.')) {
        const char* const first = digits.data() - (number.Negative ? 1 : 0);
        const char* const last = fraction ? number.Fraction.data() + number.Fraction.size() : digits.data() + digits.size();
        return Put(to, std::string_view(first, static_cast<size_t>(last - first)));
    }
    if (number.Negative)
        *to++ = '-';
    to = Put(to, digits.empty() ? std::string_view("0") : digits);
    if (fraction) {
        *to++ = '.';
        to = Put(to, number.Fraction);
    }
    return to;
}

void SqlScriptWriter::AppendDouble(LineBuffer& out, double value, int field)
{
    if (!std::isfinite(value)) {
        if (const auto special = m_dialect->SpecialDouble(value))
            out.Append(*special);
        else
            AppendNoValue(out, Decoded::Invalid, field);
        return;
    }
    // The fewest digits that read back as the same double.
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    m_scratch.assign(text, end);
    out.Append(m_scratch);
}

// The high bits of the bytes of a word that the forms write otherwise than
// as themselves (and now and then of one that they do not: its form is
// itself).
ORVALIS_ALWAYS_INLINE std::uint64_t SqlScriptWriter::OtherBytes(std::uint64_t word, const Marks& marks)
{
    return BytesBelow(word, 0x20) | AnyZeroByte(word ^ marks.Special[0]) | AnyZeroByte(word ^ marks.Special[1]) |
           (word & marks.High);
}

// Room for sizeof Form[0] bytes a byte at `to`; returns the end of what it
// wrote, and sets `replaced` where a byte became U+FFFD.
ORVALIS_ALWAYS_INLINE char* SqlScriptWriter::WriteForms(char* to, const char* from, size_t size, Reading reading,
                                                       const ByteForms& forms, std::uint8_t& replaced)
{
    // In locals: the table's bytes might be the output's, for all the
    // compiler knows.
    const Marks marks = forms.Marked;
    std::uint8_t any = 0;
    // The first `count` bytes of a word: copied as they are, then each byte
    // written otherwise put in its place, the bytes after it moved along.
    // Most words have none, and most others one or two.
    const auto put = [&](std::uint64_t word, std::uint64_t written, size_t count) {
        std::memcpy(to, &word, 8);
        while (written) {
            const auto before = static_cast<unsigned>(__builtin_ctzll(written)) / 8;
            const auto b = static_cast<unsigned char>(word >> 8 * before);
            to += before;
            std::memcpy(to, forms.Form[b], sizeof forms.Form[b]);
            to += forms.Length[b];
            any |= forms.Replaced[b];
            count -= before + 1;
            word = word >> 8 * before >> 8;
            written = written >> 8 * before >> 8;
            std::memcpy(to, &word, 8);
        }
        to += count;
    };
    size_t at = 0;
    // Eight bytes at a time where the table keeps plain letters; all through
    // the table elsewhere.
    if (forms.Words && reading != Reading::Bytes) {
        for (; at + 8 <= size; at += 8) {
            const std::uint64_t word = LoadWord(from + at);
            put(word, OtherBytes(word, marks), 8);
        }
        if (reading == Reading::Words && at < size) {
            const std::uint64_t word = LoadWord(from + at);
            const size_t count = size - at;
            put(word, OtherBytes(word, marks) & (~std::uint64_t{ 0 } >> (64 - 8 * count)), count);
            at = size;
        }
    }
    for (; at < size; ++at) {
        const auto b = static_cast<unsigned char>(from[at]);
        std::memcpy(to, forms.Form[b], sizeof forms.Form[b]);
        to += forms.Length[b];
        any |= forms.Replaced[b];
    }
    replaced |= any;
    return to;
}

ORVALIS_ALWAYS_INLINE void SqlScriptWriter::AppendByForms(LineBuffer& out, std::string_view text, int field,
                                                         const ByteForms& forms)
{
    std::uint8_t replaced = 0;
    // A long memo in stretches, so that it claims no more of the output at once.
    constexpr size_t kStretch = 4096;
    for (size_t start = 0; start < text.size(); start += kStretch) {
        const size_t size = std::min(kStretch, text.size() - start);
        out.Keep(WriteForms(out.Claim(sizeof forms.Form[0] * size), text.data() + start, size, Reading::Piece,
                            forms, replaced));
    }
    if (replaced)
        CountReplaced(text, field, forms);
}

void SqlScriptWriter::CountReplaced(std::string_view text, int field, const ByteForms& forms)
{
    // Rare: counted only where there is something to count.
    size_t count = 0;
    for (const char c : text)
        count += forms.Replaced[static_cast<unsigned char>(c)];
    Warn(ExportWarnings::UnmappedByte, field, count);
}

std::uint64_t SqlScriptWriter::Returns(std::string_view text, const ByteForms& forms)
{
    std::uint64_t count = 0;
    for (const char c : text)
        count += forms.Returns[static_cast<unsigned char>(c)];
    return count;
}

void SqlScriptWriter::AppendBytes(LineBuffer& out, std::string_view bytes) const
{
    out.Append(m_spelling.BytesOpen);
    AppendBytesPiece(out, bytes);
    out.Append(m_spelling.BytesClose);
}

void SqlScriptWriter::AppendBytesPiece(LineBuffer& out, std::string_view bytes) const
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out.Append(kHexDigits[byte >> 4]);
        out.Append(kHexDigits[byte & 15]);
    }
}

void SqlScriptWriter::AppendMemo(const MemoFile::Memo& memo, const SqlColumn& column, LineBuffer& out)
{
    const int i = column.Field;
    if (column.Value == SqlValue::MemoBinary) {
        out.Append(m_spelling.BytesOpen);
        ExportWriter::AppendMemo(memo, i, false, out, [&](std::string_view piece) { AppendBytesPiece(out, piece); });
        out.Append(m_spelling.BytesClose);
        return;
    }
    // A picture or an object in an "M" field is no text.
    if (memo.Type != MemoFile::Content::Text) {
        Warn(ExportWarnings::InvalidValue, i);
        out.Append(m_spelling.Null);
        return;
    }
    if (memo.Length > m_hexAfter && AppendHexMemo(memo, i, out))
        return;
    // A single-byte page's bytes through its table, as the texts of fields;
    // others converted first.
    const ByteForms& forms = m_forms ? *m_forms : *m_escapes;
    AppendQuote(out);
    ExportWriter::AppendMemo(memo, i, !m_forms, out,
                             [&](std::string_view piece) { AppendByForms(out, piece, i, forms); });
    AppendQuote(out);
}

std::string SqlNames::Add(std::string_view utf8, const std::string& fallback)
{
    std::string name = m_dialect.Fitted(LowerCase(utf8));
    if (name.empty())
        name = fallback;
    const std::string stem = name;
    for (int n = 2; !m_used.insert(name).second; ++n) {
        const std::string suffix = "_" + std::to_string(n);
        name = m_dialect.Fitted(stem, suffix.size()) + suffix;
    }
    return name;
}

SqlTable SqlScriptWriter::Described(const mDBase& table)
{
    PrepareValues(table);
    Prepare(table);
    SqlTable described = m_table;
    for (SqlColumn& column : described.Columns)
        column.Descriptor = nullptr;
    return described;
}

bool SqlScriptWriter::AppendHexMemo(const MemoFile::Memo& memo, int field, LineBuffer& out)
{
    // Its carriage returns counted first, in a pass of its own.
    std::uint64_t returns = 0;
    const ByteForms& forms = m_forms ? *m_forms : *m_escapes;
    ExportWriter::AppendMemo(memo, field, false, out, [&](std::string_view piece) { returns += Returns(piece, forms); });
    if (returns <= m_hexTexts.After)
        return false;
    const ByteForms& hex = m_forms ? *m_hexForms : *m_hexEscapes;
    out.Append(m_hexTexts.Open);
    ExportWriter::AppendMemo(memo, field, !m_forms, out,
                             [&](std::string_view piece) { AppendByForms(out, piece, field, hex); });
    out.Append(m_hexTexts.Close);
    return true;
}
