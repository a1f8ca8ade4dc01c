#include "export/SqlScriptWriter.h"

#include "export/CopyText.h"
#include "framework/CodePage.h"
#include "table/ByteSearch.h"
#include "table/mDBase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD
// PostgreSQL cuts longer names; they are cut here first, so that two names
// that would end alike still differ.
constexpr size_t kLongestName = 63;
// An INSERT statement ends after this many rows, or once it is this long.
constexpr std::uint32_t kStatementRows = 250;
constexpr std::uint64_t kStatementBytes = 1024 * 1024;

// Decodes the UTF-8 character at text[at]; its length goes to `length`.
char32_t DecodeUtf8(std::string_view text, size_t at, size_t& length)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (at + length > text.size()) {
        length = 1;
        return lead;
    }
    char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (size_t i = 1; i < length; ++i)
        c = c << 6 | (byte(at + i) & 0x3Fu);
    return c;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

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

std::string LowerCase(std::string_view utf8)
{
    std::string lower;
    for (size_t at = 0, length = 0; at < utf8.size(); at += length) {
        const char32_t c = DecodeUtf8(utf8, at, length);
        // Every capital handled takes one or two bytes, as does its small letter.
        if (c < 0x800 && (length == 2 || c < 0x80))
            AppendUtf8(Lower(c), lower);
        else
            lower.append(utf8.substr(at, length));
    }
    return lower;
}

// Cut to the longest name PostgreSQL keeps (or shorter), at a character's
// start.
std::string Cut(std::string name, size_t longest = kLongestName)
{
    if (name.size() <= longest)
        return name;
    size_t end = longest;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    name.resize(end);
    return name;
}

// Always quoted, so that SQL words ("desc", "order", "user") and accented
// names are names.
std::string Quoted(std::string_view name)
{
    std::string quoted = "\"";
    for (const char c : name) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

const char kHexDigits[] = "0123456789abcdef";

} // namespace

// What each byte of a single-byte page becomes in a text of the script: its
// UTF-8 form, written as the dialect writes it. One look-up a byte converts
// and escapes the many short texts of a table.
struct SqlScriptWriter::ByteForms {
    char Form[256][16];     // at most 14 bytes, then anything
    std::uint8_t Length[256];
    std::uint8_t Replaced[256]; // 1 where the byte became U+FFFD
    bool KeepsAscii;            // the page's ASCII bytes are themselves
};

SqlScriptWriter::SqlScriptWriter(SqlDialect dialect, std::string tableName, const CodePageConverter& converter)
    : m_dialect(dialect), m_name(Cut(LowerCase(tableName))), m_tableName(Quoted(m_name))
{
    SetConverter(&converter);
    if (!converter.ConvertsByTable())
        return;
    m_forms = std::make_unique<ByteForms>();
    m_forms->KeepsAscii = converter.KeepsAscii();
    for (unsigned b = 0; b < 256; ++b) {
        const char one = static_cast<char>(b);
        std::string utf8;
        const bool unmapped = converter.AppendUtf8(std::string_view(&one, 1), utf8) != 0;
        LineBuffer form(16);
        const bool nul = EscapeText(form, utf8);
        std::memcpy(m_forms->Form[b], form.Data(), form.Size());
        m_forms->Length[b] = static_cast<std::uint8_t>(form.Size());
        m_forms->Replaced[b] = unmapped || nul;
    }
}

SqlScriptWriter::~SqlScriptWriter() = default;

