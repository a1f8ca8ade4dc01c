// Writes a small corpus of generated tables, some with a memo file, some
// compressed, for the fuzzer to start from: each seed is the table's length
// in two bytes (the highest bit set for a compressed table), the table and
// the memo file.

#include "tests/support/DatabaseBuilder.h"
#include "tests/support/ImplodeBuilder.h"
#include "tests/support/MemoBuilder.h"
#include "tests/support/StormLib.h"
#include "tests/support/TableBuilder.h"

#include <cstdio>
#include <string>

using namespace std::string_literals;
using testing_support::Bytes;
using testing_support::Hex;
using testing_support::MemoBuilder;
using testing_support::TableBuilder;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    int n = 0;
    const auto writeBytes = [&](const std::string& bytes, const std::string& memo, bool compressed) {
        const std::string length{ static_cast<char>(bytes.size() & 0xFF),
                                  static_cast<char>(bytes.size() >> 8 | (compressed ? 0x80 : 0)) };
        TableBuilder::WriteFile(dir + "/seed-" + std::to_string(++n), length + bytes + memo);
    };
    const auto write = [&](const TableBuilder& table, const std::string& memo = std::string()) {
        writeBytes(table.Bytes(), memo, false);
    };

    write(TableBuilder().Field("NOMBRE", 'C', 10).Field("IMPORTE", 'N', 8).Field("FECHA", 'D', 8)
              .Record({ "ANA  MARIA", "   12.50", "20261209" })
              .Record({ "LUIS\t", "-3", "19991231" }, '*'));
    write(TableBuilder().Field("ID", 'I', 4).Field("PRECIO", 'O', 8).Field("NOTA", 'M', 10)
              .Record({ Bytes({ 0x80, 0, 0, 5 }), Bytes({ 0xC0, 0x59, 0, 0, 0, 0, 0, 0 }), "1" })
              .Record({ Bytes({ 0x7F, 0xFF, 0xFF, 0xFF }), Bytes({ 0x3F, 0xA6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }), "" }));
    write(TableBuilder().Field("ELEVENBYTES", 'C', 3).Field("I", 'I', 2).RecordLength(4)
              .RawRecord(" ab\x80").RawRecord(Bytes({ ' ', 0, ' ', 0 })));
    write(TableBuilder().Field("A", 'C', 2).HeaderLength(95).RecordCount(1000).Record({ "xy" }));
    write(TableBuilder().RawRecord(" ").RecordCount(3));
    write(TableBuilder().Field("A", 'C', 200).Field("B", 'N', 200).Record({ "a", "1" }).TruncateTo(150));
    // Visual FoxPro: backlink after the terminator, hidden null flags,
    // nullable and variable-length fields, every binary type.
    write(TableBuilder().Version(0x30).AfterTerminator(std::string(263, '\0'))
              .Field("NOMBRE", 'C', 6, 0, 0x02).Field("V", 'V', 6, 0, 0x02).Field("I", 'I', 4)
              .Field("B", 'B', 8, 2).Field("Y", 'Y', 8, 4).Field("T", 'T', 8).Field("M", 'M', 4)
              .Field("_NullFlags", '0', 1, 0, 0x05)
              .Record({ "Ana", "abc\0\0\x03"s, Hex("0c000000"), Hex("0000000000c03240"),
                        Hex("0c81ffffffffffff"), Hex("c88e25000f0e8a02"), Hex("05000000"), Hex("02") })
              .Record({ "Luis", "", Hex("00000080"), Hex("000000000000f87f"), Hex("0000000000000080"),
                        std::string(8, ' '), Hex("00000000"), Hex("07") }));
    // dBase level 7: 68-byte header, 48-byte descriptors.
    write(TableBuilder().Version(0x04).Field("NOMBRE_LARGO_DE_VEINTICUATRO", 'C', 6)
              .Field("CONTADOR", '+', 4).Field("DOBLE", 'O', 8)
              .Record({ "Ana", Hex("80000001"), Hex("c059000000000000") }));
    // Memo files of every format: texts that span blocks, a picture block, a
    // pointer past the end, one that is no number.
    MemoBuilder dbase3(MemoBuilder::DBaseIII);
    const auto first = dbase3.Add("uno\r\ndos"), second = dbase3.Add(std::string(700, 'x'));
    write(TableBuilder().Version(0x83).Field("NOTA", 'M', 10).Field("N", 'C', 2)
              .Record({ MemoBuilder::Pointer(first), "a" }).Record({ MemoBuilder::Pointer(second), "b" }, '*')
              .Record({ "        99", "c" }).Record({ "   abc    ", "d" }),
          dbase3.Bytes());
    MemoBuilder dbase4(MemoBuilder::DBaseIV, 64);
    const auto text = dbase4.Add("caf\xE9 \"\t\\"), big = dbase4.Add(std::string(200, '\x82'));
    write(TableBuilder().Version(0x8B).Field("NOTA", 'M', 10).Field("BIN", 'B', 10)
              .Record({ MemoBuilder::Pointer(text), MemoBuilder::Pointer(big) }),
          dbase4.Bytes());
    MemoBuilder fox(MemoBuilder::FoxPro, 32);
    const auto memo = fox.Add("texto\r\n"), picture = fox.Add("GIF89a", 0);
    write(TableBuilder().Version(0x30).AfterTerminator(std::string(263, '\0'))
              .Field("M", 'M', 4, 0, 0x02).Field("G", 'G', 4).Field("_NullFlags", '0', 1, 0, 0x05)
              .Record({ MemoBuilder::BinaryPointer(memo), MemoBuilder::BinaryPointer(picture), Hex("00") })
              .Record({ MemoBuilder::BinaryPointer(picture), MemoBuilder::BinaryPointer(memo), Hex("01") }),
          fox.Bytes());
    // A long character field, and dBase IV as Perl's XBase writes it.
    write(TableBuilder().Field("LARGO", 'C', 300).Field("N", 'N', 4).Record({ "x", "  12" }));
    write(TableBuilder().Version(0x84).Descriptors32().Field("A", 'C', 3).Field("M", 'M', 10)
              .Record({ "abc", MemoBuilder::Pointer(1) }),
          MemoBuilder(MemoBuilder::DBaseIV, 512).Bytes());
    // Compressed tables: StormLib's streams in both literal modes, and one
    // of literals and copies written code by code.
    const TableBuilder compressed = TableBuilder().Field("UF", 'C', 2).Field("CASOS", 'N', 6).Field("DATA", 'D', 8)
        .Record({ "SP", "   123", "20210105" }).Record({ "RJ", "     7", "20210105" }).Record({ "SP", "    12", "" });
    writeBytes(testing_support::StormCompressedTable(compressed.Bytes(), false, 4096), "", true);
    writeBytes(testing_support::StormCompressedTable(compressed.Bytes(), true, 1024), "", true);
    // Output of several pieces, for the reads from checkpoints.
    TableBuilder pieces;
    pieces.Field("N", 'N', 6).Field("TEXTO", 'C', 150);
    for (int i = 0; i < 2000; ++i)
        pieces.Record({ std::to_string(i / 100), i % 300 ? "SAO PAULO" : "RIO DE JANEIRO" });
    writeBytes(testing_support::StormCompressedTable(pieces.Bytes(), false, 4096), "", true);
    std::string expanded;
    for (int i = 0; i < 133; ++i)
        expanded += " A";
    const std::string header = TableBuilder().Field("T", 'C', 265).RecordCount(1).Header();
    writeBytes(testing_support::CompressedBytes(
                   header + expanded, testing_support::ImplodeBuilder().Literals(" A").Copy264(2).End().Bytes()),
               "", true);
    // A database container and its .dct, and a table with its structural
    // index (a directory of two leaves under an interior node).
    testing_support::ContainerBuilder dbc(1);
    const int tableId = dbc.Table("clientes_largos", "..\\otra\\CLI.dbf", "id");
    dbc.Field(tableId, "viejo", true);
    dbc.Field(tableId, "identificador");
    dbc.Index(tableId, "id", true);
    dbc.Relation(tableId, "id", "clientes_largos", "id");
    writeBytes(dbc.Dbc().Bytes(), dbc.Dct().Bytes(), true);
    write(TableBuilder().Version(0x30).AfterTerminator(testing_support::ContainerBuilder::Backlink("orvalis-fuzz.dbc"))
              .Field("ID", 'C', 4).Record({ "a1" }),
          testing_support::IndexBuilder().Tag("ID", "id", 0x04).Tag("NOMBRE", "UPPER(a)+b", 0, "!DELETED()")
              .Tag("OTRA", "x").LeafSize(2).Bytes());
    std::printf("%d seeds written to %s\n", n, dir.c_str());
    return 0;
}
