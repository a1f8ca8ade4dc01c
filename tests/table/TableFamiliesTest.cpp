// Tables as Visual FoxPro and dBase level 7 write them: where the field
// table ends, hidden and nullable fields, and the binary types.

#include "table/mDBase.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;
using testing_support::Hex;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

std::string Str(const CString& s) { return std::string(s.View()); }

const std::string kBacklink(263, '\0');

class TableFamiliesTest : public ::testing::Test {
protected:
    void OpenTable(const TableBuilder& builder)
    {
        table.Close();
        builder.WriteTo(path);
        ASSERT_EQ(table.Open(path.c_str()), 1);
    }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < table.GetFieldCount(); ++i)
            names.push_back(Str(table.GetField(i).Name));
        return names;
    }

    TempDir dir;
    std::string path = dir.File("tabla.dbf");
    mDBase table;
};

TEST_F(TableFamiliesTest, FieldTableEndsAtItsTerminator)
{
    // Visual FoxPro's backlink would read as eight more descriptors.
    OpenTable(TableBuilder().Version(0x30).AfterTerminator(kBacklink)
                  .Field("NOMBRE", 'C', 4).Field("EDAD", 'N', 3).Record({ "Ana", " 42" }));
    EXPECT_EQ(Names(), (std::vector<std::string>{ "NOMBRE", "EDAD" }));
    EXPECT_EQ(Str(table.GetDisplayText(1)), " 42"); // records still begin at HeaderLength

    // Any family: bytes after the terminator, however they look, are no field.
    const std::string phantom = TableBuilder().Field("FANTASMA", 'C', 9).Header().substr(32, 32);
    OpenTable(TableBuilder().Field("A", 'C', 2).AfterTerminator(phantom + phantom).Record({ "ab" }));
    EXPECT_EQ(Names(), std::vector<std::string>{ "A" });
    EXPECT_EQ(Str(table.GetFieldText(0)), "ab");

    // A terminator in the first slot: no fields at all.
    OpenTable(TableBuilder().HeaderLength(97).AfterTerminator(phantom + phantom).RawRecord(" "));
    EXPECT_EQ(table.GetFieldCount(), 0);
}

TEST_F(TableFamiliesTest, VisualFoxProHidesSystemFieldsAndKeepsTheirBytes)
{
    // Bits of _NullFlags: NOMBRE null 0; V length 1, null 2; V2 length 3; N null 4.
    const auto build = [](const std::string& flagsByte) {
        return TableBuilder().Version(0x30).AfterTerminator(kBacklink)
            .Field("NOMBRE", 'C', 6, 0, 0x02).Field("V", 'V', 6, 0, 0x02).Field("V2", 'V', 4)
            .Field("_NullFlags", '0', 1, 0, 0x05).Field("N", 'N', 5, 2, 0x02)
            .Record({ "Ana", "abc\0\0\x03"s, "wxyz", flagsByte, " 1.50" })
            .Record({ "Luis", "de  \0\x04"s, "p\0\0\x01"s, "\x1F", "-2.00" });
    };
    OpenTable(build("\x02"));
    EXPECT_EQ(Names(), (std::vector<std::string>{ "NOMBRE", "V", "V2", "N" }));
    EXPECT_EQ(table.GetField(3).Offset, 1u + 6 + 6 + 4 + 1); // after the hidden field's byte
    EXPECT_EQ(table.GetField(3).Decimals, 2);

    // A variable-length value: its own length, the length byte never shown.
    EXPECT_EQ(Str(table.GetFieldText(1)), "abc   ");
    EXPECT_EQ(Str(table.GetExportText(1)), "abc");
    EXPECT_EQ(Str(table.GetDisplayText(1)), "abc");
    // Without its bit, a "V" field is a "C" field.
    EXPECT_EQ(Str(table.GetFieldText(2)), "wxyz");
    EXPECT_EQ(Str(table.GetDisplayText(0)), "Ana");
    EXPECT_EQ(Str(table.GetExportText(3)), "1.50");

    // Null values: no display or export text; the raw text keeps its width.
    ASSERT_EQ(table.GoTo(2), 1);
    for (int i : { 0, 1, 3 }) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Str(table.GetDisplayText(i)), "");
        EXPECT_EQ(Str(table.GetExportText(i)), "");
    }
    EXPECT_EQ(Str(table.GetFieldText(0)), "Luis  ");
    EXPECT_EQ(Str(table.GetFieldText(1)), "de    "); // trailing blanks of the value are its own
    EXPECT_EQ(Str(table.GetFieldText(3)), "-2.00");
    EXPECT_EQ(Str(table.GetFieldText(2)), "p   ");
    EXPECT_EQ(Str(table.GetDisplayText(2)), "p");

    // Without a "_NullFlags" field nothing is null, and a length byte that
    // claims more than the field holds stops before the length byte.
    OpenTable(TableBuilder().Version(0x30).Field("V", 'V', 4).Field("F", '0', 1, 0, 0x05)
                  .Field("C", 'C', 2, 0, 0x02).Record({ "abc\xFF", "\x01", "zz" }));
    EXPECT_EQ(Str(table.GetDisplayText(0)), "abc");
    EXPECT_EQ(Str(table.GetFieldText(0)), "abc ");
    EXPECT_EQ(Str(table.GetDisplayText(1)), "zz");
}

