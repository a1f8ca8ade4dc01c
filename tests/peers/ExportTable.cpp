// Opens a table, prints its visible field names one per line and exports it
// in the tab-separated layout, so that check_peers.py can compare the result
// with what another dBase reader makes of the same file.
//
//   table_export TABLE OUTPUT

#include "export/TextExportWriter.h"
#include "table/mDBase.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TABLE OUTPUT\n", argv[0]);
        return 2;
    }
    try {
        mDBase table;
        if (!table.Open(argv[1])) {
            std::fprintf(stderr, "%s: no such table\n", argv[1]);
            return 1;
        }
        for (int i = 0; i < table.GetFieldCount(); ++i)
            std::printf("%s\n", table.GetField(i).Name.GetString());
        TextExportWriter(ExportFormat::TabSeparated, "\t").Export(table, argv[2]);
    } catch (const CFileException& e) {
        std::fprintf(stderr, "%s\n", e.GetErrorMessage().GetString());
        return 1;
    }
    return 0;
}
