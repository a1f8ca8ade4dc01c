// Memo texts through the export: every memo file format, found in any letter
// case, read in pieces, and what a damaged memo file gives.

#include "export/TextExportWriter.h"
#include "framework/CodePage.h"
#include "table/MemoFile.h"
#include "table/mDBase.h"
#include "tests/support/Files.h"
#include "tests/support/MemoBuilder.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
using testing_support::MemoBuilder;
using testing_support::ReadAll;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

const std::string kSpanning = "inicio " + std::string(1500, 'x') + " fin"; // three blocks and more

class MemoExportTest : public ::testing::Test {
protected:
    // The table and its memo file (named memoName) exported with memos in the
    // layout, through a memo window of the given size.
    std::string Export(const TableBuilder& builder, const MemoBuilder& memos, const std::string& memoName,
                       ExportFormat layout, size_t window = MemoFile::kWindowBytes,
                       const CodePageConverter* converter = nullptr)
    {
        builder.WriteTo(dir.File("tabla.dbf"));
        memos.WriteTo(dir.File(memoName));
        mDBase table;
        EXPECT_EQ(table.Open(dir.File("tabla.dbf").c_str()), 1);
        MemoFile memo(window);
        memo.Open(dir.File("tabla.dbf").c_str(), table.GetVersion());
        TextExportWriter writer(layout, layout == ExportFormat::TabSeparated ? "\t" : ",");
        writer.SetMemoFile(&memo);
        writer.SetConverter(converter);
        writer.Export(table, dir.File("salida.txt").c_str());
        warnings = writer.GetWarnings();
        return ReadAll(dir.File("salida.txt"));
    }

    TempDir dir;
    ExportWarnings warnings;
};

TEST_F(MemoExportTest, EveryFormatGivesItsTexts)
{
    const std::string text = "l\xEDnea \"1\"\r\n\tdos\\";
    const auto tenBytes = [&](std::uint8_t version, MemoBuilder& memos) {
        const auto first = memos.Add(text), second = memos.Add(kSpanning);
        return TableBuilder().Version(version).Field("N", 'C', 3).Field("NOTA", 'M', 10)
            .Record({ "a", MemoBuilder::Pointer(first) }).Record({ "b", MemoBuilder::Pointer(second) })
            .Record({ "c", "" }).Record({ "d", "         0" });
    };
    MemoBuilder dbase3(MemoBuilder::DBaseIII), dbase4(MemoBuilder::DBaseIV), dbase4k(MemoBuilder::DBaseIV, 1024),
        level7(MemoBuilder::DBaseIV, 1024), fox(MemoBuilder::FoxPro, 64), visual(MemoBuilder::FoxPro, 32);
    const auto visualFirst = visual.Add(text), visualSecond = visual.Add(kSpanning);
    const struct {
        const char* what;
        TableBuilder table;
        const MemoBuilder& memos;
        const char* memoName;
    } cases[] = {
        { "dBase III", tenBytes(0x83, dbase3), dbase3, "tabla.dbt" },
        { "dBase IV, 512-byte blocks", tenBytes(0x8B, dbase4), dbase4, "tabla.dbt" },
        { "dBase IV, 1024-byte blocks", tenBytes(0x8B, dbase4k), dbase4k, "TABLA.DBT" },
        { "level 7", tenBytes(0x8C, level7), level7, "Tabla.Dbt" },
        { "FoxPro, 64-byte blocks", tenBytes(0xF5, fox), fox, "TABLA.FPT" },
        { "Visual FoxPro, 32-byte blocks",
          TableBuilder().Version(0x30).AfterTerminator(std::string(263, '\0')).Field("N", 'C', 3).Field("NOTA", 'M', 4)
              .Record({ "a", MemoBuilder::BinaryPointer(visualFirst) })
              .Record({ "b", MemoBuilder::BinaryPointer(visualSecond) })
              .Record({ "c", MemoBuilder::BinaryPointer(0) }).Record({ "d", MemoBuilder::BinaryPointer(0) }),
          visual, "tabla.fpt" },
    };
    const std::string tab = "a\tl\xEDnea \"1\"\\r\\n\\tdos\\\\\r\nb\t" + kSpanning + "\r\nc\t\r\nd\t\r\n";
    const std::string csv = "\"a\",\"l\xEDnea \"\"1\"\"\r\n\tdos\\\"\r\n\"b\",\"" + kSpanning + "\"\r\n\"c\",\"\"\r\n\"d\",\"\"\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Export(c.table, c.memos, c.memoName, ExportFormat::TabSeparated), tab);
        // In pieces of seven bytes: quotes and escapes fall on every boundary.
        EXPECT_EQ(Export(c.table, c.memos, c.memoName, ExportFormat::CommaSeparated, 7), csv);
        EXPECT_EQ(warnings.Of[ExportWarnings::UnreadableMemo].Count, 0u);
        std::filesystem::remove(dir.File(c.memoName));
    }
}

