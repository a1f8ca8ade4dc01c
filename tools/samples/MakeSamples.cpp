// Writes the sample tables that tools/run opens Orvalis on.
//
//   orvalis_samples FOLDER

#include "tests/support/MemoBuilder.h"
#include "tests/support/TableBuilder.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace std::string_literals;
using testing_support::Bytes;
using testing_support::Hex;
using testing_support::MemoBuilder;
using testing_support::TableBuilder;

namespace {

// Texts are Windows-1252, as a Spanish dBase program stores them.
void Clients(const std::string& path)
{
    TableBuilder()
        .Field("CODIGO", 'N', 6).Field("NOMBRE", 'C', 24).Field("CIUDAD", 'C', 16)
        .Field("ALTA", 'D', 8).Field("SALDO", 'N', 10).Field("ACTIVO", 'L', 1)
        .Record({ "     1", "Mar\xEDlia Pe\xF1" "a", "Logro\xF1o", "20240115", "   1520.75", "T" })
        .Record({ "     2", "Jos\xE9  \xC1lvarez", "C\xE1" "ceres", "20230302", "    -12.00", "T" })
        .Record({ "     3", "Ana  Mar\xED" "a  S\xE1nchez", "Le\xF3n", "20221120", "      0.00", "F" }, '*')
        .Record({ "     4", "  Luis Ib\xE1\xF1" "ez", "\xC1vila", "20261209", "  99999.99", "T" })
        .WriteTo(path);
}

void EveryType(const std::string& path)
{
    TableBuilder()
        .Field("TEXTO", 'C', 12).Field("NUMERO", 'N', 8).Field("FLOTANTE", 'F', 10)
        .Field("FECHA", 'D', 8).Field("LOGICO", 'L', 1).Field("MEMO", 'M', 10)
        .Field("ENTERO", 'I', 4).Field("DOBLE", 'O', 8)
        .Record({ "uno", "    1.50", "  3.141593", "20261209", "T", "         1",
                  Bytes({ 0x80, 0, 0, 5 }), Bytes({ 0xC0, 0x59, 0, 0, 0, 0, 0, 0 }) })
        .Record({ "dos  y  tres", "   -2.25", " -1.000000", "19991231", "F", "",
                  Bytes({ 0x7F, 0xFF, 0xFF, 0xFF }), Bytes({ 0x3F, 0xA6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }) })
        .Record({ "", "", "", "", "?", "", Bytes({ 0, 0, 0, 0 }), Bytes({ 0, 0, 0, 0, 0, 0, 0, 0 }) })
        .WriteTo(path);
}

// As Visual FoxPro writes it: binary numbers, dates with times, a hidden
// null-flags field, a nullable name and a variable-length city.
void VisualFoxPro(const std::string& path)
{
    TableBuilder()
        .Version(0x30).AfterTerminator(std::string(263, '\0'))
        .Field("CODIGO", 'I', 4).Field("NOMBRE", 'C', 20, 0, 0x02).Field("CIUDAD", 'V', 16)
        .Field("SALDO", 'Y', 8, 4).Field("ALTA", 'T', 8).Field("PESO", 'B', 8, 2).Field("NOTA", 'M', 4)
        .Field("_NullFlags", '0', 1, 0, 0x05)
        .Record({ Hex("01000000"), "Mar\xEDlia Pe\xF1" "a", "Logro\xF1o\0\0\0\0\0\0\0\x07"s,
                  Hex("74e60e0000000000"), Hex("c88e25000f0e8a02"), Hex("0000000000c03240"),
                  Hex("05000000"), Hex("02") })
        .Record({ Hex("02000000"), "Jos\xE9 \xC1lvarez", "C\xE1" "ceres", Hex("d8e2feffffffffff"),
                  Hex("8c3d250000000000"), Hex("00000000008013c0"), Hex("00000000"), Hex("00") })
        .Record({ Hex("d2040000"), "", "\xC1vila\0\0\0\0\0\0\0\0\0\0\x05"s, Hex("0000000000000000"),
                  Hex("0000000000000000"), Hex("0000000000000000"), Hex("00000000"), Hex("03") })
        .WriteTo(path);
}

// As dBase level 7 writes it: long names, a counter and numbers in binary.
void Level7(const std::string& path)
{
    TableBuilder()
        .Version(0x04)
        .Field("NUMERO_DE_CLIENTE", '+', 4).Field("NOMBRE_COMPLETO", 'C', 24).Field("IMPORTE_PENDIENTE", 'O', 8)
        .Record({ Hex("80000001"), "Mar\xED" "a Ib\xE1\xF1" "ez", Hex("c05f400000000000") })
        .Record({ Hex("80000002"), "Le\xF3n S\xE1" "enz", Hex("3fa6ffffffffffff") })
        .WriteTo(path);
}

// As Clipper writes it: a 300-byte description, and notes in a dBase III
// memo file (pedidos.dbt) that orvalis-export --memo writes out.
void Orders(const std::string& path)
{
    MemoBuilder notes(MemoBuilder::DBaseIII);
    const auto first = notes.Add("Entregar por la ma\xF1" "ana.\r\nLlamar antes a Mar\xED" "a.");
    const auto second = notes.Add("Pagado; factura \"A-17\" enviada.");
    const auto third = notes.Add("Anulado por el cliente.");
    notes.WriteTo(path.substr(0, path.size() - 4) + ".dbt");
    const std::string description =
        "Mesa de roble macizo, 180 x 90 cm, con dos extensiones de 40 cm; barnizada a mano, "
        "patas torneadas y herrajes de lat\xF3n. Incluye montaje a domicilio en la provincia y "
        "retirada del embalaje. Plazo de entrega: tres semanas desde la confirmaci\xF3n del pedido.";
    TableBuilder()
        .Version(0x83).LanguageDriver(0x03)
        .Field("PEDIDO", 'N', 6).Field("DESCRIPCIO", 'C', 300).Field("IMPORTE", 'N', 10, 2)
        .Field("NOTAS", 'M', 10)
        .Record({ "   101", description, "   1250.00", MemoBuilder::Pointer(first) })
        .Record({ "   102", "Juego de seis sillas tapizadas en lino.", "    540.50", MemoBuilder::Pointer(second) })
        .Record({ "   103", "L\xE1mpara de pie.", "     89.90", MemoBuilder::Pointer(third) }, '*')
        .Record({ "   104", "Estanter\xED" "a modular de pino.", "    312.00", "" })
        .WriteTo(path);
}

void Wide(const std::string& path)
{
    TableBuilder table;
    for (int i = 1; i <= 120; ++i)
        table.Field("CAMPO" + std::to_string(i), i % 3 ? 'C' : 'N', 6);
    for (int n = 1; n <= 50; ++n) {
        std::vector<std::string> values;
        for (int i = 1; i <= 120; ++i)
            values.push_back(std::to_string(n) + "." + std::to_string(i));
        table.Record(values);
    }
    table.WriteTo(path);
}

// A million records of 100 bytes, written as a stream.
void Large(const std::string& path)
{
    TableBuilder table;
    table.Field("CODIGO", 'N', 8).Field("NOMBRE", 'C', 30).Field("CIUDAD", 'C', 20)
        .Field("ALTA", 'D', 8).Field("IMPORTE", 'N', 12).Field("ACTIVO", 'L', 1)
        .Field("ID", 'I', 4).Field("NOTA", 'C', 16);
    const std::uint32_t records = 1000000;
    table.RecordCount(records);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << table.Header();
    const char* cities[] = { "Madrid", "Sevilla", "A Coru\361a", "M\xE1laga", "Bilbao" };
    for (std::uint32_t n = 1; n <= records; ++n) {
        char line[128];
        const std::uint32_t id = n ^ 0x80000000u;
        const int length = std::snprintf(line, sizeof line, " %8u%-30s%-20s%04u%02u%02u%12.2f%c%c%c%c%c%-16s",
                                         n, ("Registro " + std::to_string(n)).c_str(), cities[n % 5],
                                         2000 + n % 27, 1 + n % 12, 1 + n % 28, n * 1.25, n % 7 ? 'T' : 'F',
                                         char(id >> 24), char(id >> 16), char(id >> 8), char(id),
                                         n % 10 ? "" : "revisar");
        out.write(line, length);
    }
    out.put('\x1A');
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s folder\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    Clients(dir + "/clientes.dbf");
    EveryType(dir + "/tipos.dbf");
    Wide(dir + "/ancha.dbf");
    VisualFoxPro(dir + "/visualfox.dbf");
    Level7(dir + "/dbase7.dbf");
    Orders(dir + "/pedidos.dbf");
    TableBuilder().Field("NOMBRE", 'C', 10).Field("IMPORTE", 'N', 8).WriteTo(dir + "/vacia.dbf");
    Large(dir + "/grande.dbf");
    std::printf("sample tables written to %s\n", dir.c_str());
    return 0;
}
