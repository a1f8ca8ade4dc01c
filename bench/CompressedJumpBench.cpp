// Measures jumps in a compressed table (.dbc) against one full read: the
// benchmark table compressed by StormLib's implode (plain literals, 4 KiB
// dictionary, as the published files are), walked from its first record to
// its last, then read at random records, backwards and forwards, as the
// window's "go to" and scroll bar do. Also the cost of keeping checkpoints
// in a full expansion: as kept, one each piece, and almost none.
//
//   orvalis_dbc_bench [records] [folder] [runs]

#include "bench/BenchTable.h"
#include "table/CompressedTable.h"
#include "table/mDBase.h"
#include "table/TableFormat.h"
#include "tests/support/Files.h"
#include "tests/support/StormLib.h"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

using bench::Clock;
using bench::Seconds;

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The .dbc beside the .dbf it is made of, written on first use.
std::string CompressedTablePath(std::uint32_t records, const std::string& folder)
{
    const std::string path = folder + "/orvalis-bench-" + std::to_string(records) + ".dbc";
    if (CFileStatus status; CFile::GetStatus(path.c_str(), status))
        return path;
    const std::string plain = folder + "/orvalis-bench-dbc.dbf";
    bench::WriteTable(plain, records);
    const std::string dbc = testing_support::StormCompressedTable(testing_support::ReadAll(plain), false, 4096);
    std::remove(plain.c_str());
    bench::TableBuilder::WriteFile(path + ".part", dbc);
    std::rename((path + ".part").c_str(), path.c_str());
    return path;
}

// Every record from the first to the last, as an export reads them.
double FullRead(mDBase& table)
{
    const auto start = Clock::now();
    size_t deleted = 0;
    for (int more = table.GoTo(1); more; more = table.MoveNext())
        deleted += table.IsDeleted();
    const double seconds = Seconds(start);
    if (deleted != 0)
        std::printf("(%zu deleted)\n", deleted);
    return seconds;
}

// The table's whole output through the source alone, keeping at most
// `checkpoints` of them, at first `interval` pieces apart.
double SourceRead(const std::string& path, size_t checkpoints, std::uint64_t interval)
{
    auto file = std::make_unique<CFile>();
    file->Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
    char start[32];
    file->ReadAt(0, start, sizeof start);
    const auto headerLength = static_cast<unsigned>(static_cast<unsigned char>(start[8]) |
                                                    static_cast<unsigned char>(start[9]) << 8);
    std::string bytes(headerLength, '\0');
    file->ReadAt(0, bytes.data(), headerLength);
    const std::uint32_t count = static_cast<std::uint32_t>(LittleEndian<4>(bytes.data() + 4));
    const auto length = static_cast<std::uint16_t>(LittleEndian<2>(bytes.data() + 10));
    const auto begin = Clock::now();
    CompressedTable source(std::move(file), path.c_str(), bytes, count, length, checkpoints, interval);
    std::vector<char> buffer(256 * 1024);
    for (std::uint64_t at = 0; source.Read(at, buffer.data(), static_cast<unsigned>(buffer.size())) > 0;
         at += buffer.size()) {
    }
    source.CheckEnd();
    return Seconds(begin);
}

} // namespace

int main(int argc, char** argv)
{
    const std::uint32_t records = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const std::string path = CompressedTablePath(records, folder);
    constexpr int kJumps = 200;

    std::vector<double> full, worst, typical, kept, each, few;
    std::mt19937 random(2026);
    for (int run = 0; run < runs; ++run) {
        mDBase table;
        table.Open(path.c_str());
        full.push_back(FullRead(table));
        // Back and forth: from wherever the last jump left the table.
        std::vector<double> jumps;
        for (int i = 0; i < kJumps; ++i) {
            const std::uint32_t to = static_cast<std::uint32_t>(random() % table.GetRecordCount()) + 1;
            const auto start = Clock::now();
            table.GoTo(to);
            jumps.push_back(Seconds(start));
        }
        worst.push_back(*std::max_element(jumps.begin(), jumps.end()));
        typical.push_back(Median(jumps));
        table.Close(); // it holds the file against other openers
        // Taking turns, so that the machine's load falls alike on both.
        kept.push_back(SourceRead(path, CompressedTable::kMostCheckpoints, CompressedTable::kFirstInterval));
        each.push_back(SourceRead(path, CompressedTable::kMostCheckpoints, 1));
        few.push_back(SourceRead(path, 2, 1));
    }
    CFileStatus status;
    CFile::GetStatus(path.c_str(), status);
    std::printf("table: %s, %u records, %.1f MB compressed; medians of %d runs, %d jumps each\n", path.c_str(),
                records, double(status.m_size) / 1e6, runs, kJumps);
    std::printf("%-34s %9.4f s\n", "full read (first to last record)", Median(full));
    std::printf("%-34s %9.4f s  %6.4f of the full read\n", "worst jump", Median(worst),
                Median(worst) / Median(full));
    std::printf("%-34s %9.4f s  %6.4f of the full read\n", "median jump", Median(typical),
                Median(typical) / Median(full));
    std::printf("%-34s %9.4f s\n", "expansion, checkpoints as kept", Median(kept));
    std::printf("%-34s %9.4f s  %6.3f of it\n", "expansion, one each 64 KiB piece", Median(each),
                Median(each) / Median(kept));
    std::printf("%-34s %9.4f s  %6.3f of it\n", "expansion, almost none kept", Median(few),
                Median(few) / Median(kept));
    return 0;
}
