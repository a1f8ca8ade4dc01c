// Compressed tables (.dbc) read as the .dbf they were: streams written code
// by code on every platform and, natively, by StormLib in every mode.

#include "table/CompressedTable.h"
#include "table/Crc32.h"
#include "table/mDBase.h"
#include "tests/support/Files.h"
#include "tests/support/ImplodeBuilder.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#ifdef ORVALIS_STORMLIB
#include "tests/support/StormLib.h"
#endif

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;
using testing_support::CompressedBytes;
using testing_support::Hex;
using testing_support::ImplodeBuilder;
using testing_support::LiteralTable;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

// Each record as the reader gives it: its flag and every field's raw and
// display text.
std::vector<std::string> Records(mDBase& table)
{
    std::vector<std::string> records;
    for (std::uint32_t n = 1; table.GoTo(n); ++n) {
        std::string record(table.IsDeleted() ? "*" : " ");
        for (int i = 0; i < table.GetFieldCount(); ++i)
            record += "|" + std::string(table.GetFieldText(i).View()) + "|" +
                      std::string(table.GetDisplayText(i).View());
        records.push_back(record);
    }
    return records;
}

std::vector<std::string> Records(const std::string& path)
{
    mDBase table;
    EXPECT_EQ(table.Open(path.c_str()), 1) << path;
    return Records(table);
}

// The message of the CFileException that opening the table and reading
// every record raises; empty when none does.
std::string Failure(const std::string& path)
{
    try {
        Records(path);
    } catch (const CFileException& e) {
        return std::string(e.GetErrorMessage().View());
    }
    return {};
}

// Tables of every family, one without its field terminator, and one of
// records from many read-ahead windows.
std::vector<TableBuilder> Tables()
{
    std::vector<TableBuilder> tables;
    tables.push_back(TableBuilder().Field("NOMBRE", 'C', 12).Field("IMPORTE", 'N', 8, 2).Field("ALTA", 'D', 8)
                         .LanguageDriver(0x03)
                         .Record({ "Pe\xF1" "a \"B\"", "   15.50", "20261209" })
                         .Record({ "", "", "" }, '*').Record({ "Mu\xF1oz", "-3", "19991231" }));
    tables.push_back(TableBuilder().Version(0x30).AfterTerminator(std::string(263, '\0'))
                         .Field("V", 'V', 6, 0, 0x02).Field("I", 'I', 4).Field("B", 'B', 8, 2)
                         .Field("T", 'T', 8).Field("_NullFlags", '0', 1, 0, 0x05)
                         .Record({ "abc\0\0\x03"s, Hex("0c000000"), Hex("0000000000c03240"),
                                   Hex("c88e25000f0e8a02"), Hex("00") })
                         .Record({ "", Hex("00000080"), Hex("000000000000f87f"), std::string(8, ' '),
                                   Hex("02") }));
    tables.push_back(TableBuilder().Version(0x04).Field("NOMBRE_LARGO", 'C', 6).Field("N", '+', 4)
                         .Record({ "Ana", Hex("80000001") }));
    // Descriptors up to the header's length and no terminator, as some
    // published files have.
    tables.push_back(TableBuilder().Field("UF", 'C', 2).Field("CASOS", 'N', 5).HeaderLength(96)
                         .Record({ "SP", "  123" }).Record({ "RJ", "    7" }));
    TableBuilder many;
    many.Field("CODIGO", 'N', 10).Field("TEXTO", 'C', 190);
    for (int n = 1; n <= 3000; ++n)
        many.Record({ std::to_string(n * 7919 % 100000), std::string(static_cast<size_t>(n % 190), 'a' + n % 26) },
                    n % 17 ? ' ' : '*');
    tables.push_back(many);
    return tables;
}

// About 2.5 MB of records, so that a jump has checkpoints to start from:
// words and numbers, repeated enough for copies of every length.
TableBuilder JumpTable()
{
    static const char* const words[] = { "SAO PAULO", "RIO", "BELO HORIZONTE", "ACRE", "", "MANAUS" };
    std::mt19937 random(9);
    TableBuilder table;
    table.Field("NUMERO", 'N', 8).Field("CIDADE", 'C', 40).Field("TEXTO", 'C', 201);
    for (int n = 1; n <= 10000; ++n) {
        std::string text;
        while (text.size() < 201)
            text += std::string(words[random() % 6]) + std::to_string(random() % 1000) + ' ';
        table.Record({ std::to_string(n), words[n % 6], text }, n % 13 ? ' ' : '*');
    }
    return table;
}

