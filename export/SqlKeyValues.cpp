// Key values spelled as a script's database compares them.

#include "export/SqlKeyValues.h"

#include "framework/CodePage.h"
#include "framework/ByteSearch.h"
#include "framework/Utf8.h"
#include "table/mDBase.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {


// 1.50 and 1.5, or -0 and 0, are one number to the database.
void Normalize(std::string& number)
{
    if (number.find('.') != std::string::npos && number.find_first_of("eE") == std::string::npos) {
        number.erase(number.find_last_not_of('0') + 1);
        if (number.back() == '.')
            number.pop_back();
    }
    if (number == "-0")
        number = "0";
}

} // namespace

SqlKeyValues::SqlKeyValues(const SqlTable& described, const SqlDialect& dialect, const CodePageConverter& converter)
    : m_columns(described.Columns), m_dialect(dialect), m_converter(converter)
{
}

void SqlKeyValues::Prepare(const mDBase& table)
{
    m_decoder.Prepare(table);
}

bool SqlKeyValues::Value(const mDBase& table, int field, std::string& text)
{
    const SqlColumn& column = m_columns[static_cast<size_t>(field)];
    if (column.Nullable && table.IsNullValue(field))
        return false;
    const std::string_view stored = column.VarLength ? table.ValueView(field) : table.FieldView(table.GetField(field));
    text.clear();
    switch (column.Value) {
    case SqlValue::Characters:
    case SqlValue::OtherText: {
        // Without trailing blanks and the NULs some writers pad with; a NUL
        // the database does not hold is written as U+FFFD.
        m_converter.AppendUtf8(stored.substr(0, PaddedEnd(stored)), text);
        if (!m_dialect.HoldsNul())
            for (size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at))
                text.replace(at, 1, kReplacementCharacter);
        return true;
    }
    case SqlValue::Decimal:
    case SqlValue::Whole: {
        // A number its column cannot hold is written as NULL.
        DecimalNumber number;
        if (DecodeNumber(stored, number) != Decoded::Value)
            return false;
        const bool tooPrecise = number.Fraction.size() > column.Places &&
                                number.Fraction.find_first_not_of('0', column.Places) != std::string_view::npos;
        if (tooPrecise || number.Integer.size() > column.Digits - column.Places)
            return false;
        text = number.Negative ? "-" : "";
        text += number.Integer.empty() ? std::string_view("0") : number.Integer;
        if (column.Value == SqlValue::Decimal && !number.Fraction.empty())
            text.append(".").append(number.Fraction);
        Normalize(text);
        return true;
    }
    case SqlValue::Date: {
        CalendarDate date;
        if (DecodeDate(stored, date) != Decoded::Value)
            return false;
        text.assign(stored.substr(0, 8));
        return true;
    }
    case SqlValue::Logical: {
        bool value = false;
        if (DecodeLogical(stored, value) != Decoded::Value)
            return false;
        text = value ? "t" : "f";
        return true;
    }
    default:
        return DecodedValue(table, field, text);
    }
}

bool SqlKeyValues::DecodedValue(const mDBase& table, int field, std::string& text)
{
    m_decoder.Decode(table, field, m_value);
    switch (m_value.What) {
    case FieldValue::Is::Integer:
    case FieldValue::Is::Currency:
        text = std::to_string(m_value.Integer);
        return true;
    case FieldValue::Is::Double: {
        if (!std::isfinite(m_value.Double)) {
            // As the dialect writes it; a NaN may be NULL to its database.
            const auto special = m_dialect.SpecialDouble(m_value.Double);
            if (!special || *special == m_dialect.Spelling().Null.View())
                return false;
            text.assign(*special);
            return true;
        }
        char digits[32];
        text.assign(digits, std::to_chars(digits, digits + sizeof digits, m_value.Double).ptr);
        Normalize(text);
        return true;
    }
    case FieldValue::Is::DateTime: {
        const DateTime& time = m_value.Time;
        char digits[48];
        const int length = std::snprintf(digits, sizeof digits, "%04u-%02u-%02u %u", time.Date.Year, time.Date.Month,
                                         time.Date.Day, time.Milliseconds);
        text.assign(digits, static_cast<size_t>(length));
        return true;
    }
    case FieldValue::Is::Bytes:
        text.assign(m_value.Bytes);
        return true;
    default:
        return false; // no value, one written as NULL, or a memo, which no key holds
    }
}
