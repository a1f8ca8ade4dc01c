#include "table/mDBase.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using testing_support::Bytes;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

std::string Str(const CString& s) { return std::string(s.View()); }

class TableTest : public ::testing::Test {
protected:
    // Writes the table and opens it; the test fails if Open refuses.
    void OpenTable(const TableBuilder& builder)
    {
        Write(builder);
        ASSERT_EQ(table.Open(path.c_str()), 1);
    }
    void Write(const TableBuilder& builder) { builder.WriteTo(path); }
    void WriteBytes(const std::string& bytes) { TableBuilder::WriteFile(path, bytes); }

    // The invalid-file exception raised by opening the current file.
    CFileException OpenFailure()
    {
        try {
            table.Open(path.c_str());
        } catch (const CFileException& e) {
            return e;
        }
        ADD_FAILURE() << "Open raised nothing";
        return CFileException(CFileException::none, "");
    }

    void ExpectClosed()
    {
        EXPECT_FALSE(table.IsOpen());
        EXPECT_EQ(table.GetRecordCount(), 0u);
        EXPECT_EQ(table.GetCurrentRecord(), 0u);
        EXPECT_EQ(table.GetHeaderLength(), 0u);
        EXPECT_EQ(table.GetFieldCount(), 0u);
        EXPECT_EQ(table.GetRecordLength(), 0u);
        EXPECT_EQ(table.GoTo(1), 0);
        EXPECT_EQ(Str(table.GetDisplayText(0)), "");
    }

    TempDir dir;
    std::string path = dir.File("table.dbf");
    mDBase table;
};

// --- header and field table ------------------------------------------------

TEST_F(TableTest, ReadsHeaderAndFieldTable)
{
    OpenTable(TableBuilder()
                  .Field("NOMBRE", 'C', 10)
                  .Field("IMPORTE", 'N', 8)
                  .Field("ACTIVO", 'L', 1)
                  .Record({ "ANA", "1", "T" })
                  .Record({ "LUIS", "2", "F" }));
    EXPECT_TRUE(table.IsOpen());
    EXPECT_EQ(table.GetRecordCount(), 2u);
    EXPECT_EQ(table.GetHeaderLength(), 32 + 3 * 32 + 1);
    EXPECT_EQ(table.GetRecordLength(), 20);
    ASSERT_EQ(table.GetFieldCount(), 3);
    EXPECT_EQ(Str(table.GetField(0).Name), "NOMBRE");
    EXPECT_EQ(Str(table.GetField(1).Name), "IMPORTE");
    EXPECT_EQ(table.GetField(2).Type, 'L');
    EXPECT_EQ(table.GetField(0).Length, 10);
    // Offsets count from the deletion flag at 0.
    EXPECT_EQ(table.GetField(0).Offset, 1u);
    EXPECT_EQ(table.GetField(1).Offset, 11u);
    EXPECT_EQ(table.GetField(2).Offset, 19u);
    EXPECT_EQ(table.GetCurrentRecord(), 1u);
    EXPECT_EQ(Str(table.GetFieldText(0)), "ANA       ");
}

TEST_F(TableTest, FieldCountFollowsHeaderLengthAlone)
{
    const struct { std::uint16_t headerLength; int fields; } cases[] = {
        { 32, 0 }, { 33, 0 }, { 63, 0 }, { 64, 1 }, { 65, 1 }, { 95, 1 }, { 96, 2 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headerLength);
        TableBuilder builder;
        builder.Field("A", 'C', 2).Field("B", 'C', 2).Field("C", 'C', 2)
            .HeaderLength(c.headerLength).Record({ "a1", "b1", "c1" });
        OpenTable(builder);
        EXPECT_EQ(table.GetFieldCount(), c.fields);
        table.Close();
    }
}

TEST_F(TableTest, NamesStopAtNulOrTakeAllElevenBytes)
{
    std::string bytes = TableBuilder().Field("SHORT", 'C', 1).Field("ELEVENBYTES", 'C', 1)
                            .Field("X", 'C', 1).Record({ "a", "b", "c" }).Bytes();
    // Bytes after the NUL are not part of the name; an eleven-byte name has
    // no NUL at all and must not run on into the type letter.
    bytes[32 + 64 + 2] = 'Q';
    WriteBytes(bytes);
    ASSERT_EQ(table.Open(path.c_str()), 1);
    EXPECT_EQ(Str(table.GetField(0).Name), "SHORT");
    EXPECT_EQ(Str(table.GetField(1).Name), "ELEVENBYTES");
    EXPECT_EQ(Str(table.GetField(2).Name), "X");
}