// The message of the CFileException that action raises; empty when none does.
std::string Raised(const std::function<void()>& action)
{
    try {
        action();
    } catch (const CFileException& e) {
        return std::string(e.GetErrorMessage().View());
    }
    return {};
}

// The loaded records of both tables are the same bytes.
void ExpectSameRecord(const mDBase& read, const mDBase& expected)
{
    ASSERT_EQ(read.GetCurrentRecord(), expected.GetCurrentRecord());
    EXPECT_EQ(std::string(read.RecordBytes(), read.GetRecordLength()),
              std::string(expected.RecordBytes(), expected.GetRecordLength()))
        << "record " << read.GetCurrentRecord();
}

class CompressedTableTest : public ::testing::Test {
protected:
    // The table as a .dbf, and as a .dbc of the given bytes.
    std::string Plain(const TableBuilder& table)
    {
        table.WriteTo(plain);
        return plain;
    }
    std::string Compressed(const std::string& bytes)
    {
        TableBuilder::WriteFile(compressed, bytes);
        return compressed;
    }

    TempDir dir;
    const std::string plain = dir.File("tabla.dbf"), compressed = dir.File("TABLA.DBC");
};

TEST_F(CompressedTableTest, ReadsAsTheTableItWas)
{
    for (const TableBuilder& table : Tables()) {
        const std::vector<std::string> expected = Records(Plain(table));
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(Records(Compressed(LiteralTable(table.Bytes()))), expected);
    }
    // Copies that overlap their own output, a stray line feed after the end
    // code, no end-of-file byte.
    std::string expanded = " A";
    for (int i = 0; i < 132; ++i)
        expanded += " A";
    TableBuilder copies = TableBuilder().Field("T", 'C', 265).RawRecord(expanded);
    const std::vector<std::string> expected = Records(Plain(copies));
    const std::string dbf = copies.TruncateTo(SIZE_MAX).Bytes();
    const std::string stream = ImplodeBuilder().Literals(" A").Copy264(2).End().Bytes() + "\n";
    EXPECT_EQ(Records(Compressed(CompressedBytes(dbf, stream))), expected);
}

TEST_F(CompressedTableTest, BackwardReadsGiveTheSameRecords)
{
    const TableBuilder table = Tables().back();
    mDBase expected, read;
    ASSERT_EQ(expected.Open(Plain(table).c_str()), 1);
    ASSERT_EQ(read.Open(Compressed(LiteralTable(table.Bytes())).c_str()), 1);
    for (const std::uint32_t n : { 1u, 2u, 3000u, 1u, 2999u, 1400u, 700u, 1401u, 3000u, 5u }) {
        ASSERT_EQ(read.GoTo(n), 1) << n;
        ASSERT_EQ(expected.GoTo(n), 1);
        EXPECT_EQ(read.GetFieldText(1), expected.GetFieldText(1)) << n;
        EXPECT_EQ(read.IsDeleted(), expected.IsDeleted()) << n;
    }
    EXPECT_EQ(read.GoTo(3001), 0);
}

TEST_F(CompressedTableTest, ReadThatFailsLeavesTheLoadedRecord)
{
    // Records are served from the window itself: one that the next window's
    // read fails to fill (a CRC checked at the end) is kept as it was,
    // whether the walk jumps there or reaches it read ahead. Windows of 1304
    // records: the last begins at record 2609.
    const TableBuilder table = Tables().back();
    std::string damaged = LiteralTable(table.Bytes());
    damaged[table.Header().size()] ^= 1;
    mDBase read;
    ASSERT_EQ(read.Open(Compressed(damaged).c_str()), 1);
    ASSERT_EQ(read.GoTo(2), 1);
    const CString text("cc" + std::string(188, ' '));
    ASSERT_EQ(read.GetFieldText(1), text);
    EXPECT_THROW(read.GoTo(3000), CFileException);
    EXPECT_EQ(read.GetCurrentRecord(), 2u);
    EXPECT_EQ(read.GetFieldText(1), text);

    std::uint32_t reached = 1;
    try {
        for (read.GoTo(1); read.MoveNext();)
            reached = read.GetCurrentRecord();
        ADD_FAILURE() << "nothing raised";
    } catch (const CFileException&) {
        EXPECT_EQ(reached, 2608u);
        EXPECT_EQ(read.GetCurrentRecord(), 2608u);
        EXPECT_EQ(read.GetFieldText(1), CString(std::string(2608 % 190, 'a' + 2608 % 26) +
                                                std::string(190 - 2608 % 190, ' ')));
    }
}

