// The values of a script's rows: texts, numbers, dates, doubles, blobs and memos as the dialect spells them.

#include "export/SqlValueWriter.h"

#include "framework/CodePage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

SqlValueWriter::SqlValueWriter(std::unique_ptr<const SqlDialect> dialect, const CodePageConverter& converter)
    : m_dialect(std::move(dialect)), m_spelling(m_dialect->Spelling()), m_separator(m_dialect->Rows().Separator),
      m_hexTexts(m_dialect->HexTexts()), m_hexAfter(m_hexTexts ? m_hexTexts->After : ~std::uint64_t{ 0 })
{
    SetConverter(&converter);
    m_escapes = SqlByteForms::Make(*m_dialect, nullptr, false);
    if (converter.ConvertsByTable())
        m_forms = SqlByteForms::Make(*m_dialect, &converter, false);
    if (m_hexTexts) {
        m_hexEscapes = SqlByteForms::Make(*m_dialect, nullptr, true);
        if (converter.ConvertsByTable())
            m_hexForms = SqlByteForms::Make(*m_dialect, &converter, true);
    }
}

SqlValueWriter::~SqlValueWriter() = default;

void SqlValueWriter::PrepareColumns(const mDBase& table, const std::vector<SqlColumn>& columns)
{
    m_columns = &columns;
    // What a row may take: the most a byte of a text becomes (a single-byte
    // page's form, or a character of up to 3 bytes, or an ASCII byte's
    // escape), and what the fields in the record take.
    const SqlByteForms& forms = m_forms ? *m_forms : *m_escapes;
    m_textBytes = forms.Longest();
    if (!m_forms)
        m_textBytes = std::max<unsigned>(m_textBytes, 3);
    m_recordBytes = 2;
    m_memoColumns = 0;
    for (const SqlColumn& column : columns) {
        const bool memo = column.Value == SqlValue::MemoText || column.Value == SqlValue::MemoBinary;
        m_recordBytes += 1 + (memo ? 0 : MostBytes(column, column.Descriptor->Length));
        m_memoColumns += memo;
    }
    m_found.assign(columns.size(), FieldValue());
    m_memosFound = false;

    m_writings.clear();
    for (const SqlColumn& column : columns) {
        const FieldDescriptor& field = *column.Descriptor;
        const auto width = static_cast<std::uint32_t>(table.FieldView(field).size());
        Writes writes = column.Nullable || column.VarLength ? Writes::ThroughBuffer : WritingOf(column, width);
        if (writes == Writes::Characters)
            writes = Writes::SampledCharacters;
        m_writings.push_back({ &column, writes, std::min<std::uint32_t>(field.Offset, table.GetRecordLength()), width,
                               SqlTextSample() });
    }
    // The row's separators and its values, the memos apart, and what the
    // writing of a value may put past its end.
    m_rowBytes = m_recordBytes + kSlack;
}

std::uint64_t SqlValueWriter::MostBytes(const SqlColumn& column, std::uint64_t length) const
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

std::uint64_t SqlValueWriter::FindMemos(const mDBase& table)
{
    m_memosFound = true;
    std::uint64_t most = 0;
    for (const SqlColumn& column : *m_columns) {
        if (column.Value != SqlValue::MemoText && column.Value != SqlValue::MemoBinary)
            continue;
        FieldValue& found = m_found[static_cast<size_t>(column.Field)];
        Decode(table, column.Field, found);
        most += MostBytes(column, found.What == FieldValue::Is::Memo ? found.Memo.Length : 0);
    }
    return most;
}

void SqlValueWriter::AppendValue(const mDBase& table, const SqlColumn& column, LineBuffer& out)
{
    const int i = column.Field;
    if (column.Nullable && table.IsNullValue(i)) {
        out.Append(m_spelling.Null);
        return;
    }
    // Memos and the other types decoded: none is written from its stored bytes.
    if (!WrittenAsStored(column.Value)) {
        AppendOtherValue(table, column, out);
        return;
    }
    const std::string_view stored = column.VarLength ? table.ValueView(i) : table.FieldView(*column.Descriptor);
    if (const Writes writes = WritingOf(column, stored.size()); writes != Writes::ThroughBuffer) {
        out.Keep(WriteValue(writes, nullptr, column, stored, out.Claim(MostBytes(column, stored.size()) + kSlack)));
        return;
    }
    if (column.Value == SqlValue::Characters || column.Value == SqlValue::OtherText)
        AppendCharacters(out, stored, i);
    else
        AppendOtherValue(table, column, out);
}

// A text column's first texts, written in words, tell how its others are
// written best.
char* SqlValueWriter::WriteSampledCharacters(ColumnWriting& writing, std::string_view stored, char* to)
{
    if (writing.Sample.Add(stored, m_forms->Marked))
        writing.Do = Writes::CharacterBytes;
    else if (!writing.Sample.Sampling())
        writing.Do = Writes::Characters;
    return WriteCharacters(to, stored, writing.Column->Field,
                           writing.Do == Writes::CharacterBytes ? Reading::Bytes : Reading::Words);
}

