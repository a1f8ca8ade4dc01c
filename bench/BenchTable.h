#pragma once

// The benchmarks' table: 1,000,000 records of 100 bytes by default.

#include "tests/support/TableBuilder.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace bench {

using testing_support::TableBuilder;
using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Ten fields, 100 bytes a record with the deletion flag.
inline TableBuilder Layout()
{
    TableBuilder table;
    table.Field("CODIGO", 'N', 8).Field("NOMBRE", 'C', 30).Field("CIUDAD", 'C', 20)
        .Field("ALTA", 'D', 8).Field("IMPORTE", 'N', 12).Field("ACTIVO", 'L', 1)
        .Field("ID", 'I', 4).Field("PRECIO", 'O', 8).Field("NOTA", 'C', 5).Field("ZONA", 'C', 3);
    return table;
}

inline void WriteTable(const std::string& path, std::uint32_t records)
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

} // namespace bench
