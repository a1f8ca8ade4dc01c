#include "export/TextExportWriter.h"
#include "table/mDBase.h"
#include "tests/support/FullDisk.h"
#include "tests/support/Files.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
using testing_support::Bytes;
using testing_support::Exists;
using testing_support::Hex;
using testing_support::ReadAll;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

class ExportTest : public ::testing::Test {
protected:
    // Exports the table in the layout and returns the file's bytes.
    std::string Export(const TableBuilder& builder, ExportFormat layout, const char* separator)
    {
        builder.WriteTo(tablePath);
        mDBase table;
        EXPECT_EQ(table.Open(tablePath.c_str()), 1);
        TextExportWriter(layout, separator).Export(table, outPath.c_str());
        return ReadAll(outPath);
    }

    // Two records of every kind of field the layouts treat apart.
    static TableBuilder Mixed()
    {
        return TableBuilder()
            .Field("NOMBRE", 'C', 10).Field("IMPORTE", 'N', 8).Field("ID", 'I', 4)
            .Field("FECHA", 'D', 8).Field("PRECIO", 'O', 8)
            .Record({ "JUAN", "   15.50", Bytes({ 0x80, 0, 0, 5 }), "20261209",
                      Bytes({ 0xC0, 0x59, 0, 0, 0, 0, 0, 0 }) })
            .Record({ "", "", Bytes({ 0x7F, 0xFF, 0xFF, 0xFF }), "        ",
                      Bytes({ 0x3F, 0xA6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }) }, '*');
    }

    TempDir dir;
    std::string tablePath = dir.File("tabla.dbf");
    std::string outPath = dir.File("salida.txt");
};

// --- the four layouts --------------------------------------------------------

TEST_F(ExportTest, FixedLengthWritesTheStoredBytesWithoutTheNumbers)
{
    // Longs and doubles have no raw text: the line is 10 + 8 + 8 + 2 bytes.
    EXPECT_EQ(Export(Mixed(), ExportFormat::FixedLength, ""),
              "JUAN         15.5020261209\r\n"
              "                          \r\n");
}

TEST_F(ExportTest, TabSeparatedTrimsAndWritesTheNumbersAsShown)
{
    EXPECT_EQ(Export(Mixed(), ExportFormat::TabSeparated, "\t"),
              "JUAN\t15.50\t5\t20261209\t100.00\r\n"
              "\t\t-1\t        \t-100.00\r\n");
}

TEST_F(ExportTest, CommaSeparatedQuotesCharacterFieldsOnly)
{
    EXPECT_EQ(Export(Mixed(), ExportFormat::CommaSeparated, ","),
              "\"JUAN\",15.50,5,20261209,100.00\r\n"
              "\"\",,-1,        ,-100.00\r\n");
}

TEST_F(ExportTest, OtherCharacterSeparatesWithItOrWithNothing)
{
    EXPECT_EQ(Export(Mixed(), ExportFormat::OtherCharacter, ";"),
              "JUAN;15.50;5;20261209;100.00\r\n"
              ";;-1;        ;-100.00\r\n");
    EXPECT_EQ(Export(Mixed(), ExportFormat::OtherCharacter, ""),
              "JUAN15.50520261209100.00\r\n"
              "-1        -100.00\r\n");
    // A comma typed as the character: separated as by commas, but unquoted.
    EXPECT_EQ(Export(Mixed(), ExportFormat::OtherCharacter, ","),
              "JUAN,15.50,5,20261209,100.00\r\n"
              ",,-1,        ,-100.00\r\n");
}

TEST_F(ExportTest, QuotesInsideCharacterValuesAreDoubled)
{
    const TableBuilder table = TableBuilder().Field("T", 'C', 12).Field("M", 'M', 6)
                                   .Record({ "di \"hola\"", "a\"b,c" }).Record({ "\"", "" });
    EXPECT_EQ(Export(table, ExportFormat::CommaSeparated, ","),
              "\"di \"\"hola\"\"\",a\"b,c \r\n"
              "\"\"\"\",      \r\n");
    // Only the comma-separated layout quotes.
    EXPECT_EQ(Export(table, ExportFormat::TabSeparated, "\t"),
              "di \"hola\"\ta\"b,c \r\n"
              "\"\t      \r\n");
}