void SqlScriptWriter::Prepare(const mDBase& table)
{
    const int fields = table.GetFieldCount();
    if (fields == 0)
        throw CFileException(CFileException::invalidFile, table.GetPath(), 0,
                             "La tabla %s no tiene campos: no hay tabla SQL que crear con ella.");
    const bool postgres = m_dialect == SqlDialect::PostgreSql;
    // A script the database could not load is no script: said before it is written.
    const int limit = postgres ? 1600 : 2000;
    if (fields > limit) {
        CString format;
        format.Format("La tabla %%s tiene %d campos y %s admite %d columnas como mucho.", fields,
                      postgres ? "PostgreSQL" : "SQLite", limit);
        throw CFileException(CFileException::invalidFile, table.GetPath(), 0, format);
    }
    m_columns.clear();
    m_columnNames.clear();
    SqlNames names;
    for (int i = 0; i < fields; ++i) {
        const FieldDescriptor& field = table.GetField(i);
        Column column{ i, &field, ValueType::Text, field.NullBit >= 0, field.Kind == FieldKind::VarCharacter, {}, {} };
        const unsigned length = field.Length;
        const auto integerType = [&](unsigned digits) {
            return digits <= 9 ? "integer" : digits <= 18 ? "bigint" : "numeric(" + std::to_string(digits) + ")";
        };
        if (field.Memo == MemoUse::Text) {
            column.Type = ValueType::MemoText;
            column.SqlType = postgres ? "text" : "TEXT";
        } else if (field.Memo == MemoUse::Binary || field.Type == 'Q') {
            column.Type = field.Memo == MemoUse::Binary ? ValueType::MemoBinary : ValueType::InlineBinary;
            column.SqlType = postgres ? "bytea" : "BLOB";
        } else if (field.Kind == FieldKind::Number || field.Type == 'F') {
            column.Type = field.Decimals > 0 ? ValueType::Decimal : ValueType::Whole;
            if (field.Decimals > 0)
                column.SqlType = postgres ? "numeric(" + std::to_string(std::max(length, unsigned{ field.Decimals })) +
                                                "," + std::to_string(field.Decimals) + ")"
                                          : "NUMERIC";
            else
                column.SqlType = postgres ? integerType(std::max(length, 1u)) : "INTEGER";
        } else if (field.Type == 'D') {
            column.Type = ValueType::Date;
            column.SqlType = postgres ? "date" : "TEXT";
        } else if (field.Type == 'L') {
            column.Type = ValueType::Logical;
            column.SqlType = postgres ? "boolean" : "INTEGER";
        } else if (field.Kind == FieldKind::Integer || field.Kind == FieldKind::Level7Long) {
            column.Type = ValueType::Integer;
            column.SqlType = postgres ? "integer" : "INTEGER";
        } else if (field.Kind == FieldKind::Double || field.Kind == FieldKind::Level7Double) {
            column.Type = ValueType::Double;
            column.SqlType = postgres ? "double precision" : "REAL";
        } else if (field.Kind == FieldKind::Currency) {
            column.Type = ValueType::Currency;
            column.SqlType = postgres ? "numeric(19,4)" : "NUMERIC";
        } else if (field.Kind == FieldKind::DateTime) {
            column.Type = ValueType::Timestamp;
            column.SqlType = postgres ? "timestamp" : "TEXT";
        } else if (field.IsCharacter() && length > 0) {
            column.SqlType = postgres ? "varchar(" + std::to_string(length) + ")" : "TEXT";
        } else {
            column.SqlType = postgres ? "text" : "TEXT";
        }

        // Lower-cased; a name that repeats gets _2, _3...
        std::string utf8;
        Converter()->AppendUtf8(FieldName(table, i), utf8);
        const std::string name = names.Add(utf8, "campo" + std::to_string(i + 1));
        column.Name = Quoted(name);
        m_columnNames.push_back(name);
        m_columns.push_back(std::move(column));
    }
}

void SqlScriptWriter::AppendStart(const mDBase& /*table*/, LineBuffer& out)
{
    const bool postgres = m_dialect == SqlDialect::PostgreSql;
    std::string script;
    if (m_preamble)
        script = postgres ? "\\set ON_ERROR_STOP on\nSET client_encoding = 'UTF8';\n" : ".bail on\n";
    script += "BEGIN;\n";
    if (m_replace)
        script += "DROP TABLE IF EXISTS " + m_tableName + ";\n";
    script += "CREATE TABLE " + m_tableName + " (\n";
    std::string list;
    for (const Column& column : m_columns) {
        script += "    " + column.Name + " " + column.SqlType +
                  (&column == &m_columns.back() && m_tableKeys.empty() ? "\n" : ",\n");
        list += (list.empty() ? "" : ", ") + column.Name;
    }
    for (const SqlKey& key : m_tableKeys) {
        script += "    ";
        AppendConstraint(key, script);
        script += &key == &m_tableKeys.back() ? "\n" : ",\n";
    }
    script += ");\n";
    if (postgres)
        script += "COPY " + m_tableName + " (" + list + ") FROM STDIN;\n";
    else
        m_insert = "INSERT INTO " + m_tableName + " (" + list + ") VALUES\n";
    out.Append(script);
    m_statementRows = 0;
}

