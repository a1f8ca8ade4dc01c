// Tests of TableHeader, through the table that reads it: the fixed header,
// the field table, and the files that cannot be a table.

#include "tests/table/TableTest.h"

#include <string>

using table_tests::Str;
using table_tests::TableTest;
using testing_support::TableBuilder;

namespace {

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

TEST_F(TableTest, TableWithoutFieldsRendersNothing)
{
    OpenTable(TableBuilder().RawRecord(" ").RawRecord("*"));
    EXPECT_EQ(table.GetFieldCount(), 0);
    EXPECT_EQ(table.GetRecordCount(), 2u);
    EXPECT_EQ(table.GoTo(2), 1);
    EXPECT_EQ(Str(table.GetFieldText(0)), "");
    EXPECT_EQ(Str(table.GetDisplayText(0)), "");
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

// --- malformed files --------------------------------------------------------

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

} // namespace
