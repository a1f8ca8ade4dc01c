#pragma once

// A workbook being written, and the names of its sheets. Classes: SheetNames,
// Workbook.

#include "export/ZipWriter.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CFile;

// The names of one workbook's sheets, as Excel takes them: at most 31
// characters, none of : \ / ? * [ ], no apostrophe first or last, never
// empty, and unique without regard to letter case. A name that repeats gets
// " (2)", " (3)", ... with the name cut first so that the whole fits.
class SheetNames {
public:
    SheetNames();
    // name is in UTF-8. From `first` on: 1 tries the name as it is first;
    // 2 starts at " (2)", for the next sheet of a long table.
    std::string Add(std::string_view name, unsigned first = 1);

private:
    std::set<std::string> m_used; // folded to lower case
};

// An Office Open XML workbook written into a ZIP archive as it goes: its
// sheets one after the other, each as its table's records come, then the
// parts that list them. Sheets of several tables may go into one workbook.
class Workbook {
public:
    explicit Workbook(CFile& out, std::uint64_t zip64From = ZipWriter::kZip64From);

    // The cell style of a number format ("0.00", "yyyy-mm-dd"), for the
    // s attribute of a cell: the same style for the same format.
    unsigned Style(const std::string& format);
    static constexpr unsigned kTitleStyle = 1; // bold

    // A new sheet, named as near name (UTF-8) as SheetNames allows; its part
    // holds at most `most` bytes. Gives the name it got.
    std::string BeginSheet(std::string_view name, unsigned first, std::uint64_t most);
    void WriteSheet(std::string_view bytes) { m_zip.Write(bytes); }
    void EndSheet() { m_zip.End(); }
    size_t SheetCount() const { return m_sheets.size(); }

    // Where the workbook stands, to take back a table's sheets when it fails.
    struct Mark {
        ZipWriter::Mark Zip;
        size_t Sheets = 0;
    };
    Mark Here() const { return { m_zip.Here(), m_sheets.size() }; }
    void RollBack(const Mark& mark);

    // The parts that list the sheets and their styles, and the archive's
    // directory: the workbook is then complete. It needs a sheet.
    void Finish();

private:
    ZipWriter m_zip;
    SheetNames m_names;
    std::vector<std::string> m_sheets; // their names, in order
    std::vector<std::string> m_formats; // of the styles after the title's
};