void SqlScriptWriter::AppendRecord(const mDBase& table, LineBuffer& out)
{
    const bool postgres = m_dialect == SqlDialect::PostgreSql;
    if (!postgres) {
        if (m_statementRows == 0) {
            m_statementStart = Position(out);
            out.Append(m_insert);
        } else {
            out.Append(",\n");
        }
        out.Append('(');
    }
    for (const Column& column : m_columns) {
        if (&column != &m_columns.front())
            out.Append(postgres ? '\t' : ',');
        AppendValue(table, column, out);
    }
    if (postgres) {
        out.Append('\n');
        return;
    }
    out.Append(')');
    if (++m_statementRows == kStatementRows || Position(out) - m_statementStart >= kStatementBytes)
        EndStatement(out);
}

void SqlScriptWriter::EndStatement(LineBuffer& out)
{
    if (m_statementRows > 0)
        out.Append(";\n");
    m_statementRows = 0;
}

void SqlScriptWriter::AppendEnd(const mDBase& /*table*/, LineBuffer& out)
{
    if (m_dialect == SqlDialect::PostgreSql) {
        out.Append("\\.\n");
    } else {
        EndStatement(out);
    }
    out.Append("COMMIT;\n");
}

ORVALIS_ALWAYS_INLINE void SqlScriptWriter::AppendValue(const mDBase& table, const Column& column, LineBuffer& out)
{
    const int i = column.Field;
    if (column.Nullable && table.IsNullValue(i)) {
        AppendNull(out);
        return;
    }
    const std::string_view stored = column.VarLength ? table.ValueView(i) : table.FieldView(*column.Descriptor);
    // The types of nearly every table's fields here; the others apart.
    switch (column.Type) {
    case ValueType::Text:
        AppendCharacters(out, stored, i);
        return;
    case ValueType::Decimal:
    case ValueType::Whole:
        AppendNumber(column, stored, out);
        return;
    case ValueType::Date: {
        CalendarDate date;
        const Decoded decoded = DecodeDate(stored, date);
        if (decoded != Decoded::Value)
            return AppendNoValue(out, decoded, i);
        // The stored digits, which the decoding found to be a date.
        const char text[] = { stored[0], stored[1], stored[2], stored[3], '-', stored[4], stored[5], '-',
                              stored[6], stored[7] };
        AppendLiteral(out, std::string_view(text, sizeof text));
        return;
    }
    case ValueType::Logical: {
        bool value = false;
        const Decoded decoded = DecodeLogical(stored, value);
        if (decoded != Decoded::Value)
            return AppendNoValue(out, decoded, i);
        AppendBoolean(out, value);
        return;
    }
    default:
        AppendOtherValue(table, column, stored, out);
        return;
    }
}

void SqlScriptWriter::AppendNoValue(LineBuffer& out, Decoded decoded, int field)
{
    if (decoded == Decoded::Invalid)
        Warn(ExportWarnings::InvalidValue, field);
    AppendNull(out);
}

void SqlScriptWriter::AppendCharacters(LineBuffer& out, std::string_view stored, int field)
{
    // The trailing blanks of a character value go, and the NULs some
    // writers pad with.
    const std::string_view text = stored.substr(0, PaddedEnd(stored));
    if (!m_forms) {
        AppendText(out, Converted(text, field), field); // UTF-8 or a multibyte page
        return;
    }
    QuoteText(out);
    AppendByForms(out, text, field);
    QuoteText(out);
}

void SqlScriptWriter::AppendOtherValue(const mDBase& table, const Column& column, std::string_view stored,
                                       LineBuffer& out)
{
    const int i = column.Field;
    const FieldDescriptor& field = *column.Descriptor;
    // Binary values take their full width, whatever the field's declared
    // length; one that the record cuts short is no value.
    if (field.IsBinary() && stored.size() < BinaryWidth(field.Kind))
        return AppendNoValue(out, Decoded::Invalid, i);
    switch (column.Type) {
    case ValueType::Integer:
    case ValueType::Currency: {
        const CString text = FormatBinary(field.Kind, stored.data());
        if (text.IsEmpty())
            return AppendNull(out); // a level 7 long of zero bytes
        out.Append(text.View());
        return;
    }
    case ValueType::Double: {
        double value = 0;
        if (!DecodeDouble(field.Kind, stored.data(), value))
            return AppendNull(out);
        AppendDouble(out, value);
        return;
    }
    case ValueType::Timestamp: {
        DateTime value;
        const Decoded decoded = DecodeDateTime(stored.data(), value);
        if (decoded != Decoded::Value)
            return AppendNoValue(out, decoded, i);
        // Milliseconds only where there are any, as SQLite's own functions
        // write a time.
        const unsigned ms = value.Milliseconds;
        char text[32];
        int length = std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", value.Date.Year,
                                   value.Date.Month, value.Date.Day, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
        if (ms % 1000 != 0)
            length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length), ".%03u", ms % 1000);
        m_scratch.assign(text, static_cast<size_t>(length));
        AppendLiteral(out, m_scratch);
        return;
    }
    case ValueType::MemoText:
    case ValueType::MemoBinary:
        AppendMemo(table, column, out);
        return;
    case ValueType::InlineBinary:
        AppendBytes(out, stored);
        return;
    default:
        return; // the types AppendValue writes itself
    }
}

