// Tests of RecordWindow, through the table whose records it serves: walks in
// any order across read-ahead windows, and files that hold fewer records
// than their header claims.

#include "tests/table/TableTest.h"

#include <string>
#include <vector>

using table_tests::Str;
using table_tests::TableTest;
using testing_support::TableBuilder;

namespace {

// --- positioning -----------------------------------------------------------

TEST_F(TableTest, EmptyTableOpensWithoutCurrentRecord)
{
    OpenTable(TableBuilder().Field("A", 'C', 4));
    EXPECT_EQ(table.GetRecordCount(), 0u);
    EXPECT_EQ(table.GetCurrentRecord(), 0u);
    EXPECT_EQ(table.GoTo(1), 0);
    EXPECT_EQ(table.MoveNext(), 0);
    EXPECT_EQ(table.GetCurrentRecord(), 0u);
}

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

// --- short files ------------------------------------------------------------

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

} // namespace