TEST_F(ExportTest, TrimsAndQuotesHoldForEveryLength)
{
    // Values of every length up to a field wider than the words the export
    // copies and searches in, with blanks, tabs and quotes anywhere; the
    // expected lines follow the rules byte by byte.
    const std::string sample = "A a \"b\tc  d\"\"e f\v\"gh  \"i\r j\"k   l\"mn\f\"o p\"q\"r\ts  t\"u v\"w x\"yz\"\"1 2\"3 \"";
    ASSERT_EQ(sample.size(), 70u);
    const auto white = [](char c) { return std::string_view(" \t\n\v\f\r").find(c) != std::string_view::npos; };
    TableBuilder builder;
    builder.Field("C", 'C', 70).Field("N", 'N', 70);
    std::string expected;
    for (size_t length = 0; length <= 70; ++length) {
        const std::string text = sample.substr(70 - length);
        builder.Record({ text + std::string(70 - length, ' '), std::string(70 - length, ' ') + text });
        std::string c = text, n = text;
        while (!c.empty() && white(c.back()))
            c.pop_back();
        while (!n.empty() && white(n.front()))
            n.erase(0, 1);
        expected += '"';
        for (const char ch : c)
            expected += ch == '"' ? "\"\"" : std::string(1, ch);
        expected += "\"," + n + "\r\n";
    }
    EXPECT_EQ(Export(builder, ExportFormat::CommaSeparated, ","), expected);
}

TEST_F(ExportTest, BytesGoOutAsStored)
{
    // Windows-1252 letters, a NUL, a tab: neither converted nor escaped.
    const TableBuilder table = TableBuilder().Field("T", 'C', 8)
                                   .Record({ Bytes({ 'P', 'e', 0xF1, 'a', 0, 'x', '\t', ' ' }) });
    EXPECT_EQ(Export(table, ExportFormat::FixedLength, ""),
              Bytes({ 'P', 'e', 0xF1, 'a', 0, 'x', '\t', ' ', '\r', '\n' }));
    // The trailing trim looks only before the first NUL.
    EXPECT_EQ(Export(table, ExportFormat::TabSeparated, "\t"),
              Bytes({ 'P', 'e', 0xF1, 'a', 0, 'x', '\t', ' ', '\r', '\n' }));
}

TEST_F(ExportTest, VisualFoxProValuesAsShownAndNoHiddenOrBinaryBytes)
{
    // Record 2: NOMBRE is null (bit 1) and the "V" value has its length (bit 0).
    const TableBuilder table = TableBuilder().Version(0x30).AfterTerminator(std::string(263, '\0'))
        .Field("NOMBRE", 'C', 6, 0, 0x02).Field("V", 'V', 5).Field("I", 'I', 4).Field("B", 'B', 8)
        .Field("Y", 'Y', 8).Field("T", 'T', 8).Field("M", 'M', 4).Field("_NullFlags", '0', 1, 0, 0x05)
        .Field("N", 'N', 4)
        .Record({ "Ana", "a,\"b", Hex("f4ffffff"), Hex("0000000000c03240"), Hex("48e8010000000000"),
                  Hex("c88e25000f0e8a02"), Hex("05000000"), Hex("00"), " 1.5" })
        .Record({ "Luis", "xy\0\0\x02"s, Hex("00000000"), Hex("0000000000000000"), Hex("0000000000000000"),
                  Hex("0000000000000000"), Hex("00000000"), Hex("03"), "  -2" });
    EXPECT_EQ(Export(table, ExportFormat::FixedLength, ""),
              "Ana   a,\"b  1.5\r\n"
              "Luis  xy     -2\r\n");
    EXPECT_EQ(Export(table, ExportFormat::TabSeparated, "\t"),
              "Ana\ta,\"b\t-12\t18.75\t12.5000\t2026-12-09 11:50:01\t5\t1.5\r\n"
              "\txy\t0\t0\t0.0000\t\t\t-2\r\n");
    EXPECT_EQ(Export(table, ExportFormat::CommaSeparated, ","),
              "\"Ana\",\"a,\"\"b\",-12,18.75,12.5000,2026-12-09 11:50:01,5,1.5\r\n"
              "\"\",\"xy\",0,0,0.0000,,,-2\r\n");
}

