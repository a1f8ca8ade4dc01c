// Writes a small corpus of generated tables for the fuzzer to start from.

#include "tests/support/TableBuilder.h"

#include <cstdio>
#include <string>

using testing_support::Bytes;
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
    std::printf("%d seeds written to %s\n", n, dir.c_str());
    return 0;
}