TEST_F(TableTest, EmptyTableOpensWithoutCurrentRecord)
{
    OpenTable(TableBuilder().Field("A", 'C', 4));
    EXPECT_EQ(table.GetRecordCount(), 0u);
    EXPECT_EQ(table.GetCurrentRecord(), 0u);
    EXPECT_EQ(table.GoTo(1), 0);
    EXPECT_EQ(table.MoveNext(), 0);
    EXPECT_EQ(table.GetCurrentRecord(), 0u);
}

TEST_F(TableTest, TableWithoutFieldsRendersNothing)
{
    OpenTable(TableBuilder().RawRecord(" ").RawRecord("*"));
    EXPECT_EQ(table.GetFieldCount(), 0);
    EXPECT_EQ(table.GetRecordCount(), 2u);
    EXPECT_EQ(table.GoTo(2), 1);
    EXPECT_EQ(Str(table.GetFieldText(0)), "");
    EXPECT_EQ(Str(table.GetDisplayText(0)), "");
}

// --- positioning -----------------------------------------------------------

TEST_F(TableTest, GoToAndMoveNextWalkTheRecords)
{
    OpenTable(TableBuilder().Field("N", 'C', 3)
                  .Record({ "one" }).Record({ "two" }, '*').Record({ "six" }));
    EXPECT_EQ(Str(table.GetFieldText(0)), "one");
    EXPECT_EQ(table.MoveNext(), 1);
    EXPECT_EQ(table.GetCurrentRecord(), 2u);
    EXPECT_EQ(Str(table.GetFieldText(0)), "two"); // deleted records render alike
    EXPECT_EQ(table.GoTo(3), 1);
    EXPECT_EQ(Str(table.GetFieldText(0)), "six");
    EXPECT_EQ(table.MoveNext(), 0);
    EXPECT_EQ(table.GetCurrentRecord(), 3u);
    EXPECT_EQ(Str(table.GetFieldText(0)), "six");
    EXPECT_EQ(table.GoTo(1), 1);
    EXPECT_EQ(Str(table.GetFieldText(0)), "one");
}

TEST_F(TableTest, ReadAheadServesEveryRecordInAnyOrder)
{
    // Records of 1,000 bytes: a read-ahead window holds 262 of them, and the
    // file cuts the last one short after four bytes of its first field.
    constexpr std::uint32_t kCount = 700;
    const auto value = [](std::uint32_t n) { return (std::to_string(n) + std::string(249, 'x')).substr(0, 249); };
    TableBuilder builder;
    builder.Field("V", 'C', 249).Field("B", 'C', 250).Field("C", 'C', 250).Field("D", 'C', 250);
    for (std::uint32_t n = 1; n <= kCount; ++n)
        builder.Record({ value(n) });
    OpenTable(builder.TruncateTo(builder.Header().size() + (kCount - 1) * 1000 + 5));
    ASSERT_EQ(table.GetRecordCount(), kCount);
    const auto expected = [&](std::uint32_t n) {
        return n < kCount ? value(n) : value(n).substr(0, 4) + std::string(245, ' ');
    };

    std::vector<std::uint32_t> order;
    for (std::uint32_t n = kCount; n >= 1; --n) // backwards
        order.push_back(n);
    for (std::uint32_t n = 1; n <= kCount; n += 131) // across windows, both ways
        order.insert(order.end(), { n, kCount + 1 - n, 262, 263, 524, 525 });
    for (const std::uint32_t n : order) {
        ASSERT_EQ(table.GoTo(n), 1);
        ASSERT_EQ(Str(table.GetFieldText(0)), expected(n)) << "record " << n;
    }
    ASSERT_EQ(table.GoTo(1), 1);
    for (std::uint32_t n = 1; n <= kCount; table.MoveNext(), ++n)
        ASSERT_EQ(Str(table.GetFieldText(0)), expected(n)) << "record " << n;
}

