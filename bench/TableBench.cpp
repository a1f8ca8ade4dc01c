// Measures the table reader on a generated table of 1,000,000 records of
// about 100 bytes: opening, a walk rendering every field for display, and a
// walk rendering every field for export.
//
//   orvalis_bench [records] [folder]

#include "table/mDBase.h"
#include "tests/support/TableBuilder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using testing_support::TableBuilder;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Ten fields, 100 bytes a record with the deletion flag.
TableBuilder Layout()
{
    TableBuilder table;
    table.Field("CODIGO", 'N', 8).Field("NOMBRE", 'C', 30).Field("CIUDAD", 'C', 20)
        .Field("ALTA", 'D', 8).Field("IMPORTE", 'N', 12).Field("ACTIVO", 'L', 1)
        .Field("ID", 'I', 4).Field("PRECIO", 'O', 8).Field("NOTA", 'C', 5).Field("ZONA", 'C', 3);
    return table;
}

void WriteTable(const std::string& path, std::uint32_t records)
{
    TableBuilder table = Layout();
    table.RecordCount(records);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << table.Header();
    std::string record;
    for (std::uint32_t n = 1; n <= records; ++n) {
        char line[128];
        const int length = std::snprintf(
            line, sizeof line, " %8u%-30s%-20s%08u%12.2f%c%c%c%c%c%c%c%c%c%c%c%c%c%-5s%-3s", n,
            "NOMBRE  DE  PRUEBA", "CIUDAD", 20260000u + n % 1231, n * 0.25, n % 2 ? 'T' : 'F',
            0x80, 0, char(n >> 8), char(n), 0xC0, 0x59, 0, 0, 0, 0, 0, 0, "", "A");
        out.write(line, length);
    }
    out.put('\x1A');
}

struct Walk {
    double seconds;
    size_t bytes;
};

template <class Render>
Walk WalkTable(mDBase& table, Render render)
{
    const auto start = Clock::now();
    size_t bytes = 0;
    table.GoTo(1);
    for (std::uint32_t n = 1; n <= table.GetRecordCount(); ++n) {
        for (int i = 0; i < table.GetFieldCount(); ++i)
            bytes += static_cast<size_t>(render(table, i).GetLength());
        table.MoveNext();
    }
    return { Seconds(start), bytes };
}

void Report(const char* what, const Walk& walk, std::uint32_t records, double tableMB)
{
    std::printf("%-24s %8.3f s  %12.0f records/s  %8.1f MB/s of table  (%zu bytes rendered)\n", what,
                walk.seconds, records / walk.seconds, tableMB / walk.seconds, walk.bytes);
}

} // namespace

int main(int argc, char** argv)
{
    const std::uint32_t records = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string path = folder + "/orvalis-bench.dbf";
    WriteTable(path, records);

    mDBase table;
    auto start = Clock::now();
    table.Open(path.c_str());
    const double openSeconds = Seconds(start);
    const double tableMB = double(table.GetRecordLength()) * records / 1e6;
    std::printf("table: %u records of %u bytes, %.1f MB\n", records, table.GetRecordLength(), tableMB);
    std::printf("%-24s %8.6f s\n", "open", openSeconds);

    Report("walk, display text", WalkTable(table, [](mDBase& t, int i) { return t.GetDisplayText(i); }),
           records, tableMB);
    Report("walk, export text", WalkTable(table, [](mDBase& t, int i) { return t.GetExportText(i); }),
           records, tableMB);
    Report("walk, raw text", WalkTable(table, [](mDBase& t, int i) { return t.GetFieldText(i); }),
           records, tableMB);
    table.Close();
    std::remove(path.c_str());
    return 0;
}