TEST_F(MemoExportTest, PicturesKeepTheirBlockAndPiecesKeepTheirCharacters)
{
    // A picture in an "M" field is no text: its block number, as without memos.
    MemoBuilder fox(MemoBuilder::FoxPro, 64);
    const auto picture = fox.Add("GIF89a", 0), object = fox.Add("OLE", 2);
    const TableBuilder pictures = TableBuilder().Version(0xF5).Field("NOTA", 'M', 10)
        .Record({ MemoBuilder::Pointer(picture) }).Record({ MemoBuilder::Pointer(object) });
    EXPECT_EQ(Export(pictures, fox, "tabla.fpt", ExportFormat::TabSeparated), "         8\r\n         9\r\n");

    // UTF-8 characters that every piece boundary cuts come out whole.
    const std::string utf8 = "a\xC3\xB1" "b\xE2\x82\xAC" "c\xF0\x9D\x84\x9E";
    MemoBuilder dbase4(MemoBuilder::DBaseIV);
    const TableBuilder table = TableBuilder().Version(0x8B).Field("NOTA", 'M', 10)
        .Record({ MemoBuilder::Pointer(dbase4.Add(utf8 + utf8)) });
    const CodePageConverter converter(kCodePageUtf8);
    for (size_t window = 8; window <= 13; ++window) {
        EXPECT_EQ(Export(table, dbase4, "tabla.dbt", ExportFormat::TabSeparated, window, &converter),
                  utf8 + utf8 + "\r\n") << window;
        EXPECT_EQ(warnings.Of[ExportWarnings::UnmappedByte].Count, 0u);
    }
}

TEST_F(MemoExportTest, DamagedPointersAreWrittenEmptyAndCounted)
{
    MemoBuilder dbase4(MemoBuilder::DBaseIV);
    const auto good = dbase4.Add("bien");
    std::string bytes = dbase4.Bytes();
    // A block whose length runs past the end of the file.
    std::string longer("\xFF\xFF\x08\x00", 4);
    longer.resize(8);
    TableBuilder::Put32(longer, 4, 100000);
    bytes += longer + std::string(504, 'x');
    TableBuilder::WriteFile(dir.File("tabla.dbt"), bytes);
    TableBuilder().Version(0x8B).Field("N", 'C', 1).Field("NOTA", 'M', 10)
        .Record({ "1", "       999" })                       // past the end
        .Record({ "2", MemoBuilder::Pointer(good) })
        .Record({ "3", MemoBuilder::Pointer(good + 1) })     // its length past the end
        .Record({ "4", "    12 ab " })                       // no number
        .Record({ "5", std::string(10, '\0') })               // NULs: no memo
        .WriteTo(dir.File("tabla.dbf"));
    mDBase table;
    ASSERT_EQ(table.Open(dir.File("tabla.dbf").c_str()), 1);
    MemoFile memo;
    memo.Open(dir.File("tabla.dbf").c_str(), table.GetVersion());
    TextExportWriter writer(ExportFormat::TabSeparated, "\t");
    writer.SetMemoFile(&memo);
    writer.Export(table, dir.File("salida.txt").c_str());
    EXPECT_EQ(ReadAll(dir.File("salida.txt")), "1\t\r\n2\tbien\r\n3\t\r\n4\t\r\n5\t\r\n");
    const ExportWarnings::Tally& unreadable = writer.GetWarnings().Of[ExportWarnings::UnreadableMemo];
    EXPECT_EQ(unreadable.Count, 3u);
    EXPECT_EQ(unreadable.Record, 1u);
    EXPECT_EQ(unreadable.Field, 1);
}

TEST_F(MemoExportTest, MemoFileThatCannotServeFailsNamingIt)
{
    TableBuilder().Version(0x30).Field("NOTA", 'M', 4).Record({ MemoBuilder::BinaryPointer(8) })
        .WriteTo(dir.File("tabla.dbf"));
    const std::string fpt = dir.File("tabla.fpt");
    const auto failure = [&]() -> std::string {
        try {
            MemoFile().Open(dir.File("tabla.dbf").c_str(), 0x30);
        } catch (const CFileException& e) {
            return std::string(e.GetErrorMessage().View());
        }
        return "nothing raised";
    };
    EXPECT_EQ(failure(), "No se encuentra el archivo de memos " + fpt + ".");
    TableBuilder::WriteFile(fpt, std::string(511, '\0'));
    EXPECT_EQ(failure(), "El archivo de memos " + fpt + " es demasiado corto para su cabecera.");
    TableBuilder::WriteFile(fpt, std::string(512, '\0'));
    EXPECT_EQ(failure(), "El archivo de memos " + fpt + " da un tama\xF1o de bloque 0.");
}

} // namespace
