// The sheets of a table in a workbook: their markup, and each value's cell.
#include "export/WorkbookWriter.h"

#include "framework/CodePage.h"
#include "framework/Utf8.h"
#include "table/mDBase.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using Is = FieldValue::Is;

constexpr unsigned kMostSignificant = 15; // the digits an Excel number keeps

// Days from 1970-01-01 to the date (proleptic Gregorian).
std::int64_t DaysOf(const CalendarDate& date)
{
    const std::int64_t year = static_cast<std::int64_t>(date.Year) - (date.Month <= 2 ? 1 : 0);
    const std::int64_t era = year / 400;
    const std::int64_t ofEra = year - era * 400;
    const std::int64_t month = date.Month > 2 ? date.Month - 3 : date.Month + 9;
    const std::int64_t ofYear = (153 * month + 2) / 5 + date.Day - 1;
    const std::int64_t ofEraDays = ofEra * 365 + ofEra / 4 - ofEra / 100 + ofYear;
    return era * 146097 + ofEraDays - 719468;
}

// Excel's serial number of the date: 1 for 1900-01-01, counting the
// 1900-02-29 Excel believes in, so that dates from 1900-03-01 on are the
// days since 1899-12-30. -1 before 1900.
std::int64_t SerialOf(const CalendarDate& date)
{
    if (date.Year < 1900)
        return -1;
    const std::int64_t serial = DaysOf(date) - DaysOf({ 1899, 12, 30 });
    return serial < 61 ? serial - 1 : serial;
}

// "YYYY-MM-DD", and " HH:MM:SS.mmm" with the time.
std::string DateText(const DateTime& time, bool withTime)
{
    char text[32];
    const unsigned ms = time.Milliseconds;
    if (withTime)
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", time.Date.Year, time.Date.Month,
                      time.Date.Day, ms / 3600000 % 100, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    else
        std::snprintf(text, sizeof text, "%04u-%02u-%02u", time.Date.Year, time.Date.Month, time.Date.Day);
    return text;
}

void AppendDouble(std::string& text, double value)
{
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

// The bytes a text cell writes otherwise than as themselves: markup, the
// characters XML 1.0 forbids and a carriage return (as _xHHHH_, which Excel
// reads back as the character), the start of U+FFFE and U+FFFF, and the
// underscore that may begin a literal _xHHHH_.
struct SpecialBytes {
    bool Of[256] = {};
    SpecialBytes()
    {
        for (int c = 0; c < 0x20; ++c)
            Of[c] = c != '\t' && c != '\n';
        for (const unsigned char c : { '&', '<', '>', '_', '\xEF' })
            Of[c] = true;
    }
};
const SpecialBytes kSpecial;

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

void AppendEscaped(LineBuffer& out, std::string_view text)
{
    static const char kHex[] = "0123456789ABCDEF";
    size_t run = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (!kSpecial.Of[c])
            continue;
        out.Append(text.substr(run, at - run));
        run = at + 1;
        switch (c) {
        case '&': out.Append(std::string_view("&amp;")); break;
        case '<': out.Append(std::string_view("&lt;")); break;
        case '>': out.Append(std::string_view("&gt;")); break;
        case '_':
            // A literal _xHHHH_ gets its underscore escaped, so that it reads
            // back as written rather than as the character it would name.
            if (text.size() - at >= 7 && text[at + 1] == 'x' && IsHexDigit(text[at + 2]) &&
                IsHexDigit(text[at + 3]) && IsHexDigit(text[at + 4]) && IsHexDigit(text[at + 5]) && text[at + 6] == '_')
                out.Append(std::string_view("_x005F_"));
            else
                out.Append('_');
            break;
        case 0xEF:
            // U+FFFE and U+FFFF: EF BF BE and EF BF BF.
            if (text.size() - at >= 3 && static_cast<unsigned char>(text[at + 1]) == 0xBF &&
                (static_cast<unsigned char>(text[at + 2]) & 0xFE) == 0xBE) {
                out.Append(text[at + 2] == '\xBE' ? std::string_view("_xFFFE_") : std::string_view("_xFFFF_"));
                at += 2;
                run = at + 1;
            } else {
                out.Append(static_cast<char>(c));
            }
            break;
        default: {
            const char escape[7] = { '_', 'x', '0', '0', kHex[c >> 4], kHex[c & 15], '_' };
            out.Append(std::string_view(escape, sizeof escape));
        }
        }
    }
    out.Append(text.substr(run));
}

