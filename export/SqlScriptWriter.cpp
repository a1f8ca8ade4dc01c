#include "export/SqlScriptWriter.h"

#include "framework/CodePage.h"
#include "table/mDBase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
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

// Cut to the longest name PostgreSQL keeps, at a character's start.
std::string Cut(std::string name)
{
    if (name.size() <= kLongestName)
        return name;
    size_t end = kLongestName;
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

// The trailing blanks of a character value go, and the NULs some writers pad
// with.
std::string_view TrimTrailingBlanks(std::string_view text)
{
    const size_t end = text.find_last_not_of(std::string_view(" \0", 2));
    return text.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

const char kHexDigits[] = "0123456789abcdef";

} // namespace

SqlScriptWriter::SqlScriptWriter(SqlDialect dialect, std::string tableName, const CodePageConverter& converter)
    : m_dialect(dialect), m_tableName(Quoted(Cut(LowerCase(tableName))))
{
    SetConverter(&converter);
}

void SqlScriptWriter::AppendStart(const mDBase& table, LineBuffer& out)
{
    const int fields = table.GetFieldCount();
    if (fields == 0)
        throw CFileException(CFileException::invalidFile, table.GetPath(), 0,
                             "La tabla %s no tiene campos: no hay tabla SQL que crear con ella.");
    const bool postgres = m_dialect == SqlDialect::PostgreSql;
    m_columns.clear();
    std::set<std::string> names;
    for (int i = 0; i < fields; ++i) {
        const FieldDescriptor& field = table.GetField(i);
        Column column{ i, ValueType::Text, {}, {} };
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
        Converter()->AppendUtf8(field.Name.View(), utf8);
        std::string name = Cut(LowerCase(utf8));
        if (name.empty())
            name = "campo" + std::to_string(i + 1);
        const std::string stem = name;
        for (int n = 2; !names.insert(name).second; ++n) {
            const std::string suffix = "_" + std::to_string(n);
            name = Cut(stem.substr(0, kLongestName - suffix.size())) + suffix;
        }
        column.Name = Quoted(name);
        m_columns.push_back(std::move(column));
    }

    std::string script = postgres ? "\\set ON_ERROR_STOP on\nSET client_encoding = 'UTF8';\n" : ".bail on\n";
    script += "BEGIN;\n";
    if (m_replace)
        script += "DROP TABLE IF EXISTS " + m_tableName + ";\n";
    script += "CREATE TABLE " + m_tableName + " (\n";
    std::string list;
    for (const Column& column : m_columns) {
        script += "    " + column.Name + " " + column.SqlType + (&column == &m_columns.back() ? "\n" : ",\n");
        list += (list.empty() ? "" : ", ") + column.Name;
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

void SqlScriptWriter::AppendValue(const mDBase& table, const Column& column, LineBuffer& out)
{
    const int i = column.Field;
    if (table.IsNullValue(i)) {
        AppendNull(out);
        return;
    }
    const std::string_view stored = table.ValueView(i);
    const FieldDescriptor& field = table.GetField(i);
    // Binary values take their full width, whatever the field's declared
    // length; one that the record cuts short is no value.
    const bool binaryShort = field.IsBinary() && stored.size() < BinaryWidth(field.Kind);
    const auto invalid = [&]() {
        Warn(ExportWarnings::InvalidValue, i);
        AppendNull(out);
    };
    switch (column.Type) {
    case ValueType::Text:
        AppendText(out, Converted(TrimTrailingBlanks(stored), i), i);
        return;
    case ValueType::Decimal:
    case ValueType::Whole:
        AppendNumber(table, column, out);
        return;
    case ValueType::Date: {
        CalendarDate date;
        const Decoded decoded = DecodeDate(stored, date);
        if (decoded != Decoded::Value)
            return decoded == Decoded::Empty ? AppendNull(out) : invalid();
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
            return decoded == Decoded::Empty ? AppendNull(out) : invalid();
        AppendBoolean(out, value);
        return;
    }
    case ValueType::Integer:
    case ValueType::Currency: {
        if (binaryShort)
            return invalid();
        const CString text = FormatBinary(field.Kind, stored.data());
        if (text.IsEmpty())
            return AppendNull(out); // a level 7 long of zero bytes
        out.Append(text.View());
        return;
    }
    case ValueType::Double: {
        double value = 0;
        if (binaryShort)
            return invalid();
        if (!DecodeDouble(field.Kind, stored.data(), value))
            return AppendNull(out);
        AppendDouble(out, value);
        return;
    }
    case ValueType::Timestamp: {
        DateTime value;
        const Decoded decoded = binaryShort ? Decoded::Invalid : DecodeDateTime(stored.data(), value);
        if (decoded != Decoded::Value)
            return decoded == Decoded::Empty ? AppendNull(out) : invalid();
        // Milliseconds only where there are any, as SQLite's own functions
        // write a time.
        const unsigned ms = value.Milliseconds;
        char text[32];
        int length = std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", value.Date.Year,
                                   value.Date.Month, value.Date.Day, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
        if (ms % 1000 != 0)
            length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length), ".%03u", ms % 1000);
        AppendLiteral(out, std::string_view(text, static_cast<size_t>(length)));
        return;
    }
    case ValueType::MemoText:
    case ValueType::MemoBinary:
        AppendMemo(table, column, out);
        return;
    case ValueType::InlineBinary:
        AppendBytes(out, stored);
        return;
    }
}

void SqlScriptWriter::AppendNumber(const mDBase& table, const Column& column, LineBuffer& out)
{
    const int i = column.Field;
    const FieldDescriptor& field = table.GetField(i);
    DecimalNumber number;
    const Decoded decoded = DecodeNumber(table.ValueView(i), number);
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
        Warn(ExportWarnings::InvalidValue, i);
        AppendNull(out);
        return;
    }
    if (number.Negative)
        out.Append('-');
    out.Append(number.Integer.empty() ? std::string_view("0") : number.Integer);
    if (!whole && !number.Fraction.empty()) {
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

void SqlScriptWriter::AppendNull(LineBuffer& out) const
{
    out.Append(m_dialect == SqlDialect::PostgreSql ? "\\N" : "NULL");
}

void SqlScriptWriter::AppendBoolean(LineBuffer& out, bool value) const
{
    if (m_dialect == SqlDialect::PostgreSql)
        out.Append(value ? 't' : 'f');
    else
        out.Append(value ? '1' : '0');
}

void SqlScriptWriter::AppendLiteral(LineBuffer& out, std::string_view ascii) const
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
    if (m_dialect == SqlDialect::Sqlite)
        out.Append('\'');
    AppendTextPiece(out, utf8, field);
    if (m_dialect == SqlDialect::Sqlite)
        out.Append('\'');
}

void SqlScriptWriter::AppendTextPiece(LineBuffer& out, std::string_view utf8, int field)
{
    const bool postgres = m_dialect == SqlDialect::PostgreSql;
    size_t from = 0;
    for (size_t at = 0; at < utf8.size(); ++at) {
        const char c = utf8[at];
        // COPY's text format escapes what would end the value or the row and
        // the escape itself. In SQLite a quote is doubled, and a carriage
        // return stands outside the literal: the shell drops one that ends
        // an input line. Neither database holds a NUL in a text.
        const bool special = c == '\0' || c == '\r' ||
            (postgres ? c == '\\' || c == '\t' || c == '\n' : c == '\'');
        if (!special)
            continue;
        out.Append(utf8.substr(from, at - from));
        from = at + 1;
        if (c == '\0') {
            Warn(ExportWarnings::UnmappedByte, field);
            out.Append(kReplacement);
        } else if (!postgres) {
            out.Append(c == '\'' ? "''" : "'||char(13)||'");
        } else {
            out.Append('\\');
            out.Append(c == '\\' ? '\\' : c == '\t' ? 't' : c == '\n' ? 'n' : 'r');
        }
    }
    out.Append(utf8.substr(from));
}

void SqlScriptWriter::AppendBytes(LineBuffer& out, std::string_view bytes) const
{
    out.Append(m_dialect == SqlDialect::PostgreSql ? "\\\\x" : "X'");
    AppendBytesPiece(out, bytes);
    if (m_dialect == SqlDialect::Sqlite)
        out.Append('\'');
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
    const bool sqlite = m_dialect == SqlDialect::Sqlite;
    if (column.Type == ValueType::MemoBinary) {
        out.Append(sqlite ? "X'" : "\\\\x");
        ExportWriter::AppendMemo(memo, i, false, out, [&](std::string_view piece) { AppendBytesPiece(out, piece); });
        if (sqlite)
            out.Append('\'');
        return;
    }
    // A picture or an object in an "M" field is no text.
    if (memo.Type != MemoFile::Content::Text) {
        Warn(ExportWarnings::InvalidValue, i);
        AppendNull(out);
        return;
    }
    if (sqlite)
        out.Append('\'');
    ExportWriter::AppendMemo(memo, i, true, out, [&](std::string_view piece) { AppendTextPiece(out, piece, i); });
    if (sqlite)
        out.Append('\'');
}