void SqlScriptWriter::AppendNumber(const Column& column, std::string_view stored, LineBuffer& out)
{
    const int i = column.Field;
    const FieldDescriptor& field = *column.Descriptor;
    DecimalNumber number;
    const Decoded decoded = DecodeNumber(stored, number);
    if (decoded == Decoded::Empty) {
        AppendNull(out);
        return;
    }
    // The value must fit its column: the digits the field's decimal count
    // leaves before the point, and no more decimals than it has. The
    // databases would otherwise refuse the script or round the value.
    const std::string_view decimals = number.Fraction.substr(
        0, std::min(number.Fraction.find_last_not_of('0') + 1, number.Fraction.size()));
    const size_t places = field.Decimals;
    const size_t width = std::max<size_t>(field.Length, places);
    const bool whole = column.Type == ValueType::Whole;
    if (decoded == Decoded::Invalid || decimals.size() > places ||
        number.Integer.size() > (whole ? std::max<size_t>(width, 1) : width - places)) {
        AppendNoValue(out, Decoded::Invalid, i);
        return;
    }
    // Most numbers are stored as they are written: one copy of their text,
    // where no leading zero, plus sign or decimal comma is to go.
    const std::string_view digits = number.Integer;
    const bool fraction = !whole && !number.Fraction.empty();
    if (!digits.empty() && (!number.Negative || digits.data()[-1] == '-') &&
        (!fraction || digits.data()[digits.size()] == '.')) {
        const char* const first = digits.data() - (number.Negative ? 1 : 0);
        const char* const last = fraction ? number.Fraction.data() + number.Fraction.size() : digits.data() + digits.size();
        out.Append(std::string_view(first, static_cast<size_t>(last - first)));
        return;
    }
    if (number.Negative)
        out.Append('-');
    out.Append(digits.empty() ? std::string_view("0") : digits);
    if (fraction) {
        out.Append('.');
        out.Append(number.Fraction);
    }
}

void SqlScriptWriter::AppendDouble(LineBuffer& out, double value)
{
    const bool postgres = m_dialect == SqlDialect::PostgreSql;
    if (std::isnan(value)) {
        // SQLite keeps no NaN: it stores NULL for one.
        if (postgres)
            out.Append("NaN");
        else
            AppendNull(out);
    } else if (std::isinf(value)) {
        out.Append(postgres ? (value < 0 ? "-Infinity" : "Infinity") : (value < 0 ? "-9e999" : "9e999"));
    } else {
        // The fewest digits that read back as the same double.
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        m_scratch.assign(text, end);
        out.Append(m_scratch);
    }
}

ORVALIS_ALWAYS_INLINE void SqlScriptWriter::AppendNull(LineBuffer& out) const
{
    out.Append(m_dialect == SqlDialect::PostgreSql ? "\\N" : "NULL");
}

ORVALIS_ALWAYS_INLINE void SqlScriptWriter::AppendBoolean(LineBuffer& out, bool value) const
{
    if (m_dialect == SqlDialect::PostgreSql)
        out.Append(value ? 't' : 'f');
    else
        out.Append(value ? '1' : '0');
}

ORVALIS_ALWAYS_INLINE void SqlScriptWriter::AppendLiteral(LineBuffer& out, std::string_view ascii) const
{
    if (m_dialect == SqlDialect::PostgreSql) {
        out.Append(ascii);
        return;
    }
    out.Append('\'');
    out.Append(ascii);
    out.Append('\'');
}

void SqlScriptWriter::AppendText(LineBuffer& out, std::string_view utf8, int field)
{
    QuoteText(out);
    AppendTextPiece(out, utf8, field);
    QuoteText(out);
}

