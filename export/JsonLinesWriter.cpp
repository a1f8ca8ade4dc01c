// JSON Lines: the keys of a table's fields, and each record's typed values.
#include "export/JsonLinesWriter.h"

#include "framework/CodePage.h"
#include "framework/ByteSearch.h"
#include "table/mDBase.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <set>

namespace {

// The high bit of each byte of the word that a JSON string cannot hold as
// itself: a control character, a quote or a backslash; exact for the first
// such byte, a hint for those after it.
ORVALIS_ALWAYS_INLINE std::uint64_t EscapedBytes(std::uint64_t word)
{
    return BytesBelow(word, 0x20) | ZeroBytes(word ^ 0x2222222222222222u) | ZeroBytes(word ^ 0x5C5C5C5C5C5C5C5Cu);
}

bool IsEscaped(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\';
}

// How many bytes the text begins with that a JSON string holds as they are,
// eight at a time.
ORVALIS_ALWAYS_INLINE size_t PlainBytes(std::string_view text)
{
    size_t at = 0;
    for (; at + 8 <= text.size(); at += 8)
        if (const std::uint64_t escaped = EscapedBytes(LoadWord(text.data() + at)))
            return at + static_cast<size_t>(__builtin_ctzll(escaped)) / 8;
    while (at < text.size() && !IsEscaped(text[at]))
        ++at;
    return at;
}

void AppendEscape(LineBuffer& out, char c)
{
    static const char kHex[] = "0123456789abcdef";
    switch (c) {
    case '"': return out.Append(ShortText("\\\""));
    case '\\': return out.Append(ShortText("\\\\"));
    case '\n': return out.Append(ShortText("\\n"));
    case '\r': return out.Append(ShortText("\\r"));
    case '\t': return out.Append(ShortText("\\t"));
    default: {
        const char escape[6] = { '\\', 'u', '0', '0', kHex[(c >> 4) & 1], kHex[c & 15] };
        return out.Append(ShortText(std::string_view(escape, sizeof escape)));
    }
    }
}

// UTF-8 text inside a JSON string: escaped where JSON says.
ORVALIS_ALWAYS_INLINE void AppendJsonText(LineBuffer& out, std::string_view text)
{
    for (;;) {
        const size_t plain = PlainBytes(text);
        out.Append(text.substr(0, plain));
        if (plain == text.size())
            return;
        AppendEscape(out, text[plain]);
        text.remove_prefix(plain + 1);
    }
}

// Bytes in base64, given in pieces of any length: up to two bytes wait for
// the next piece to make three.
class Base64 {
public:
    void Add(LineBuffer& out, std::string_view bytes)
    {
        for (const char c : bytes) {
            m_waiting = m_waiting << 8 | static_cast<unsigned char>(c);
            if (++m_count == 3) {
                Put(out, 4);
                m_waiting = 0;
                m_count = 0;
            }
        }
    }
    void End(LineBuffer& out)
    {
        if (m_count == 0)
            return;
        const unsigned count = m_count;
        m_waiting <<= 8 * (3 - count);
        Put(out, count + 1);
        out.Append(3 - count, '=');
        m_waiting = 0;
        m_count = 0;
    }

private:
    void Put(LineBuffer& out, unsigned digits) const
    {
        static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        char* const to = out.Claim(4);
        for (unsigned i = 0; i < 4; ++i)
            to[i] = kDigits[m_waiting >> (18 - 6 * i) & 63];
        out.Keep(to + digits);
    }

    std::uint32_t m_waiting = 0;
    unsigned m_count = 0;
};

// Two decimal digits of a value below 100, from a table of the pairs.
char* PutPair(char* to, unsigned value)
{
    static const char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                 "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                 "8081828384858687888990919293949596979899";
    std::memcpy(to, kPairs + 2 * value, 2);
    return to + 2;
}

// "YYYY-MM-DD", and "THH:MM:SS.mmm" after it for a date-time.
void AppendIsoDate(LineBuffer& out, const DateTime& time, bool withTime)
{
    char* to = out.Claim(32);
    *to++ = '"';
    to = PutPair(PutPair(to, time.Date.Year / 100), time.Date.Year % 100);
    *to++ = '-';
    to = PutPair(to, time.Date.Month);
    *to++ = '-';
    to = PutPair(to, time.Date.Day);
    if (withTime) {
        const unsigned ms = time.Milliseconds;
        *to++ = 'T';
        to = PutPair(to, ms / 3600000);
        *to++ = ':';
        to = PutPair(to, ms / 60000 % 60);
        *to++ = ':';
        to = PutPair(to, ms / 1000 % 60);
        *to++ = '.';
        *to++ = static_cast<char>('0' + ms % 1000 / 100);
        to = PutPair(to, ms % 100);
    }
    *to++ = '"';
    out.Keep(to);
}

} // namespace