TEST_F(TableTest, RefusedGoToChangesNothing)
{
    OpenTable(TableBuilder().Field("N", 'C', 3).Record({ "one" }).Record({ "two" }));
    ASSERT_EQ(table.GoTo(2), 1);
    EXPECT_EQ(table.GoTo(3), 0);
    EXPECT_EQ(table.GoTo(0xFFFFFFFFu), 0);
    EXPECT_EQ(table.GoTo(0), 0);
    EXPECT_EQ(table.GetCurrentRecord(), 2u);
    EXPECT_EQ(Str(table.GetFieldText(0)), "two");
}

TEST_F(TableTest, RecordsAtDeclaredHeaderLengthNotAfterTerminator)
{
    // Records start at HeaderLength, whatever lies between the descriptors and it.
    TableBuilder builder;
    builder.Field("A", 'C', 3).HeaderLength(80).Record({ "abc" }).Record({ "xyz" });
    OpenTable(builder);
    EXPECT_EQ(Str(table.GetFieldText(0)), "abc");
    EXPECT_EQ(table.GoTo(2), 1);
    EXPECT_EQ(Str(table.GetFieldText(0)), "xyz");
}

TEST_F(TableTest, RecordLengthFromHeaderNotFromFields)
{
    // A stated record length wider than the fields: records are that far apart.
    TableBuilder builder;
    builder.Field("A", 'C', 2).RecordLength(5).RawRecord(" ab##").RawRecord(" cd##");
    OpenTable(builder);
    EXPECT_EQ(table.GoTo(2), 1);
    EXPECT_EQ(Str(table.GetFieldText(0)), "cd");
}

// --- the three renderings ----------------------------------------------------

TEST_F(TableTest, CharacterFieldRenderings)
{
    OpenTable(TableBuilder().Field("C", 'C', 12).Record({ "ANA  MARIA  " }));
    EXPECT_EQ(Str(table.GetFieldText(0)), "ANA  MARIA  ");
    EXPECT_EQ(Str(table.GetExportText(0)), "ANA  MARIA");
    EXPECT_EQ(Str(table.GetDisplayText(0)), "ANA  MARIA");
}

TEST_F(TableTest, NumericFieldRenderings)
{
    OpenTable(TableBuilder().Field("N", 'N', 8).Record({ "   12.50" }));
    EXPECT_EQ(Str(table.GetFieldText(0)), "   12.50");
    EXPECT_EQ(Str(table.GetExportText(0)), "12.50");
    EXPECT_EQ(Str(table.GetDisplayText(0)), "   12.50");
}

TEST_F(TableTest, DisplayKeepsLeadingAndInteriorBlanksAndDropsTrailing)
{
    OpenTable(TableBuilder().Field("C", 'C', 16).Field("D", 'D', 8).Field("E", 'C', 4)
                  .Record({ "  X Y  Z   W", "2026    ", "" }));
    EXPECT_EQ(Str(table.GetDisplayText(0)), "  X Y  Z   W");
    EXPECT_EQ(Str(table.GetDisplayText(1)), "2026");
    EXPECT_EQ(Str(table.GetDisplayText(2)), ""); // blanks only
}

TEST_F(TableTest, OtherTypesAreRawExceptForDisplayTrailingBlanks)
{
    OpenTable(TableBuilder().Field("D", 'D', 10).Field("L", 'L', 3).Field("M", 'M', 10)
                  .Record({ " 20261209 ", "T  ", "\t 17" }));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Str(table.GetExportText(i)), Str(table.GetFieldText(i)));
    }
    EXPECT_EQ(Str(table.GetFieldText(0)), " 20261209 ");
    EXPECT_EQ(Str(table.GetDisplayText(0)), " 20261209");
    EXPECT_EQ(Str(table.GetDisplayText(1)), "T");
    EXPECT_EQ(Str(table.GetDisplayText(2)), "\t 17");
}

TEST_F(TableTest, WhiteSpaceIsTheSixControlBytesOnly)
{
    OpenTable(TableBuilder().Field("C", 'C', 9).Field("N", 'N', 8).Field("K", 'C', 3)
                  .Record({ "A \t\n\v\f\r  ", " \t\n\v\f\r 7", "B\xA0\xA0" }));
    EXPECT_EQ(Str(table.GetExportText(0)), "A");
    EXPECT_EQ(Str(table.GetExportText(1)), "7");
    // 0xA0 is a no-break space in the ANSI code page, not white space.
    EXPECT_EQ(Str(table.GetExportText(2)), "B\xA0\xA0");
    // The display drops trailing blanks only; a trailing tab stays.
    EXPECT_EQ(Str(table.GetDisplayText(0)), "A \t\n\v\f\r");
}