bool SqlValueWriter::WrittenAsStored(SqlValue value)
{
    switch (value) {
    case SqlValue::Characters:
    case SqlValue::OtherText:
    case SqlValue::Decimal:
    case SqlValue::Whole:
    case SqlValue::Date:
    case SqlValue::Logical:
        return true;
    default:
        return false;
    }
}

// How a column's value of so many stored bytes is written.
SqlValueWriter::Writes SqlValueWriter::WritingOf(const SqlColumn& column, size_t stored) const
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

ORVALIS_ALWAYS_INLINE void SqlValueWriter::AppendQuote(LineBuffer& out) const
{
    if (m_spelling.Quote)
        out.Append(m_spelling.Quote);
}

void SqlValueWriter::AppendNoValue(LineBuffer& out, Decoded decoded, int field)
{
    out.Keep(WriteNoValue(out.Claim(sizeof m_spelling.Null.Bytes), decoded, field));
}

char* SqlValueWriter::WriteNoValue(char* to, Decoded decoded, int field)
{
    if (decoded == Decoded::Invalid)
        Warn(ExportWarnings::InvalidValue, field);
    return Put(to, m_spelling.Null);
}

// The texts WriteCharacters does not write: converted first, or perhaps in
// hexadecimal.
void SqlValueWriter::AppendCharacters(LineBuffer& out, std::string_view stored, int field)
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

bool SqlValueWriter::AppendHexText(LineBuffer& out, std::string_view text, int field)
{
    if ((m_forms ? *m_forms : *m_escapes).CountReturns(text) <= m_hexTexts->After)
        return false;
    out.Append(m_hexTexts->Open);
    if (m_forms)
        AppendByForms(out, text, field, *m_hexForms);
    else
        AppendByForms(out, Converted(text, field), field, *m_hexEscapes);
    out.Append(m_hexTexts->Close);
    return true;
}

void SqlValueWriter::AppendOtherValue(const mDBase& table, const SqlColumn& column, LineBuffer& out)
{
    const int i = column.Field;
    const bool memo = column.Value == SqlValue::MemoText || column.Value == SqlValue::MemoBinary;
    // Memos found already, where the row's length was told.
    if (memo && m_memosFound)
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

// Any number, as DecodeNumber reads it.
char* SqlValueWriter::WriteDecodedNumber(const SqlColumn& column, std::string_view stored, char* to)
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

void SqlValueWriter::AppendDouble(LineBuffer& out, double value, int field)
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

ORVALIS_ALWAYS_INLINE void SqlValueWriter::AppendByForms(LineBuffer& out, std::string_view text, int field,
                                                        const SqlByteForms& forms)
{
    std::uint8_t replaced = 0;
    // A long memo in stretches, so that it claims no more of the output at once.
    constexpr size_t kStretch = 4096;
    for (size_t start = 0; start < text.size(); start += kStretch) {
        const size_t size = std::min(kStretch, text.size() - start);
        out.Keep(forms.Write(out.Claim(sizeof forms.Form[0] * size), text.data() + start, size, Reading::Piece,
                             replaced));
    }
    if (replaced)
        CountReplaced(text, field, forms);
}

void SqlValueWriter::CountReplaced(std::string_view text, int field, const SqlByteForms& forms)
{
    // Rare: counted only where there is something to count.
    Warn(ExportWarnings::UnmappedByte, field, forms.CountReplaced(text));
}

void SqlValueWriter::AppendBytes(LineBuffer& out, std::string_view bytes) const
{
    out.Append(m_spelling.BytesOpen);
    AppendBytesPiece(out, bytes);
    out.Append(m_spelling.BytesClose);
}

void SqlValueWriter::AppendBytesPiece(LineBuffer& out, std::string_view bytes) const
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out.Append(kSqlHexDigits[byte >> 4]);
        out.Append(kSqlHexDigits[byte & 15]);
    }
}

void SqlValueWriter::AppendMemo(const MemoFile::Memo& memo, const SqlColumn& column, LineBuffer& out)
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
    const SqlByteForms& forms = m_forms ? *m_forms : *m_escapes;
    AppendQuote(out);
    ExportWriter::AppendMemo(memo, i, !m_forms, out,
                             [&](std::string_view piece) { AppendByForms(out, piece, i, forms); });
    AppendQuote(out);
}

bool SqlValueWriter::AppendHexMemo(const MemoFile::Memo& memo, int field, LineBuffer& out)
{
    // Its carriage returns counted first, in a pass of its own.
    std::uint64_t returns = 0;
    const SqlByteForms& forms = m_forms ? *m_forms : *m_escapes;
    ExportWriter::AppendMemo(memo, field, false, out,
                             [&](std::string_view piece) { returns += forms.CountReturns(piece); });
    if (returns <= m_hexTexts->After)
        return false;
    const SqlByteForms& hex = m_forms ? *m_hexForms : *m_hexEscapes;
    out.Append(m_hexTexts->Open);
    ExportWriter::AppendMemo(memo, field, !m_forms, out,
                             [&](std::string_view piece) { AppendByForms(out, piece, field, hex); });
    out.Append(m_hexTexts->Close);
    return true;
}
