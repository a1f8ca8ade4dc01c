// Measures the table reader on a generated table of 1,000,000 records of
// about 100 bytes: opening, a walk rendering every field for display, and a
// walk rendering every field for export.
//
//   orvalis_bench [records] [folder]

#include "bench/BenchTable.h"
#include "table/mDBase.h"

#include <cstdlib>

using bench::Clock;
using bench::Seconds;

namespace {

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
    bench::WriteTable(path, records);

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
