// Writes a small corpus of generated tables for the fuzzer to start from.

#include "tests/support/TableBuilder.h"

#include <cstdio>
#include <string>

using namespace std::string_literals;
using testing_support::Bytes;
using testing_support::Hex;
using testing_support::TableBuilder;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    int n = 0;
    const auto write = [&](const TableBuilder& table) {
        table.WriteTo(dir + "/seed-" + std::to_string(++n) + ".dbf");
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
    std::printf("%d seeds written to %s\n", n, dir.c_str());
    return 0;
}