ORVALIS_ALWAYS_INLINE void SqlScriptWriter::AppendByForms(LineBuffer& out, std::string_view text, int field)
{
    const ByteForms& forms = *m_forms;
    const bool sqlite = m_dialect == SqlDialect::Sqlite;
    const std::uint64_t printable = 0x0101010101010101u * static_cast<unsigned char>(sqlite ? '\'' : '\\');
    std::uint8_t replaced = 0;
    // In stretches, so that a long memo claims no more of the output at once.
    constexpr size_t kStretch = 4096;
    for (size_t start = 0; start < text.size(); start += kStretch) {
        const std::string_view part = text.substr(start, kStretch);
        char* to = out.Claim(sizeof forms.Form[0] * part.size());
        size_t at = 0;
        const auto one = [&](unsigned char b) {
            std::memcpy(to, forms.Form[b], sizeof forms.Form[b]);
            to += forms.Length[b];
            replaced |= forms.Replaced[b];
        };
        // Eight bytes at a time where they are ASCII and none is written
        // otherwise, as most are; byte by byte through the table elsewhere.
        const size_t words = forms.KeepsAscii ? part.size() & ~size_t{ 7 } : 0;
        for (; at < words; at += 8) {
            const std::uint64_t word = LoadWord(part.data() + at);
            if (((word & 0x8080808080808080u) | BytesBelow(word, 0x20) | ZeroBytes(word ^ printable)) == 0) {
                std::memcpy(to, &word, 8);
                to += 8;
            } else {
                for (size_t i = at; i < at + 8; ++i)
                    one(static_cast<unsigned char>(part[i]));
            }
        }
        for (; at < part.size(); ++at)
            one(static_cast<unsigned char>(part[at]));
        out.Keep(to);
    }
    if (replaced) {
        // Rare: counted only where there is something to count.
        size_t count = 0;
        for (const char c : text)
            count += forms.Replaced[static_cast<unsigned char>(c)];
        Warn(ExportWarnings::UnmappedByte, field, count);
    }
}

void SqlScriptWriter::AppendTextPiece(LineBuffer& out, std::string_view utf8, int field)
{
    if (const size_t nuls = EscapeText(out, utf8))
        Warn(ExportWarnings::UnmappedByte, field, nuls);
}

size_t SqlScriptWriter::EscapeText(LineBuffer& out, std::string_view utf8) const
{
    // Neither database holds a NUL in a text: each becomes U+FFFD.
    size_t nuls = 0;
    for (size_t nul; (nul = FindByte(utf8, '\0')) != std::string_view::npos; ++nuls) {
        EscapeRun(out, utf8.substr(0, nul));
        out.Append(kReplacement);
        utf8.remove_prefix(nul + 1);
    }
    EscapeRun(out, utf8);
    return nuls;
}

void SqlScriptWriter::EscapeRun(LineBuffer& out, std::string_view utf8) const
{
    if (m_dialect == SqlDialect::PostgreSql) {
        AppendCopyText(out, utf8);
        return;
    }
    // In SQLite a quote is doubled, and a carriage return stands outside the
    // literal, as the shell drops one that ends an input line.
    size_t from = 0;
    for (size_t at = 0; at < utf8.size(); ++at) {
        const char c = utf8[at];
        if (c != '\'' && c != '\r')
            continue;
        out.Append(utf8.substr(from, at - from));
        out.Append(c == '\'' ? "''" : "'||char(13)||'");
        from = at + 1;
    }
    out.Append(utf8.substr(from));
}

void SqlScriptWriter::QuoteText(LineBuffer& out) const
{
    if (m_dialect == SqlDialect::Sqlite)
        out.Append('\'');
}

void SqlScriptWriter::OpenBytes(LineBuffer& out) const
{
    out.Append(m_dialect == SqlDialect::PostgreSql ? "\\\\x" : "X'");
}

void SqlScriptWriter::CloseBytes(LineBuffer& out) const
{
    if (m_dialect == SqlDialect::Sqlite)
        out.Append('\'');
}

void SqlScriptWriter::AppendBytes(LineBuffer& out, std::string_view bytes) const
{
    OpenBytes(out);
    AppendBytesPiece(out, bytes);
    CloseBytes(out);
}

void SqlScriptWriter::AppendBytesPiece(LineBuffer& out, std::string_view bytes) const
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out.Append(kHexDigits[byte >> 4]);
        out.Append(kHexDigits[byte & 15]);
    }
}