void JsonLinesWriter::Prepare(const mDBase& table)
{
    // The names as the header line writes them; a name that repeats one
    // before it (or one that a repeat became) takes the first free _2, _3.
    std::set<std::string> used;
    m_keys.clear();
    for (int i = 0; i < table.GetFieldCount(); ++i) {
        std::string name;
        Converter()->AppendUtf8(FieldName(table, i), name);
        std::string key = name;
        for (int n = 2; !used.insert(key).second; ++n)
            key = name + "_" + std::to_string(n);
        LineBuffer escaped(16 + 6 * key.size());
        escaped.Append(i == 0 ? '{' : ',');
        escaped.Append('"');
        AppendJsonText(escaped, key);
        escaped.Append(ShortText("\":"));
        m_keys.emplace_back(escaped.View());
    }
}

void JsonLinesWriter::AppendRecord(const mDBase& table, LineBuffer& out)
{
    if (m_keys.empty()) {
        out.Append(ShortText("{}\n"));
        return;
    }
    for (size_t i = 0; i < m_keys.size(); ++i) {
        out.Append(m_keys[i]);
        AppendValue(table, static_cast<int>(i), out);
    }
    out.Append(ShortText("}\n"));
}

void JsonLinesWriter::AppendValue(const mDBase& table, int i, LineBuffer& out)
{
    Decode(table, i, m_value);
    const FieldValue& value = m_value;
    switch (value.What) {
    case FieldValue::Is::Text:
        out.Append('"');
        AppendJsonText(out, Converted(value.Bytes, i));
        out.Append('"');
        return;
    case FieldValue::Is::Number: {
        // The stored digits: a leading zero only where none is before the point.
        const DecimalNumber& number = value.Number;
        // Nearly always stored as JSON writes it: one copy of its text.
        const std::string_view digits = number.Integer;
        if (!digits.empty() && (!number.Negative || digits.data()[-1] == '-') &&
            (number.Fraction.empty() || digits.data()[digits.size()] == '.')) {
            const char* const first = digits.data() - (number.Negative ? 1 : 0);
            const char* const last = number.Fraction.empty() ? digits.data() + digits.size()
                                                             : number.Fraction.data() + number.Fraction.size();
            out.Append(std::string_view(first, static_cast<size_t>(last - first)));
            return;
        }
        if (number.Negative)
            out.Append('-');
        out.Append(number.Integer.empty() ? std::string_view("0") : number.Integer);
        if (!number.Fraction.empty()) {
            out.Append('.');
            out.Append(number.Fraction);
        }
        return;
    }
    case FieldValue::Is::Integer: {
        char* const to = out.Claim(24);
        out.Keep(std::to_chars(to, to + 24, value.Integer).ptr);
        return;
    }
    case FieldValue::Is::Currency:
        AppendCurrency(out, value.Integer);
        return;
    case FieldValue::Is::Double: {
        // JSON has no infinity and no NaN.
        if (!std::isfinite(value.Double)) {
            Warn(ExportWarnings::InvalidValue, i);
            break;
        }
        // The fewest digits that read back as the same double.
        char* const to = out.Claim(32);
        out.Keep(std::to_chars(to, to + 32, value.Double).ptr);
        return;
    }
    case FieldValue::Is::Date:
    case FieldValue::Is::DateTime:
        AppendIsoDate(out, value.Time, value.What == FieldValue::Is::DateTime);
        return;
    case FieldValue::Is::Logical:
        out.Append(ShortText(value.Logical ? "true" : "false"));
        return;
    case FieldValue::Is::Bytes: {
        Base64 base64;
        out.Append('"');
        base64.Add(out, value.Bytes);
        base64.End(out);
        out.Append('"');
        return;
    }
    case FieldValue::Is::Memo:
        AppendMemo(value, i, out);
        return;
    case FieldValue::Is::None:
    case FieldValue::Is::Invalid:
        break;
    }
    out.Append(ShortText("null"));
}

void JsonLinesWriter::AppendMemo(const FieldValue& value, int i, LineBuffer& out)
{
    out.Append('"');
    // A text, converted; a picture or object, even in an "M" field, in base64.
    if (!value.BinaryMemo && value.Memo.Type == MemoFile::Content::Text) {
        ExportWriter::AppendMemo(value.Memo, i, true, out, [&](std::string_view piece) { AppendJsonText(out, piece); });
    } else {
        Base64 base64;
        ExportWriter::AppendMemo(value.Memo, i, false, out, [&](std::string_view piece) { base64.Add(out, piece); });
        base64.End(out);
    }
    out.Append('"');
}