TEST_F(TableTest, TrailingTrimLooksOnlyBeforeTheFirstNul)
{
    OpenTable(TableBuilder()
                  .Field("A", 'C', 6).Field("B", 'C', 6).Field("C", 'C', 4)
                  .Record({ Bytes({ 'A', 'B', ' ', 0, 'X', ' ' }),
                            Bytes({ 'A', 'B', 0, 'X', ' ', ' ' }),
                            Bytes({ 0, ' ', ' ', ' ' }) }));
    // White space before the NUL: cut there, the NUL and the rest go too.
    EXPECT_EQ(Str(table.GetExportText(0)), "AB");
    // No white space before the NUL: nothing is removed.
    EXPECT_EQ(Str(table.GetExportText(1)), Bytes({ 'A', 'B', 0, 'X', ' ', ' ' }));
    EXPECT_EQ(Str(table.GetExportText(2)), Bytes({ 0, ' ', ' ', ' ' }));
    // Raw text keeps every byte, NULs included.
    EXPECT_EQ(table.GetFieldText(1).GetLength(), 6);
}

TEST_F(TableTest, LeadingTrimShiftsTheRestNulsIncluded)
{
    OpenTable(TableBuilder().Field("N", 'N', 6).Record({ Bytes({ ' ', ' ', '1', 0, '2', ' ' }) }));
    EXPECT_EQ(Str(table.GetExportText(0)), Bytes({ '1', 0, '2', ' ' }));
}

TEST_F(TableTest, DisplayKeepsNulsAsOrdinaryBytes)
{
    OpenTable(TableBuilder().Field("C", 'C', 5).Record({ Bytes({ 'A', 0, ' ', 'B', ' ' }) }));
    EXPECT_EQ(Str(table.GetDisplayText(0)), Bytes({ 'A', 0, ' ', 'B' }));
}

TEST_F(TableTest, IndexOutsideTheFieldTableIsEmpty)
{
    OpenTable(TableBuilder().Field("C", 'C', 3).Record({ "abc" }));
    for (int i : { -1, 1, 2, 65535 }) {
        EXPECT_EQ(Str(table.GetFieldText(i)), "");
        EXPECT_EQ(Str(table.GetExportText(i)), "");
        EXPECT_EQ(Str(table.GetDisplayText(i)), "");
    }
}

// --- level 7 numbers -----------------------------------------------------------

TEST_F(TableTest, LongFieldShowsTheSignedNumber)
{
    const struct { std::string stored; const char* shown; } cases[] = {
        { Bytes({ 0x80, 0x00, 0x00, 0x05 }), "5" },
        { Bytes({ 0x7F, 0xFF, 0xFF, 0xFF }), "-1" },
        { Bytes({ 0xFF, 0xFF, 0xFF, 0xFF }), "2147483647" },
        { Bytes({ 0x00, 0x00, 0x00, 0x01 }), "-2147483647" },
        { Bytes({ 0x80, 0x00, 0x00, 0x00 }), "0" },
        { Bytes({ 0x00, 0x00, 0x00, 0x00 }), "" }, // an empty value
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        OpenTable(TableBuilder().Field("I", 'I', 4).Record({ c.stored }));
        EXPECT_EQ(Str(table.GetDisplayText(0)), c.shown);
        EXPECT_EQ(Str(table.GetFieldText(0)), "");
        EXPECT_EQ(Str(table.GetExportText(0)), "");
        table.Close();
    }
}