void SqlScriptWriter::AppendMemo(const mDBase& table, const Column& column, LineBuffer& out)
{
    const int i = column.Field;
    MemoFile::Memo memo;
    if (FindMemo(table, i, memo) != MemoFound::Found) {
        AppendNull(out); // none, or unreadable and counted
        return;
    }
    if (column.Type == ValueType::MemoBinary) {
        OpenBytes(out);
        ExportWriter::AppendMemo(memo, i, false, out, [&](std::string_view piece) { AppendBytesPiece(out, piece); });
        CloseBytes(out);
        return;
    }
    // A picture or an object in an "M" field is no text.
    if (memo.Type != MemoFile::Content::Text) {
        Warn(ExportWarnings::InvalidValue, i);
        AppendNull(out);
        return;
    }
    QuoteText(out);
    // A single-byte page's bytes through the table, as the texts of fields.
    if (m_forms)
        ExportWriter::AppendMemo(memo, i, false, out, [&](std::string_view piece) { AppendByForms(out, piece, i); });
    else
        ExportWriter::AppendMemo(memo, i, true, out, [&](std::string_view piece) { AppendTextPiece(out, piece, i); });
    QuoteText(out);
}

std::string SqlNames::Add(std::string_view utf8, const std::string& fallback)
{
    std::string name = Cut(LowerCase(utf8));
    if (name.empty())
        name = fallback;
    const std::string stem = name;
    for (int n = 2; !m_used.insert(name).second; ++n) {
        const std::string suffix = "_" + std::to_string(n);
        name = Cut(stem, kLongestName - suffix.size()) + suffix;
    }
    return name;
}

const std::vector<std::string>& SqlScriptWriter::ColumnNames(const mDBase& table)
{
    Prepare(table);
    return m_columnNames;
}

bool SqlScriptWriter::KeyValue(const mDBase& table, int field, std::string& value)
{
    const Column& column = m_columns[static_cast<size_t>(field)];
    LineBuffer out(64);
    AppendValue(table, column, out);
    value.assign(out.View());
    LineBuffer null(8);
    AppendNull(null);
    if (value == null.View())
        return false;
    // 1.50 and 1.5, or -0 and 0, are one number to the database.
    const bool number = column.Type == ValueType::Decimal || column.Type == ValueType::Whole ||
                        column.Type == ValueType::Double;
    if (number && value.find('.') != std::string::npos && value.find_first_of("eE") == std::string::npos) {
        value.erase(value.find_last_not_of('0') + 1);
        if (value.back() == '.')
            value.pop_back();
    }
    if (number && value == "-0")
        value = "0";
    return true;
}

bool SqlScriptWriter::DeclaresKeysInTable(SqlDialect dialect, const SqlKey& key)
{
    // SQLite adds no constraint to a table that exists: its keys go into
    // CREATE TABLE, which is why they are checked against the data first.
    return dialect == SqlDialect::Sqlite && key.Type != SqlKey::Kind::Index;
}

void SqlScriptWriter::AppendConstraint(const SqlKey& key, std::string& out)
{
    const auto list = [&](const std::vector<std::string>& names) {
        out += '(';
        for (const std::string& name : names)
            out += (&name == &names.front() ? "" : ", ") + Quoted(name);
        out += ')';
    };
    out += "CONSTRAINT " + Quoted(key.Name);
    switch (key.Type) {
    case SqlKey::Kind::Primary: out += " PRIMARY KEY "; break;
    case SqlKey::Kind::Unique:  out += " UNIQUE "; break;
    default:                    out += " FOREIGN KEY "; break;
    }
    list(key.Columns);
    if (key.Type == SqlKey::Kind::Foreign) {
        out += " REFERENCES " + Quoted(key.Parent) + " ";
        list(key.ParentColumns);
    }
}

void SqlScriptWriter::AppendKeys(SqlDialect dialect, const std::vector<SqlKey>& keys, std::string& out)
{
    std::string statements;
    for (const SqlKey& key : keys) {
        if (DeclaresKeysInTable(dialect, key))
            continue;
        if (key.Type == SqlKey::Kind::Index) {
            statements += "CREATE INDEX " + Quoted(key.Name) + " ON " + Quoted(key.Table) + " (";
            for (const std::string& column : key.Columns)
                statements += (&column == &key.Columns.front() ? "" : ", ") + Quoted(column);
            statements += ");\n";
            continue;
        }
        statements += "ALTER TABLE " + Quoted(key.Table) + " ADD ";
        AppendConstraint(key, statements);
        statements += ";\n";
    }
    if (!statements.empty())
        out += "BEGIN;\n" + statements + "COMMIT;\n";
}
