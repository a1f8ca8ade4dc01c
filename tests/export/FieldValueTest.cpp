// The typed value of every field type of every family, from stored bytes:
// one table of cases, each a one-field table of one record.

#include "export/FieldValue.h"
#include "table/MemoFile.h"
#include "table/mDBase.h"
#include "tests/support/MemoBuilder.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using testing_support::Bytes;
using testing_support::Hex;
using testing_support::MemoBuilder;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

// A value as one line, to compare with the cases'.
std::string Described(const FieldValue& value)
{
    using Is = FieldValue::Is;
    char text[96];
    switch (value.What) {
    case Is::None: return "none";
    case Is::Invalid: return value.Warning == ExportWarnings::UnreadableMemo ? "unreadable memo" : "invalid";
    case Is::Text: return "text [" + std::string(value.Bytes) + "]";
    case Is::Bytes: return "bytes [" + std::string(value.Bytes) + "]";
    case Is::Number:
        return std::string("number ") + (value.Number.Negative ? "-" : "") + std::string(value.Number.Integer) + "|" +
               std::string(value.Number.Fraction);
    case Is::Double: std::snprintf(text, sizeof text, "double %g", value.Double); return text;
    case Is::Integer: return "integer " + std::to_string(value.Integer);
    case Is::Currency: return "currency " + std::to_string(value.Integer);
    case Is::Date:
        std::snprintf(text, sizeof text, "date %04u-%02u-%02u", value.Time.Date.Year, value.Time.Date.Month,
                      value.Time.Date.Day);
        return text;
    case Is::DateTime:
        std::snprintf(text, sizeof text, "datetime %04u-%02u-%02u %u", value.Time.Date.Year, value.Time.Date.Month,
                      value.Time.Date.Day, value.Time.Milliseconds);
        return text;
    case Is::Logical: return value.Logical ? "logical true" : "logical false";
    case Is::Memo:
        std::snprintf(text, sizeof text, "%s memo %d of %llu bytes", value.BinaryMemo ? "binary" : "text",
                      static_cast<int>(value.Memo.Type), static_cast<unsigned long long>(value.Memo.Length));
        return text;
    }
    return "?";
}