// --- shapes of tables ------------------------------------------------------------

TEST_F(ExportTest, OneLinePerRecordAndNoHeader)
{
    const TableBuilder table = TableBuilder().Field("A", 'C', 2).Field("B", 'N', 3)
                                   .Record({ "a1", "  1" }).Record({ "a2", "  2" }, '*').Record({ "a3", "  3" });
    EXPECT_EQ(Export(table, ExportFormat::CommaSeparated, ","), "\"a1\",1\r\n\"a2\",2\r\n\"a3\",3\r\n");
}

TEST_F(ExportTest, OneFieldHasNoSeparatorAndNoFieldsWriteNothing)
{
    EXPECT_EQ(Export(TableBuilder().Field("A", 'C', 3).Record({ "x" }).Record({ "yz" }),
                     ExportFormat::TabSeparated, "\t"),
              "x\r\nyz\r\n");
    EXPECT_EQ(Export(TableBuilder().RawRecord(" ").RawRecord(" "), ExportFormat::TabSeparated, "\t"), "");
    EXPECT_TRUE(Exists(outPath));
}

TEST_F(ExportTest, ClosedTableGivesAnEmptyFile)
{
    mDBase table;
    TextExportWriter(ExportFormat::CommaSeparated, ",").Export(table, outPath.c_str());
    EXPECT_TRUE(Exists(outPath));
    EXPECT_EQ(ReadAll(outPath), "");
}

TEST_F(ExportTest, ExistingFileIsReplaced)
{
    TableBuilder::WriteFile(outPath, std::string(1000, 'v'));
    EXPECT_EQ(Export(TableBuilder().Field("A", 'C', 1).Record({ "n" }), ExportFormat::FixedLength, ""), "n\r\n");
    EXPECT_EQ(Export(TableBuilder().Field("A", 'C', 1), ExportFormat::FixedLength, ""), "");
}

TEST_F(ExportTest, LeavesTheTableOnItsLastRecord)
{
    TableBuilder().Field("A", 'C', 1).Record({ "a" }).Record({ "b" }).WriteTo(tablePath);
    mDBase table;
    ASSERT_EQ(table.Open(tablePath.c_str()), 1);
    TextExportWriter(ExportFormat::FixedLength, "").Export(table, outPath.c_str());
    EXPECT_EQ(table.GetCurrentRecord(), 2u);
    // A second export of the same open table starts again from record 1.
    TextExportWriter(ExportFormat::FixedLength, "").Export(table, outPath.c_str());
    EXPECT_EQ(ReadAll(outPath), "a\r\nb\r\n");
}

TEST_F(ExportTest, OnlyTheRecordsTheFileHoldsAreWritten)
{
    // A 34-byte file that claims 4,294,967,295 records: an empty export.
    EXPECT_EQ(Export(TableBuilder().RecordCount(0xFFFFFFFFu), ExportFormat::TabSeparated, "\t"), "");
    EXPECT_EQ(Export(TableBuilder().Field("A", 'C', 2).RecordCount(4000000000u).Record({ "a" }).Record({ "b" }),
                     ExportFormat::FixedLength, ""),
              "a \r\nb \r\n");
}