TEST_F(CompressedTableTest, RecordCountIsClampedWhereTheStreamEnds)
{
    const TableBuilder table = TableBuilder().Field("A", 'C', 4).Record({ "uno" }).Record({ "dos" }).Record({ "tres" });
    const std::string dbf = table.Bytes();
    const std::string header = table.Header();
    // The header says 3; the stream, with its end code, holds 2 and a half.
    for (const auto& [bytes, count] : { std::pair{ dbf.substr(0, header.size() + 10), 2u },
                                        std::pair{ dbf.substr(0, header.size() + 13), 3u } }) {
        mDBase read;
        ASSERT_EQ(read.Open(Compressed(LiteralTable(bytes)).c_str()), 1);
        EXPECT_EQ(read.GetRecordCount(), 3u);
        std::vector<std::string> records = Records(read);
        EXPECT_EQ(read.GetRecordCount(), count);
        ASSERT_EQ(records.size(), count);
        EXPECT_EQ(records.back(), count == 2 ? " |dos |dos" : " |tr  |tr");
    }
}

TEST_F(CompressedTableTest, DamageIsReportedAndTheFileKept)
{
    const TableBuilder table = TableBuilder().Field("A", 'C', 4).Record({ "uno" }).Record({ "dos" });
    const std::string dbf = table.Bytes(), header = table.Header();
    const std::string records = dbf.substr(header.size()), withoutEnd = records.substr(0, records.size() - 1);
    const std::string good = LiteralTable(dbf);
    const auto stream = [&](const ImplodeBuilder& builder) { return CompressedBytes(dbf, builder.Bytes()); };
    std::string badCrc = good;
    badCrc[header.size()] ^= 1;
    std::string mode = good, dictionary = good;
    mode[header.size() + 4] = 2;
    dictionary[header.size() + 5] = 7;
    const std::string truncated = "su compresi\xF3n termina antes de su c\xF3" "digo final";
    const std::string tooLong = "guarda m\xE1s bytes que los registros que dice su cabecera";
    const struct { const char* name; std::string bytes; std::string what; } cases[] = {
        { "no end code", stream(ImplodeBuilder().Literals(records)), truncated },
        { "cut in a literal", good.substr(0, good.size() - 3), truncated },
        { "cut in the CRC", good.substr(0, header.size() + 2), truncated },
        { "cut in the header", good.substr(0, header.size() - 1), truncated },
        { "literal mode", mode, "su modo de literales no es 0 ni 1" },
        { "dictionary", dictionary, "su tama\xF1o de diccionario no es 4, 5 ni 6" },
        { "copy at the start", stream(ImplodeBuilder().Copy264(1).End()),
          "una copia desde antes del comienzo de sus datos" },
        { "copy before the start", stream(ImplodeBuilder().Literals("a").Copy264(2).End()),
          "una copia desde antes del comienzo de sus datos" },
        { "more records", stream(ImplodeBuilder().Literals(withoutEnd + withoutEnd.substr(0, 5)).End()), tooLong },
        { "a last byte that is not 0x1A", stream(ImplodeBuilder().Literals(withoutEnd + "\n").End()), tooLong },
        { "two end-of-file bytes", stream(ImplodeBuilder().Literals(records + "\x1A").End()), tooLong },
        { "CRC", badCrc, "su CRC-32 no coincide con el de sus datos" },
    };
    for (const auto& damaged : cases) {
        SCOPED_TRACE(damaged.name);
        Compressed(damaged.bytes);
        EXPECT_EQ(Failure(compressed), "El archivo " + compressed + " est\xE1 da\xF1" "ado: " + damaged.what + ".");
        EXPECT_EQ(testing_support::ReadAll(compressed), damaged.bytes);
    }
    EXPECT_EQ(Failure(Compressed(good)), "");
    EXPECT_EQ(Failure(Compressed(LiteralTable(header + withoutEnd))), "");
}