TEST_F(TableFamiliesTest, VisualFoxProBinaryTypes)
{
    const struct { char type; std::uint8_t length; std::string stored; std::string shown; } cases[] = {
        { 'I', 4, Hex("0c000000"), "12" },
        { 'I', 4, Hex("00000000"), "0" },
        { 'I', 4, Hex("ffffffff"), "-1" },
        { 'I', 4, Hex("00000080"), "-2147483648" },
        { 'I', 4, Hex("ffffff7f"), "2147483647" },
        { 'B', 8, Hex("0000000000c03240"), "18.75" },
        { 'B', 8, Hex("00000000008013c0"), "-4.875" },
        { 'B', 8, Hex("0000000000000000"), "0" },
        { 'B', 8, Hex("c2f5285c099b0641"), "185185.16999999998" }, // never rounded
        // Plain notation: the nearest double to 1e23, and the smallest one.
        { 'B', 8, Hex("f64ae1c7022db544"), "99999999999999991611392" },
        { 'B', 8, Hex("0100000000000000"), "0." + std::string(323, '0') + "5" },
        { 'B', 8, Hex("000000000000f87f"), "nan" },
        { 'B', 8, Hex("000000000000f0ff"), "-inf" },
        { 'Y', 8, Hex("0c81ffffffffffff"), "-3.2500" },
        { 'Y', 8, Hex("48e8010000000000"), "12.5000" },
        { 'Y', 8, Hex("0000000000000000"), "0.0000" },
        { 'Y', 8, Hex("0000000000000080"), "-922337203685477.5808" },
        { 'Y', 8, Hex("ffffffffffffff7f"), "922337203685477.5807" },
        { 'T', 8, Hex("c88e25000f0e8a02"), "2026-12-09 11:50:01" }, // milliseconds dropped
        { 'T', 8, Hex("8c3d250000000000"), "1970-01-01 00:00:00" },
        { 'T', 8, Hex("52441a00ff5b2605"), "0001-01-01 23:59:59" },
        { 'T', 8, Hex("2cfe510000000000"), "9999-12-31 00:00:00" },
        { 'T', 8, Hex("2dfe510000000000"), "" }, // year 10000
        { 'T', 8, Hex("51441a0000000000"), "" }, // before year 1
        { 'T', 8, Hex("8c3d2500005c2605"), "" }, // a full day of milliseconds
        { 'T', 8, Hex("0000000000000000"), "" },
        { 'T', 8, std::string(8, ' '), "" },
        { 'M', 4, Hex("05000000"), "5" },
        { 'G', 4, Hex("ffffffff"), "4294967295" },
        { 'W', 4, Hex("00000000"), "" },
        { 'M', 10, "        17", "        17" }, // FoxPro's memo: a number as text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.type) + " " + c.shown.substr(0, 40));
        OpenTable(TableBuilder().Version(0x30).AfterTerminator(kBacklink)
                      .Field("X", c.type, c.length).Field("C", 'C', 1).Record({ c.stored, "z" }));
        EXPECT_EQ(Str(table.GetDisplayText(0)), c.shown);
        if (table.GetField(0).IsBinary()) {
            EXPECT_EQ(Str(table.GetFieldText(0)), "");
            EXPECT_EQ(Str(table.GetExportText(0)), "");
        }
        EXPECT_EQ(Str(table.GetDisplayText(1)), "z");
    }
}