TEST_F(TableTest, DoubleFieldShowsTheSignedNumber)
{
    const struct { std::string stored; const char* shown; } cases[] = {
        { Bytes({ 0xC0, 0x59, 0, 0, 0, 0, 0, 0 }), "100.00" },
        { Bytes({ 0x3F, 0xA6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }), "-100.00" },
        { Bytes({ 0xBF, 0xF4, 0, 0, 0, 0, 0, 0 }), "1.25" },
        { Bytes({ 0x80, 0, 0, 0, 0, 0, 0, 0 }), "0.00" },
        { Bytes({ 0, 0, 0, 0, 0, 0, 0, 0 }), "" },
        // Spelled alike on every platform, never by the C library.
        { Bytes({ 0xFF, 0xF8, 0, 0, 0, 0, 0, 0 }), "nan" },
        { Bytes({ 0x00, 0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }), "nan" }, // sign set
        { Bytes({ 0xFF, 0xF0, 0, 0, 0, 0, 0, 0 }), "inf" },
        { Bytes({ 0x00, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }), "-inf" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        OpenTable(TableBuilder().Field("O", 'O', 8).Record({ c.stored }));
        EXPECT_EQ(Str(table.GetDisplayText(0)), c.shown);
        EXPECT_EQ(Str(table.GetFieldText(0)), "");
        EXPECT_EQ(Str(table.GetExportText(0)), "");
        table.Close();
    }
}

TEST_F(TableTest, HugeDoubleIsPrintedInFull)
{
    // 1e308: the text has as many digits as the value needs.
    OpenTable(TableBuilder().Field("O", 'O', 8)
                  .Record({ Bytes({ 0xFF, 0xE1, 0xCC, 0xF3, 0x85, 0xEB, 0xC8, 0xA0 }) }));
    const std::string shown = Str(table.GetDisplayText(0));
    EXPECT_EQ(shown.size(), 309u + 3u);
    EXPECT_EQ(shown.substr(0, 4), "1000");
    EXPECT_EQ(shown.substr(shown.size() - 3), ".00");
}

TEST_F(TableTest, NumbersTakeTheirWidthWhateverTheDeclaredLength)
{
    // A long declared as 2 bytes still reads 4 from its offset.
    OpenTable(TableBuilder().Field("I", 'I', 2).Field("C", 'C', 2)
                  .Record({ Bytes({ 0x80, 0x00 }), Bytes({ 0x00, 0x2A }) }));
    EXPECT_EQ(Str(table.GetDisplayText(0)), "42");
}

// --- staying inside the record -------------------------------------------------

TEST_F(TableTest, FieldsReachingPastTheRecordRenderOnlyWhatIsInside)
{
    // Stated record length 6: field B (offset 4, length 5) has 2 bytes inside,
    // field C none at all; the long at offset 4 does not fit.
    TableBuilder builder;
    builder.Field("A", 'C', 3).Field("B", 'C', 5).Field("C", 'C', 4).Field("I", 'I', 4)
        .RecordLength(6).RawRecord(" abcde").RawRecord(" fghij");
    OpenTable(builder);
    EXPECT_EQ(Str(table.GetFieldText(0)), "abc");
    EXPECT_EQ(Str(table.GetFieldText(1)), "de");
    EXPECT_EQ(Str(table.GetFieldText(2)), "");
    EXPECT_EQ(Str(table.GetDisplayText(2)), "");
    EXPECT_EQ(Str(table.GetDisplayText(3)), "");
    ASSERT_EQ(table.GoTo(2), 1);
    EXPECT_EQ(Str(table.GetExportText(1)), "ij");
}

TEST_F(TableTest, DoubleNeedsAllEightBytesInside)
{
    TableBuilder builder;
    builder.Field("O", 'O', 8).RecordLength(8)
        .RawRecord(Bytes({ ' ', 0xC0, 0x59, 0, 0, 0, 0, 0 }));
    OpenTable(builder);
    EXPECT_EQ(Str(table.GetDisplayText(0)), "");
}

// --- short and malformed files ---------------------------------------------------

TEST_F(TableTest, ShortRecordReadsAsBlanksNotAsThePreviousRecord)
{
    TableBuilder builder;
    builder.Field("A", 'C', 6).Record({ "first" }).Record({ "second" }).RecordCount(3);
    const size_t fullLength = builder.Header().size() + 2 * 7;
    builder.TruncateTo(fullLength - 3); // record 2 cut after "sec"
    OpenTable(builder);
    EXPECT_EQ(Str(table.GetFieldText(0)), "first ");
    ASSERT_EQ(table.GoTo(2), 1);
    EXPECT_EQ(Str(table.GetFieldText(0)), "sec   ");
    EXPECT_EQ(Str(table.GetDisplayText(0)), "sec");
    EXPECT_EQ(table.GetRecordCount(), 2u); // record 3 is not in the file at all
}

TEST_F(TableTest, RecordCountIsWhatTheFileHolds)
{
    const auto count = [&](TableBuilder builder) {
        OpenTable(builder);
        const std::uint32_t n = table.GetRecordCount();
        table.Close();
        return n;
    };
    const auto claiming = [](std::uint32_t claimed) {
        return TableBuilder().Field("A", 'C', 4).RecordCount(claimed).Record({ "uno" }).Record({ "dos" });
    };
    // Claims far beyond the file: only the records in it, the end-of-file
    // marker no record; a claim below what the file holds is taken at its word.
    EXPECT_EQ(count(claiming(0xFFFFFFFFu)), 2u);
    EXPECT_EQ(count(claiming(1)), 1u);
    EXPECT_EQ(count(claiming(0xFFFFFFFFu).TruncateTo(33 + 32 + 5 + 5)), 2u); // no marker
    EXPECT_EQ(count(claiming(0xFFFFFFFFu).TruncateTo(33 + 32 + 5 + 2)), 2u); // 2 bytes of the second
    EXPECT_EQ(count(claiming(0xFFFFFFFFu).TruncateTo(33 + 32 + 5 + 1)), 1u); // a lone final byte
    EXPECT_EQ(count(claiming(0xFFFFFFFFu).RecordLength(65535)), 1u);
    EXPECT_EQ(count(TableBuilder().RecordCount(0xFFFFFFFFu)), 0u); // a 34-byte file

    // The last of the largest count a header can state, in a sparse file.
    OpenTable(TableBuilder().Field("A", 'C', 1).RecordCount(0xFFFFFFFFu).Record({ "x" })
                  .SparseTo(33 + 32 + 2 * std::uint64_t{ 0xFFFFFFFFu }));
    EXPECT_EQ(table.GetRecordCount(), 0xFFFFFFFFu);
    EXPECT_EQ(Str(table.GetFieldText(0)), "x");
    ASSERT_EQ(table.GoTo(0xFFFFFFFEu), 1);
    EXPECT_EQ(table.MoveNext(), 1);
    EXPECT_EQ(table.GetCurrentRecord(), 0xFFFFFFFFu);
    EXPECT_EQ(Str(table.GetFieldText(0)), std::string(1, '\0'));
    EXPECT_EQ(table.MoveNext(), 0);
    EXPECT_EQ(table.GetCurrentRecord(), 0xFFFFFFFFu);
}

TEST_F(TableTest, FilesThatCannotBeATableAreRefused)
{
    const std::string good = TableBuilder().Field("A", 'C', 3).Field("B", 'C', 3)
                                 .Record({ "abc", "def" }).Bytes();
    std::string lowHeader = good;
    TableBuilder::Put16(lowHeader, 8, 31);
    std::string noRecordLength = good;
    TableBuilder::Put16(noRecordLength, 10, 0); // not even room for the deletion flag
    const struct { const char* what; std::string bytes; } cases[] = {
        { "empty file", "" },
        { "shorter than the header", good.substr(0, 31) },
        { "header length below 32", lowHeader },
        { "field table past the end", good.substr(0, 32 + 32 + 10) },
        { "record length 0", noRecordLength },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(c.bytes);
        const CFileException e = OpenFailure();
        EXPECT_EQ(e.m_cause, CFileException::invalidFile);
        EXPECT_EQ(Str(e.m_strFileName), path);
        EXPECT_EQ(Str(e.GetErrorMessage()),
                  "El archivo " + path + " no es una tabla dBase v\xE1lida.");
        ExpectClosed();
    }
}

TEST_F(TableTest, OtherwiseAnyHeaderIsTakenAsItStates)
{
    // Not a dBase file at all, but 32 + 32 bytes long: one field of garbage.
    std::string bytes(64, 'x');
    TableBuilder::Put16(bytes, 8, 64);
    WriteBytes(bytes);
    ASSERT_EQ(table.Open(path.c_str()), 1);
    EXPECT_EQ(table.GetFieldCount(), 1);
    EXPECT_EQ(table.GetRecordLength(), 0x7878);
    EXPECT_EQ(Str(table.GetField(0).Name), "xxxxxxxxxxx");
    // The file ends where the records would begin.
    EXPECT_EQ(table.GetRecordCount(), 0u);
    EXPECT_EQ(table.GetCurrentRecord(), 0u);
    EXPECT_EQ(Str(table.GetDisplayText(0)), "");
}

TEST_F(TableTest, FieldTableEndingExactlyAtEndOfFileOpens)
{
    std::string bytes = TableBuilder().Field("A", 'C', 3).RecordCount(0).Bytes();
    bytes.resize(64);
    WriteBytes(bytes);
    EXPECT_EQ(table.Open(path.c_str()), 1);
    EXPECT_EQ(table.GetFieldCount(), 1);
}

// --- open and close ------------------------------------------------------------

TEST_F(TableTest, MissingFileIsRefusedWithoutException)
{
    EXPECT_EQ(table.Open(dir.File("missing.dbf").c_str()), 0);
    EXPECT_EQ(table.Open(""), 0);
    EXPECT_EQ(table.Open(dir.File("no/such/dir.dbf").c_str()), 0);
    ExpectClosed();
}

TEST_F(TableTest, SecondOpenIsRefusedAndChangesNothing)
{
    OpenTable(TableBuilder().Field("A", 'C', 1).Record({ "a" }).Record({ "b" }));
    const std::string other = dir.File("other.dbf");
    TableBuilder().Field("Z", 'N', 4).Record({ "1" }).WriteTo(other);
    ASSERT_EQ(table.GoTo(2), 1);
    EXPECT_EQ(table.Open(other.c_str()), 0);
    EXPECT_EQ(Str(table.GetField(0).Name), "A");
    EXPECT_EQ(table.GetCurrentRecord(), 2u);
}

TEST_F(TableTest, CloseResetsEverythingAndIsHarmlessWhenClosed)
{
    ExpectClosed();
    table.Close();
    ExpectClosed();
    OpenTable(TableBuilder().Field("A", 'C', 1).Record({ "a" }));
    table.Close();
    ExpectClosed();
    table.Close();
    ExpectClosed();
    // Closing releases the file: it can be opened again.
    EXPECT_EQ(table.Open(path.c_str()), 1);
}

TEST_F(TableTest, PathsThatAreNotFilesAreNotTables)
{
    std::vector<std::string> paths = { dir.Path().string() };
#ifdef _WIN32
    paths.push_back("NUL");
#else
    // A pipe with no writer: opening it to read would wait for ever.
    const std::string fifo = dir.File("tuberia.dbf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    paths.push_back(fifo);
    paths.push_back("/dev/null");
#endif
    for (const std::string& notAFile : paths) {
        SCOPED_TRACE(notAFile);
        path = notAFile;
        const CFileException e = OpenFailure();
        EXPECT_EQ(e.m_cause, CFileException::invalidFile);
        EXPECT_EQ(Str(e.GetErrorMessage()),
                  "El archivo " + notAFile + " no es una tabla dBase v\xE1lida.");
        ExpectClosed();
    }
}

// --- sharing -------------------------------------------------------------------

TEST_F(TableTest, OpenTableCannotBeOpenedByAnotherOpener)
{
    OpenTable(TableBuilder().Field("A", 'C', 1).Record({ "a" }));
    CFile other;
    try {
        other.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
        ADD_FAILURE() << "a second opener got the table";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
    }
    mDBase second;
    EXPECT_THROW(second.Open(path.c_str()), CFileException);
    EXPECT_FALSE(second.IsOpen());
}

TEST_F(TableTest, TableHeldByAnotherOpenerFailsCleanly)
{
    Write(TableBuilder().Field("A", 'C', 1).Record({ "a" }));
    CFile holder;
    holder.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
    try {
        table.Open(path.c_str());
        ADD_FAILURE() << "Open raised nothing";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
        EXPECT_EQ(Str(e.m_strFileName), path);
        EXPECT_NE(Str(e.GetErrorMessage()).find(path), std::string::npos);
    }
    ExpectClosed();
    holder.Close();
    EXPECT_EQ(table.Open(path.c_str()), 1);
}

// --- run-time class ----------------------------------------------------------------

TEST(TableClassTest, RegisteredAsmDBaseWithDynamicCreation)
{
    const CRuntimeClass* cls = &mDBase::RuntimeClass;
    EXPECT_STREQ(cls->m_lpszClassName, "mDBase");
    EXPECT_EQ(cls->m_pBaseClass, &CObject::RuntimeClass);
    const std::unique_ptr<CObject> created = cls->CreateObject();
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->GetRuntimeClass(), &mDBase::RuntimeClass);
    EXPECT_TRUE(created->IsKindOf(&CObject::RuntimeClass));
    const auto* table = dynamic_cast<const mDBase*>(created.get());
    ASSERT_NE(table, nullptr);
    EXPECT_FALSE(table->IsOpen());
}

} // namespace