TEST(FieldValueTest, EveryTypeOfEveryFamily)
{
    constexpr std::uint8_t dBase3 = 0x03, dBase4 = 0x8B, fox = 0x30, level7 = 0x04;
    const struct {
        std::uint8_t version;
        char type;
        std::uint16_t length;
        std::uint8_t decimals;
        std::string stored;
        std::string expected;
    } cases[] = {
        // Texts lose trailing blanks and NULs, never leading ones.
        { dBase3, 'C', 8, 0, " 01234  ", "text [ 01234]" },
        { dBase3, 'C', 4, 0, Bytes({ 'a', 0, 0, 0 }), "text [a]" },
        { dBase3, 'C', 4, 0, "    ", "text []" },
        { fox, 'V', 6, 0, "ab    ", "text [ab]" },
        { dBase3, 'X', 3, 0, "x y", "text [x y]" },
        // Numbers keep their stored digits; a comma is a point.
        { dBase3, 'N', 8, 2, "  -01.50", "number -1|50" },
        { dBase3, 'N', 5, 0, "  007", "number 7|" },
        { dBase3, 'N', 5, 0, "   -0", "number -|" },
        { dBase3, 'F', 10, 3, "  12,125  ", "number 12|125" },
        { dBase3, 'N', 20, 0, "12345678901234567890", "number 12345678901234567890|" },
        { dBase3, 'N', 6, 0, "      ", "none" },
        { dBase3, 'N', 6, 0, " 1 2  ", "invalid" },
        { dBase3, 'N', 6, 0, "******", "invalid" },
        // A double written with an exponent: its double; nothing else about it.
        { dBase3, 'N', 10, 0, " 1.5E+10  ", "double 1.5e+10" },
        { dBase3, 'F', 12, 3, "   -2.5e-003", "double -0.0025" },
        { dBase3, 'N', 8, 0, "  +1e300", "double 1e+300" },
        { dBase3, 'N', 8, 0, "  1e999 ", "invalid" },
        { dBase3, 'N', 8, 0, "  1E+   ", "invalid" },
        { dBase3, 'N', 8, 0, " E5     ", "invalid" },
        { dBase3, 'N', 8, 0, " --1e5  ", "invalid" },
        // Dates: blanks or zeros are none, February 30th is invalid.
        { dBase3, 'D', 8, 0, "20240229", "date 2024-02-29" },
        { dBase3, 'D', 8, 0, "00000000", "none" },
        { dBase3, 'D', 8, 0, "20230229", "invalid" },
        { dBase3, 'L', 1, 0, "y", "logical true" },
        { dBase3, 'L', 1, 0, "F", "logical false" },
        { dBase3, 'L', 1, 0, "?", "none" },
        { dBase3, 'L', 1, 0, "x", "invalid" },
        // Visual FoxPro's binary types.
        { fox, 'I', 4, 0, Hex("feffffff"), "integer -2" },
        { fox, 'Y', 8, 4, Hex("f0d8ffffffffffff"), "currency -10000" },
        { fox, 'Y', 8, 4, Hex("0000000000000080"), "currency -9223372036854775808" },
        { fox, 'B', 8, 2, Hex("000000000000f83f"), "double 1.5" },
        { fox, 'T', 8, 0, Hex("d28a2500") + Hex("952cb302"), "datetime 2024-02-29 45296789" },
        { fox, 'T', 8, 0, "        ", "none" },
        { fox, 'T', 8, 0, Hex("d28a2500") + Hex("804a5d05"), "invalid" }, // 90,000 s after midnight
        { fox, 'Q', 4, 0, Bytes({ 0, 1, 'a', ' ' }), std::string("bytes [") + std::string("\0\1a ", 4) + "]" },
        // dBase level 7: long, autoincrement and double, all zero bytes none.
        { level7, 'I', 4, 0, Hex("80000005"), "integer 5" },
        { level7, '+', 4, 0, Hex("7ffffffe"), "integer -2" },
        { level7, 'I', 4, 0, Hex("00000000"), "none" },
        { level7, 'O', 8, 0, Hex("c059000000000000"), "double 100" },
        { level7, 'O', 8, 0, Hex("3fa6ffffffffffff"), "double -100" },
        { level7, 'O', 8, 0, Hex("0000000000000000"), "none" },
        // Memo pointers without a memo file: no value.
        { dBase4, 'M', 10, 0, "         1", "none" },
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.type) + " of version " + std::to_string(c.version));
        TableBuilder().Version(c.version).Field("F", c.type, c.length, c.decimals).Record({ c.stored })
            .WriteTo(dir.File("t.dbf"));
        mDBase table;
        ASSERT_EQ(table.Open(dir.File("t.dbf").c_str()), 1);
        table.GoTo(1);
        ValueDecoder decoder;
        decoder.Prepare(table);
        FieldValue value;
        decoder.Decode(table, 0, value);
        EXPECT_EQ(Described(value), c.expected);
    }
}

TEST(FieldValueTest, MemosAndNulls)
{
    // A FoxPro table: a text memo, a picture in an "M" field, a general
    // field, a pointer past the file's end, a pointer of letters, and a
    // null field beside its null flags.
    TempDir dir;
    MemoBuilder memos(MemoBuilder::FoxPro, 64);
    const std::uint32_t text = memos.Add("hola\r\n");
    const std::uint32_t picture = memos.Add("\x89PNG", 0);
    memos.WriteTo(dir.File("t.fpt"));
    const auto block = [](std::uint32_t n) {
        std::string b(4, '\0');
        TableBuilder::Put32(b, 0, n);
        return b;
    };
    TableBuilder()
        .Version(0x30)
        .Field("M1", 'M', 4).Field("M2", 'M', 4).Field("G", 'G', 4).Field("M3", 'M', 4).Field("N", 'N', 4, 0, 0x02)
        .Field("_NullFlags", '0', 1, 0, 0x05)
        .Record({ block(text), block(picture), block(picture), block(999), "  12", Bytes({ 0x01 }) })
        .WriteTo(dir.File("t.dbf"));
    mDBase table;
    ASSERT_EQ(table.Open(dir.File("t.dbf").c_str()), 1);
    MemoFile memo;
    memo.Open(dir.File("t.dbf").c_str(), table.GetVersion());
    table.GoTo(1);
    ValueDecoder decoder;
    decoder.SetMemoFile(&memo);
    decoder.Prepare(table);
    const char* expected[] = { "text memo 0 of 6 bytes", "text memo 1 of 4 bytes", "binary memo 1 of 4 bytes",
                               "unreadable memo", "none" };
    for (int i = 0; i < 5; ++i) {
        FieldValue value;
        decoder.Decode(table, i, value);
        EXPECT_EQ(Described(value), expected[i]) << "field " << i;
    }
    EXPECT_EQ(decoder.TypeOf(2), ValueType::MemoBinary);
    EXPECT_EQ(decoder.TypeOf(4), ValueType::Whole);
}

} // namespace
