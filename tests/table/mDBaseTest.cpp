// Tests of mDBase: the renderings of its fields, opening and closing, sharing,
// and its run-time class.

#include "tests/table/TableTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using table_tests::Str;
using table_tests::TableTest;
using testing_support::Bytes;
using testing_support::TableBuilder;

namespace {

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