// The text cut to Excel's limit of UTF-16 units, at a character's start.
std::string_view CutToCell(std::string_view text, bool& cut)
{
    cut = false;
    if (text.size() <= WorkbookWriter::kTextMost)
        return text;
    size_t units = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (!IsUtf8Start(c))
            continue;
        units += Utf16UnitsOf(c);
        if (units > WorkbookWriter::kTextMost) {
            cut = true;
            return text.substr(0, at);
        }
    }
    return text;
}

std::string ColumnLetters(int index)
{
    std::string letters;
    for (int n = index + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

// A number format with the given decimals: "0", "0.00", ...
std::string DecimalsFormat(unsigned decimals)
{
    return decimals == 0 ? "0" : "0." + std::string(std::min(decimals, 30u), '0');
}

} // namespace

WorkbookWriter::WorkbookWriter(std::string sheetName, const CodePageConverter& converter)
    : m_sheetName(std::move(sheetName))
{
    SetConverter(&converter);
}

WorkbookWriter::~WorkbookWriter() = default;

void WorkbookWriter::Note(WorkbookNotes::Kind kind, int field)
{
    ExportWarnings::Tally& tally = m_notes.Of[kind];
    if (tally.Count++ == 0) {
        tally.Record = m_current;
        tally.Field = field;
    }
}

void WorkbookWriter::Prepare(const mDBase& table)
{
    m_notes = WorkbookNotes();
    m_own.reset();
    m_book = m_shared;
    m_sheets = 0;
    m_columns.clear();
    // A column's width: its values' or its name's, within reason.
    std::uint64_t rowMost = 64;
    for (int i = 0; i < table.GetFieldCount(); ++i) {
        const FieldDescriptor& field = table.GetField(i);
        std::string format;
        unsigned width = field.Length;
        std::uint64_t most = 7ull * field.Length; // a byte that becomes _xHHHH_
        switch (TypeOf(i)) {
        case ValueType::Decimal:
        case ValueType::Whole:
            format = DecimalsFormat(field.Decimals);
            break;
        case ValueType::Integer:
            format = "0";
            width = 11;
            break;
        case ValueType::Double:
            if (field.Decimals > 0)
                format = DecimalsFormat(field.Decimals);
            width = 16;
            break;
        case ValueType::Currency:
            format = "0.0000"; // what the type holds, whatever the header says
            width = 20;
            break;
        case ValueType::Date:
            format = "yyyy-mm-dd";
            width = 10;
            break;
        case ValueType::Timestamp:
            format = "yyyy-mm-dd hh:mm:ss.000";
            width = 23;
            break;
        case ValueType::MemoText:
            width = 50;
            most = 7 * kTextMost;
            break;
        default:
            break;
        }
        m_columns.push_back({ i, format, "<c", ColumnLetters(i), width });
        rowMost += 64 + std::max<std::uint64_t>(most, 40);
    }
    const std::uint64_t records = std::min<std::uint64_t>(table.GetRecordCount(), kSheetRows - 1);
    m_sheetMost = 4096 + 64ull * table.GetFieldCount() * 8 + (records + 1) * rowMost;
}

void WorkbookWriter::BeginSheet(const mDBase& table, unsigned first, LineBuffer& out)
{
    Drain(out);
    ++m_sheets;
    m_book->BeginSheet(m_sheetName, first, m_sheetMost);
    out.Append(std::string_view(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<sheetViews><sheetView"));
    if (m_book->SheetCount() == 1)
        out.Append(std::string_view(" tabSelected=\"1\""));
    out.Append(std::string_view(
        " workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
        "<selection pane=\"bottomLeft\" activeCell=\"A2\" sqref=\"A2\"/></sheetView></sheetViews>"
        "<sheetFormatPr defaultRowHeight=\"15\"/>"));
    if (!m_columns.empty()) {
        out.Append(std::string_view("<cols>"));
        for (const Column& column : m_columns) {
            const std::string n = std::to_string(column.Index + 1);
            const unsigned width = std::min(std::max(column.Width, 8u), 60u) + 2;
            out.Append("<col min=\"" + n + "\" max=\"" + n + "\" width=\"" + std::to_string(width) +
                       "\" customWidth=\"1\"/>");
        }
        out.Append(std::string_view("</cols>"));
    }
    out.Append(std::string_view("<sheetData><row r=\"1\">"));
    for (const Column& column : m_columns) {
        out.Append(std::string_view("<c s=\"1\" t=\"inlineStr\"><is><t xml:space=\"preserve\">"));
        const std::string_view name = FieldName(table, column.Index);
        AppendEscaped(out, Converted(name, column.Index));
        out.Append(std::string_view("</t></is></c>"));
    }
    out.Append(std::string_view("</row>"));
    m_row = 1;
}

void WorkbookWriter::EndSheet(LineBuffer& out)
{
    out.Append(std::string_view("</sheetData></worksheet>"));
    Drain(out);
    m_book->EndSheet();
}

void WorkbookWriter::AppendStart(const mDBase& table, LineBuffer& out)
{
    if (!m_book) {
        m_own = std::make_unique<Workbook>(*CurrentOutput());
        m_book = m_own.get();
    }
    for (Column& column : m_columns)
        if (!column.Format.empty())
            column.Start = "<c s=\"" + std::to_string(m_book->Style(column.Format)) + "\"";
    BeginSheet(table, 1, out);
}

void WorkbookWriter::AppendEnd(const mDBase& /*table*/, LineBuffer& out)
{
    EndSheet(out);
    if (m_own) {
        m_own->Finish();
        m_own.reset();
    }
    m_book = nullptr;
}

void WorkbookWriter::WriteBlock(CFile& /*file*/, std::string_view block)
{
    if (!block.empty())
        m_book->WriteSheet(block);
}

void WorkbookWriter::AppendRecord(const mDBase& table, LineBuffer& out)
{
    if (m_row == kSheetRows) {
        EndSheet(out);
        BeginSheet(table, m_sheets + 1, out);
    }
    ++m_row;
    m_current = table.GetCurrentRecord();
    const auto made = std::to_chars(m_rowText, m_rowText + sizeof m_rowText, m_row);
    m_rowLength = static_cast<std::uint8_t>(made.ptr - m_rowText);
    out.Append(std::string_view("<row r=\""));
    out.Append(std::string_view(m_rowText, m_rowLength));
    out.Append(std::string_view("\">"));
    bool afterGap = false;
    for (const Column& column : m_columns)
        afterGap = !AppendCell(table, column, afterGap, out);
    out.Append(std::string_view("</row>"));
}

void WorkbookWriter::AppendCellStart(const Column& column, bool afterGap, LineBuffer& out) const
{
    out.Append(std::string_view(column.Start));
    // Cells name their place only after an empty one: the others follow
    // the one before.
    if (afterGap) {
        out.Append(std::string_view(" r=\""));
        out.Append(std::string_view(column.Letters));
        out.Append(std::string_view(m_rowText, m_rowLength));
        out.Append('"');
    }
}

void WorkbookWriter::AppendNumberCell(const Column& column, bool afterGap, std::string_view number,
                                      LineBuffer& out) const
{
    AppendCellStart(column, afterGap, out);
    out.Append(std::string_view("><v>"));
    out.Append(number);
    out.Append(std::string_view("</v></c>"));
}

void WorkbookWriter::AppendTextCell(const Column& column, bool afterGap, std::string_view utf8, int field,
                                    LineBuffer& out)
{
    bool cut = false;
    utf8 = CutToCell(utf8, cut);
    if (cut)
        Note(WorkbookNotes::LongText, field);
    AppendCellStart(column, afterGap, out);
    // Excel drops the blanks around a text unless told to keep them.
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    if (!utf8.empty() && (isBlank(utf8.front()) || isBlank(utf8.back())))
        out.Append(std::string_view(" t=\"inlineStr\"><is><t xml:space=\"preserve\">"));
    else
        out.Append(std::string_view(" t=\"inlineStr\"><is><t>"));
    AppendEscaped(out, utf8);
    out.Append(std::string_view("</t></is></c>"));
}

bool WorkbookWriter::AppendMemoCell(const Column& column, bool afterGap, int field, LineBuffer& out)
{
    const MemoFile::Memo& memo = m_value.Memo;
    if (m_value.BinaryMemo || memo.Type != MemoFile::Content::Text) {
        Note(WorkbookNotes::Binary, field);
        return false;
    }
    // No more of the text than a cell holds, and one character more to
    // tell that it was cut: a text of UTF-16 units takes at most 3 bytes
    // for each.
    constexpr size_t kKept = 3 * (kTextMost + 1);
    m_text.clear();
    AppendMemo(memo, field, true, out, [&](std::string_view piece) {
        m_text.append(piece.substr(0, kKept - std::min(kKept, m_text.size())));
    });
    if (m_text.empty())
        return false;
    // A text that did not all fit in kKept is past a cell's length, and
    // is cut and noted as such.
    AppendTextCell(column, afterGap, m_text, field, out);
    return true;
}

bool WorkbookWriter::Digits(std::string& text, int field)
{
    // Significant digits: from the first that is not 0, to the last that is
    // not 0 after the point.
    const DecimalNumber& number = m_value.Number;
    std::string_view fraction = number.Fraction;
    while (!fraction.empty() && fraction.back() == '0')
        fraction.remove_suffix(1);
    size_t significant = number.Integer.size() + fraction.size();
    if (number.Integer.empty()) {
        const size_t zeros = fraction.find_first_not_of('0');
        significant = zeros == std::string_view::npos ? 0 : fraction.size() - zeros;
    }
    text.clear();
    if (number.Negative && significant > 0)
        text += '-';
    if (number.Integer.empty())
        text += '0';
    text.append(number.Integer);
    if (!number.Fraction.empty()) {
        text += '.';
        text.append(number.Fraction);
    }
    if (significant <= kMostSignificant)
        return true;
    Note(WorkbookNotes::LongNumber, field);
    return false;
}

bool WorkbookWriter::AppendCell(const mDBase& table, const Column& column, bool afterGap, LineBuffer& out)
{
    const int field = column.Index;
    Decode(table, field, m_value);
    switch (m_value.What) {
    case Is::None:
    case Is::Invalid:
        return false;
    case Is::Text:
        if (m_value.Bytes.empty())
            return false; // blank
        AppendTextCell(column, afterGap, Converted(m_value.Bytes, field), field, out);
        return true;
    case Is::Bytes:
        Note(WorkbookNotes::Binary, field);
        return false;
    case Is::Memo:
        return AppendMemoCell(column, afterGap, field, out);
    case Is::Logical:
        AppendCellStart(column, afterGap, out);
        out.Append(m_value.Logical ? std::string_view(" t=\"b\"><v>1</v></c>")
                                   : std::string_view(" t=\"b\"><v>0</v></c>"));
        return true;
    case Is::Number:
        if (Digits(m_text, field))
            AppendNumberCell(column, afterGap, m_text, out);
        else
            AppendTextCell(column, afterGap, m_text, field, out);
        return true;
    case Is::Integer: {
        char digits[24];
        const auto made = std::to_chars(digits, digits + sizeof digits, m_value.Integer);
        AppendNumberCell(column, afterGap, std::string_view(digits, static_cast<size_t>(made.ptr - digits)), out);
        return true;
    }
    case Is::Currency: {
        // Ten-thousandths: the digits of the whole, a point and four more.
        const std::int64_t value = m_value.Integer;
        const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
        char digits[32];
        const auto made = std::to_chars(digits, digits + sizeof digits, magnitude / 10000);
        char fraction[5];
        std::snprintf(fraction, sizeof fraction, "%04u", static_cast<unsigned>(magnitude % 10000));
        m_value.Number.Negative = value < 0;
        m_value.Number.Integer = magnitude >= 10000 ? std::string_view(digits, made.ptr - digits) : std::string_view();
        m_value.Number.Fraction = std::string_view(fraction, 4);
        if (Digits(m_text, field))
            AppendNumberCell(column, afterGap, m_text, out);
        else
            AppendTextCell(column, afterGap, m_text, field, out);
        return true;
    }
    case Is::Double:
        if (!std::isfinite(m_value.Double)) {
            Warn(ExportWarnings::InvalidValue, field);
            return false;
        }
        m_text.clear();
        AppendDouble(m_text, m_value.Double);
        AppendNumberCell(column, afterGap, m_text, out);
        return true;
    case Is::Date:
    case Is::DateTime: {
        const bool withTime = m_value.What == Is::DateTime;
        const std::int64_t serial = SerialOf(m_value.Time.Date);
        if (serial < 0) {
            Note(WorkbookNotes::EarlyDate, field);
            AppendTextCell(column, afterGap, DateText(m_value.Time, withTime), field, out);
            return true;
        }
        m_text.clear();
        if (withTime && m_value.Time.Milliseconds != 0)
            AppendDouble(m_text, static_cast<double>(serial) + m_value.Time.Milliseconds / 86400000.0);
        else
            m_text = std::to_string(serial);
        AppendNumberCell(column, afterGap, m_text, out);
        return true;
    }
    }
    return false;
}