TEST_F(CompressedTableTest, DamageReachedByAJumpFailsAsBefore)
{
    // Found where a jump reaches it, again at each jump there, never before
    // it; and by a walk from the start, as an export finds it.
    const TableBuilder table = JumpTable();
    const std::string dbf = table.Bytes(), header = table.Header();
    const std::string good = LiteralTable(dbf);
    std::string badCrc = good;
    badCrc[header.size()] ^= 1;
    const struct { const char* name; std::string bytes; std::string what; } cases[] = {
        { "cut short", good.substr(0, good.size() * 3 / 5),
          "su compresi\xF3n termina antes de su c\xF3" "digo final" },
        { "CRC", badCrc, "su CRC-32 no coincide con el de sus datos" },
        { "more records", CompressedBytes(dbf, ImplodeBuilder().Literals(dbf.substr(header.size()) + "12345").End().Bytes()),
          "guarda m\xE1s bytes que los registros que dice su cabecera" },
    };
    mDBase expected;
    ASSERT_EQ(expected.Open(Plain(table).c_str()), 1);
    for (const auto& damaged : cases) {
        SCOPED_TRACE(damaged.name);
        const std::string message = "El archivo " + compressed + " est\xE1 da\xF1" "ado: " + damaged.what + ".";
        mDBase read;
        ASSERT_EQ(read.Open(Compressed(damaged.bytes).c_str()), 1);
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(Raised([&] { read.GoTo(10000); }), message);
            for (const std::uint32_t n : { 4000u, 1u, 5000u }) {
                ASSERT_EQ(read.GoTo(n), 1);
                ASSERT_EQ(expected.GoTo(n), 1);
                ExpectSameRecord(read, expected);
            }
        }
        read.Close();
        EXPECT_EQ(Failure(compressed), message);
    }
}

TEST_F(CompressedTableTest, DatabaseContainerIsReadAsItsTable)
{
    // Visual FoxPro's flag 0x04 at byte 28: a database container, whose
    // records are stored as they are.
    std::string container = TableBuilder().Version(0x30).AfterTerminator(std::string(263, '\0'))
                                .Field("OBJECTNAME", 'C', 10).Record({ "clientes" }).Bytes();
    container[28] = 0x04;
    EXPECT_EQ(Records(Compressed(container)), std::vector<std::string>{ " |clientes  |clientes" });
}

TEST(Crc32Test, ContinuesOverPieces)
{
    const std::string text = "123456789";
    EXPECT_EQ(Crc32(text), 0xCBF43926u); // the check value of the IEEE CRC-32
    EXPECT_EQ(Crc32(""), 0u);
    // Long enough for the blocks that are folded together (zlib's values).
    std::string counting;
    for (int i = 0; i < 5 * 256; ++i)
        counting += static_cast<char>(i);
    EXPECT_EQ(Crc32(counting), 0x1E7A6D24u);
    EXPECT_EQ(Crc32(std::string(1000, 'a')), 0x9A38DA03u);
    for (size_t cut = 0; cut <= text.size(); ++cut)
        EXPECT_EQ(Crc32(text.substr(cut), Crc32(text.substr(0, cut))), 0xCBF43926u) << cut;
}

#ifdef ORVALIS_STORMLIB

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

TEST(StormLibTest, TablesCompressedInEveryModeReadAsTheirDbf)
{
    TempDir dir;
    std::vector<TableBuilder> tables = Tables();
    // Every byte value, for the coded literals; long runs and far repeats.
    TableBuilder bytes;
    bytes.Field("B", 'C', 250).Field("R", 'C', 250);
    for (unsigned n = 0; n < 400; ++n)
        bytes.Record({ RandomBytes(250, n % 7), std::string(n % 250, static_cast<char>(n)) });
    tables.push_back(bytes);
    for (const bool coded : { false, true }) {
        for (const unsigned dictionary : { 1024u, 2048u, 4096u }) {
            for (size_t i = 0; i < tables.size(); ++i) {
                SCOPED_TRACE("coded " + std::to_string(coded) + ", dictionary " + std::to_string(dictionary) +
                             ", table " + std::to_string(i));
                const std::string dbf = tables[i].Bytes();
                TableBuilder::WriteFile(dir.File("t.dbf"), dbf);
                TableBuilder::WriteFile(dir.File("t.dbc"),
                                        testing_support::StormCompressedTable(dbf, coded, dictionary));
                EXPECT_EQ(Records(dir.File("t.dbc")), Records(dir.File("t.dbf")));
            }
        }
    }
}