TEST_F(ExportTest, WalkEndsAtTheLastOfTheLargestCount)
{
    // A sparse file that really holds 4,294,967,295 records; the walk starts
    // near its end so that it stays short.
    TableBuilder().Field("A", 'C', 1).RecordCount(0xFFFFFFFFu).Record({ "x" })
        .SparseTo(33 + 32 + 2 * std::uint64_t{ 0xFFFFFFFFu }).WriteTo(tablePath);
    mDBase table;
    ASSERT_EQ(table.Open(tablePath.c_str()), 1);
    ASSERT_EQ(table.GetRecordCount(), 0xFFFFFFFFu);
    CFile out;
    out.Open(outPath.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    TextExportWriter(ExportFormat::FixedLength, "").WriteRecords(table, out, 0xFFFFFFFEu);
    out.Close();
    EXPECT_EQ(ReadAll(outPath), std::string("\0\r\n\0\r\n", 6));
    EXPECT_EQ(table.GetCurrentRecord(), 0xFFFFFFFFu);
}

// --- failures ----------------------------------------------------------------------

TEST_F(ExportTest, FileThatCannotBeCreatedIsReportedEvenForAnEmptyTable)
{
    TableBuilder().Field("A", 'C', 1).WriteTo(tablePath);
    mDBase table;
    ASSERT_EQ(table.Open(tablePath.c_str()), 1);
    const std::string badPath = dir.File("no-such-folder") + "/salida.txt";
    try {
        TextExportWriter(ExportFormat::FixedLength, "").Export(table, badPath.c_str());
        ADD_FAILURE() << "nothing raised";
    } catch (const CFileException& e) {
        EXPECT_EQ(std::string(e.m_strFileName.View()), badPath);
    }
    EXPECT_FALSE(Exists(badPath));
}

TEST_F(ExportTest, FileHeldByAnotherOpenerIsReportedAndKept)
{
    TableBuilder().Field("A", 'C', 1).Record({ "a" }).WriteTo(tablePath);
    TableBuilder::WriteFile(outPath, "ajeno");
    mDBase table;
    ASSERT_EQ(table.Open(tablePath.c_str()), 1);
    CFile holder;
    holder.Open(outPath.c_str(), CFile::modeRead | CFile::shareExclusive);
    try {
        TextExportWriter(ExportFormat::FixedLength, "").Export(table, outPath.c_str());
        ADD_FAILURE() << "nothing raised";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
    }
    holder.Close();
    // Not this export's file: it is neither emptied nor removed.
    EXPECT_EQ(ReadAll(outPath), "ajeno");
}

TEST_F(ExportTest, TheTableItselfIsRefusedAsTheTextFile)
{
    TableBuilder().Field("A", 'C', 1).Record({ "a" }).WriteTo(tablePath);
    const std::string before = ReadAll(tablePath);
    mDBase table;
    ASSERT_EQ(table.Open(tablePath.c_str()), 1);
    // The same file, however the path spells it.
    const std::string other = (dir.Path() / "." / "tabla.dbf").string();
    try {
        TextExportWriter(ExportFormat::FixedLength, "").Export(table, other.c_str());
        ADD_FAILURE() << "nothing raised";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.GetErrorMessage(), ("La salida " + other + " es la propia tabla; no se escribe sobre ella.").c_str());
    }
    table.Close(); // held without sharing until then
    EXPECT_EQ(ReadAll(tablePath), before);
}

TEST_F(ExportTest, DiskFullPartWayRemovesTheIncompleteFile)
{
    const std::string full = testing_support::FullDiskFolder();
    if (full.empty())
        GTEST_SKIP() << "no small file system mounted (ORVALIS_FULL_DISK)";
    // Far more than the small file system holds.
    TableBuilder builder;
    builder.Field("TEXTO", 'C', 200);
    for (int i = 0; i < 2000; ++i)
        builder.Record({ "registro " + std::to_string(i) });
    builder.WriteTo(tablePath);
    mDBase table;
    ASSERT_EQ(table.Open(tablePath.c_str()), 1);
#ifdef _WIN32
    const std::string target = full + "\\lleno.txt";
#else
    const std::string target = full + "/lleno.txt";
#endif
    try {
        TextExportWriter(ExportFormat::FixedLength, "").Export(table, target.c_str());
        ADD_FAILURE() << "nothing raised";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_EQ(std::string(e.m_strFileName.View()), target);
    }
    EXPECT_FALSE(Exists(target));
    EXPECT_FALSE(testing_support::TemporaryLeft(target));
}

} // namespace