TEST_F(TableFamiliesTest, Level7HeaderAndNumbers)
{
    OpenTable(TableBuilder().Version(0x8C)
                  .Field("NOMBRE_MUY_LARGO_DE_TREINTA_Y_UN", 'C', 6).Field("CONTADOR", '+', 4)
                  .Field("ENTERO", 'I', 4).Field("DOBLE", 'O', 8).Field("IMPORTE", 'N', 7, 2)
                  .Record({ "Ana", Hex("80000001"), Hex("7fffffff"), Hex("c059000000000000"), "  12.50" })
                  .Record({ "", Hex("00000000"), Hex("80000000"), Hex("0000000000000000"), "" }));
    EXPECT_EQ(Names(), (std::vector<std::string>{ "NOMBRE_MUY_LARGO_DE_TREINTA_Y_UN", "CONTADOR",
                                                  "ENTERO", "DOBLE", "IMPORTE" }));
    EXPECT_EQ(table.GetHeaderLength(), 68 + 5 * 48 + 1);
    EXPECT_EQ(table.GetField(4).Decimals, 2);
    EXPECT_EQ(table.GetField(4).Offset, 1u + 6 + 4 + 4 + 8);
    const char* first[] = { "Ana", "1", "-1", "100.00", "  12.50" };
    const char* second[] = { "", "", "0", "", "" };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Str(table.GetDisplayText(i)), first[i]);
    }
    ASSERT_EQ(table.GoTo(2), 1);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Str(table.GetDisplayText(i)), second[i]);
    }
    EXPECT_EQ(Str(table.GetFieldText(1)), "");

    // A level 7 header length that cannot even hold its fixed header.
    table.Close();
    TableBuilder().Version(0x04).Field("A", 'C', 1).HeaderLength(67).Record({ "a" }).WriteTo(path);
    EXPECT_THROW(table.Open(path.c_str()), CFileException);
    EXPECT_FALSE(table.IsOpen());
}

TEST_F(TableFamiliesTest, LongCharacterFieldsAndDBaseIVWrittenAs0x84)
{
    const std::string text300 = std::string(299, 'x') + "y";
    const struct {
        const char* what;
        TableBuilder table;
        std::vector<std::string> shown; // every field's display text
    } cases[] = {
        // Clipper: 300 is 44 + 256 * 1; every later field is read from its own bytes.
        { "long C field", TableBuilder().Field("TEXTO", 'C', 300).Field("N", 'N', 3).Record({ text300, "  7" }),
          { text300, "  7" } },
        // A display hint in the decimal count, where the record fits the plain lengths.
        { "decimal count of a short C field", TableBuilder().Field("A", 'C', 3, 2).Field("B", 'C', 2).Record({ "abc", "de" }),
          { "abc", "de" } },
        // Perl's XBase: version 0x84, 32-byte descriptors and terminator.
        { "0x84 with 32-byte descriptors",
          TableBuilder().Version(0x84).Descriptors32().Field("NOMBRE", 'C', 5).Field("NOTA", 'M', 10)
              .Record({ "Ana", "         1" }),
          { "Ana", "         1" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OpenTable(c.table);
        ASSERT_EQ(table.GetFieldCount(), static_cast<int>(c.shown.size()));
        for (size_t i = 0; i < c.shown.size(); ++i)
            EXPECT_EQ(Str(table.GetDisplayText(static_cast<int>(i))), c.shown[i]);
    }
    EXPECT_EQ(table.GetField(0).Length, 5);
    OpenTable(cases[0].table);
    EXPECT_EQ(table.GetField(1).Offset, 301u);
    EXPECT_EQ(Str(table.GetFieldText(0)).size(), 300u);
}

} // namespace