// The source of a compressed table that keeps at most `most` checkpoints,
// at first one each piece.
std::unique_ptr<CompressedTable> Source(const std::string& path, const std::string& dbf, size_t most)
{
    auto file = std::make_unique<CFile>();
    file->Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
    const std::string header = dbf.substr(0, TableBuilder::HeaderLengthOf(dbf));
    return std::make_unique<CompressedTable>(std::move(file), path.c_str(), header,
                                             static_cast<std::uint32_t>(LittleEndian<4>(header.data() + 4)),
                                             static_cast<std::uint16_t>(LittleEndian<2>(header.data() + 10)), most, 1);
}

TEST(StormLibTest, JumpsReadWhatTheDbfHolds)
{
    TempDir dir;
    const TableBuilder table = JumpTable();
    const std::string dbf = table.Bytes(), records = dbf.substr(table.Header().size());
    TableBuilder::WriteFile(dir.File("t.dbf"), dbf);
    std::mt19937 random(27);
    for (const bool coded : { false, true }) {
        for (const unsigned dictionary : { 1024u, 2048u, 4096u }) {
            SCOPED_TRACE("coded " + std::to_string(coded) + ", dictionary " + std::to_string(dictionary));
            const std::string path = dir.File("t.dbc");
            TableBuilder::WriteFile(path, testing_support::StormCompressedTable(dbf, coded, dictionary));

            // The source alone, with four checkpoints for about 40 pieces:
            // they thin out as the stream is expanded.
            std::unique_ptr<CompressedTable> source = Source(path, dbf, 4);
            const auto read = [&](std::uint64_t offset, unsigned count) {
                std::string got(count, '\0');
                got.resize(source->Read(offset, got.data(), count));
                EXPECT_EQ(got, records.substr(std::min<std::uint64_t>(offset, records.size()), count)) << offset;
            };
            // Forwards into output not yet expanded, back, and to the end.
            for (const std::uint64_t offset : { records.size() / 2, std::uint64_t{ 10 }, records.size() - 5 })
                read(offset, 300000);
            source->CheckEnd();
            EXPECT_EQ(source->Size(), records.size());
            EXPECT_LE(source->CheckpointCount(), 4u);
            // Now anywhere, for at most an interval and the pieces read.
            for (int i = 0; i < 40; ++i) {
                const std::uint64_t offset = random() % (records.size() + 1000);
                const unsigned count = random() % 300000 + 1;
                const std::uint64_t before = source->ExpandedPieces();
                read(offset, count);
                EXPECT_LE(source->ExpandedPieces() - before,
                          source->CheckpointInterval() + count / ImplodeDecoder::kPieceBytes + 2) << offset;
            }
            EXPECT_LE(source->CheckpointCount(), 4u);
            source.reset();

            // The table as the window reads it, with its own checkpoints.
            mDBase expected, jumped;
            ASSERT_EQ(expected.Open(dir.File("t.dbf").c_str()), 1);
            ASSERT_EQ(jumped.Open(path.c_str()), 1);
            for (int i = 0; i < 30; ++i) {
                const std::uint32_t n = i == 0 ? 10000 : static_cast<std::uint32_t>(random() % 10000) + 1;
                ASSERT_EQ(jumped.GoTo(n), 1) << n;
                ASSERT_EQ(expected.GoTo(n), 1);
                ExpectSameRecord(jumped, expected);
            }
        }
    }
}

TEST(StormLibTest, WrittenStreamsAreWhatStormLibExpands)
{
    const auto explode = [](const std::string& stream) {
        std::string out;
        testing_support::StormStreams streams = testing_support::StringStreams(stream, out);
        EXPECT_TRUE(testing_support::StormExplode(streams));
        return out;
    };
    std::string repeated = "xy";
    for (int i = 0; i < 132; ++i)
        repeated += "xy";
    EXPECT_EQ(explode(ImplodeBuilder().Literals("xy").Copy264(2).End().Bytes()), repeated);
    EXPECT_EQ(explode(ImplodeBuilder().Literals("abc\x1A").End().Bytes()), "abc\x1A");
}

TEST(StormLibTest, Crc32IsZlibs)
{
    const std::string bytes = RandomBytes(5000, 1);
    for (const size_t start : { 0, 1, 3, 7 })
        for (const size_t length : { 0, 1, 7, 8, 9, 15, 16, 63, 64, 65, 80, 127, 128, 200, 4000 })
            EXPECT_EQ(Crc32(bytes.substr(start, length)), testing_support::ZlibCrc32(bytes.substr(start, length)));
}

#endif

} // namespace
