// Measures the export of the benchmark table in each of the four layouts.
//
//   orvalis_export_bench [records] [folder]

#include "bench/BenchTable.h"
#include "export/TextExportWriter.h"
#include "table/mDBase.h"

#include <cstdlib>

using bench::Clock;
using bench::Seconds;

int main(int argc, char** argv)
{
    const std::uint32_t records = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string path = folder + "/orvalis-bench.dbf";
    const std::string out = folder + "/orvalis-bench.txt";
    bench::WriteTable(path, records);

    mDBase table;
    table.Open(path.c_str());
    const double tableMB = double(table.GetRecordLength()) * records / 1e6;
    std::printf("table: %u records of %u bytes, %.1f MB\n", records, table.GetRecordLength(), tableMB);
    const struct { const char* name; ExportFormat layout; const char* separator; } layouts[] = {
        { "fixed length", ExportFormat::FixedLength, "" },
        { "tab-separated", ExportFormat::TabSeparated, "\t" },
        { "comma-separated", ExportFormat::CommaSeparated, "," },
        { "other character", ExportFormat::OtherCharacter, ";" },
    };
    for (const auto& layout : layouts) {
        const auto start = Clock::now();
        TextExportWriter(layout.layout, layout.separator).Export(table, out.c_str());
        const double seconds = Seconds(start);
        CFileStatus status;
        CFile::GetStatus(out.c_str(), status);
        const double outMB = double(status.m_size) / 1e6;
        std::printf("%-16s %7.3f s  %10.0f records/s  %6.1f MB/s of table  %6.1f MB/s of output (%.1f MB)\n",
                    layout.name, seconds, records / seconds, tableMB / seconds, outMB / seconds, outMB);
    }
    table.Close();
    std::remove(path.c_str());
    std::remove(out.c_str());
    return 0;
}
