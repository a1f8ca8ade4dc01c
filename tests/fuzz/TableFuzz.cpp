// Opens arbitrary bytes as a table, renders every field of every record in
// all three ways and formats each record's line in every export layout; the
// sanitizers catch any read outside a buffer.

#include "export/TextExportWriter.h"
#include "table/mDBase.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

std::string TablePath()
{
    return "/tmp/orvalis-fuzz-" + std::to_string(getpid()) + ".dbf";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static const std::string path = TablePath();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);

    mDBase table;
    try {
        if (table.Open(path.c_str()) != 1)
            return 0;
    } catch (const CFileException&) {
        return 0;
    }
    // Every record up to a bound that keeps each input quick, and the last,
    // rendered every way and formatted as a line of every layout.
    static TextExportWriter writers[] = {
        { ExportFormat::FixedLength, "" }, { ExportFormat::TabSeparated, "\t" },
        { ExportFormat::CommaSeparated, "," }, { ExportFormat::OtherCharacter, "" },
    };
    const std::uint32_t count = table.GetRecordCount();
    const std::uint32_t walk = std::min<std::uint32_t>(count, 4096);
    size_t total = 0;
    for (std::uint32_t n = 1; n <= walk + 1; ++n) {
        const std::uint32_t record = n <= walk ? n : count;
        if (table.GoTo(record) != 1)
            continue;
        for (int i = -1; i <= table.GetFieldCount(); ++i)
            total += static_cast<size_t>(table.GetFieldText(i).GetLength() +
                                         table.GetExportText(i).GetLength() +
                                         table.GetDisplayText(i).GetLength());
        for (TextExportWriter& writer : writers)
            total += static_cast<size_t>(writer.FormatLine(table).GetLength());
    }
    table.MoveNext();
    table.GoTo(0);
    table.GoTo(count + 1u);
    table.Close();
    return total == static_cast<size_t>(-1);
}
