#pragma once

#include "export/ExportFormat.h"
#include "export/SqlScriptWriter.h"

#include <optional>
#include <string>
#include <vector>

// What the command line asks for.
struct ExportOptions {
    ExportFormat Layout = ExportFormat::FixedLength;
    std::string Separator;     // as the command line gives it
    std::optional<std::string> Sql; // a script's dialect, instead of a text layout
    bool Xlsx = false;         // a workbook, instead of a text layout
    bool Jsonl = false;        // JSON Lines, instead of a text layout
    bool Header = false;
    bool Memo = false;
    bool SkipDeleted = false;
    bool Replace = false;
    bool Utf8 = false;
    bool Bom = false;          // a UTF-8 byte-order mark first
    unsigned CodePage = 0;     // given with --utf8=; 0: the table's own
    std::optional<std::string> Output;
    std::optional<std::string> Folder;
    std::vector<std::string> Tables;
};
