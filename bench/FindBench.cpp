// Measures the list's find on a generated table of 1,000,000 records of
// about 100 bytes, under Windows or Wine: a search that reaches the last
// record, through a single-byte code page (bytes compared through a table)
// and through UTF-8 (each value converted), side by side with a bare walk
// through the records. Medians of five runs.
//
//   orvalis_find_bench [records] [folder]

#include "app/RecordSearch.h"
#include "bench/BenchTable.h"
#include "framework/Win32.h"
#include "table/mDBase.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

using bench::Clock;
using bench::Seconds;

namespace {

constexpr int kRuns = 5;

// The thread's processor time, in seconds: on a busy machine a steadier
// figure than the time on the clock.
double ThreadSeconds()
{
    FILETIME created, ended, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user);
    const auto value = [](const FILETIME& t) { return (std::uint64_t{ t.dwHighDateTime } << 32) | t.dwLowDateTime; };
    return double(value(kernel) + value(user)) / 1e7;
}

struct Timing {
    double clock;     // median seconds on the clock
    double processor; // median seconds of this thread's processor time
};

Timing Median(const std::function<void()>& run)
{
    std::vector<double> clock, processor;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        const double cpu = ThreadSeconds();
        run();
        processor.push_back(ThreadSeconds() - cpu);
        clock.push_back(Seconds(start));
    }
    std::sort(clock.begin(), clock.end());
    std::sort(processor.begin(), processor.end());
    return { clock[kRuns / 2], processor[kRuns / 2] };
}

} // namespace

int main(int argc, char** argv)
{
    const std::uint32_t records = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
    const std::string folder = argc > 2 ? argv[2] : ".";
    const std::string path = folder + "/orvalis-find-bench.dbf";
    bench::WriteTable(path, records);

    mDBase table;
    table.Open(path.c_str());
    std::printf("table: %u records of %u bytes, %u fields\n", table.GetRecordCount(), table.GetRecordLength(),
                table.GetFieldCount());

    const Timing walk = Median([&] {
        for (std::uint32_t n = 1; n <= table.GetRecordCount(); ++n)
            table.GoTo(n);
    });
    // The last record's number is in no other record; "zzz" is in none.
    const std::wstring last = std::to_wstring(records);
    struct Case {
        const char* what;
        unsigned codePage;
        std::wstring text;
        std::uint32_t expected;
    } cases[] = {
        { "found in the last, 1252", 1252, last, records },
        { "found nowhere, 1252", 1252, L"zzz", 0 },
        { "found in the last, UTF-8", 65001, last, records },
        { "found nowhere, UTF-8", 65001, L"zzz", 0 },
    };
    std::printf("%-28s %8s %14s %s\n", "", "clock", "processor", "(ratios to the walk's)");
    std::printf("%-28s %8.3f s %8.3f s  (1.00, 1.00)\n", "walk through every record", walk.clock, walk.processor);
    int status = 0;
    for (const Case& c : cases) {
        // As the list converts a cell.
        const auto cell = [&](std::uint32_t record, int field) {
            table.GoTo(record);
            const CString bytes = table.GetDisplayText(field);
            std::wstring wide(static_cast<size_t>(bytes.GetLength()), L'\0');
            wide.resize(static_cast<size_t>(std::max(0, ::MultiByteToWideChar(c.codePage, 0, bytes.GetString(),
                bytes.GetLength(), wide.data(), static_cast<int>(wide.size())))));
            return wide;
        };
        RecordSearch search(table, c.codePage, c.text, cell);
        std::uint32_t found = 0;
        const Timing t = Median([&] { found = search.FindAfter(0, nullptr); });
        std::printf("%-28s %8.3f s %8.3f s  (%.2f, %.2f)%s\n", c.what, t.clock, t.processor, t.clock / walk.clock,
                    t.processor / walk.processor, found == c.expected ? "" : "  WRONG RECORD");
        if (found != c.expected)
            status = 1;
    }
    std::remove(path.c_str());
    return status;
}
