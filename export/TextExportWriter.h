#pragma once

#include "export/ExportFormat.h"
#include "framework/CFile.h"
#include "framework/CString.h"

class mDBase;

// Writes every record of a table to a text file, one line per record ended
// by "\r\n", in one of the four layouts. Records are read one at a time and
// each line is written with a single write.
class TextExportWriter {
public:
    TextExportWriter(ExportFormat layout, const CString& separator)
        : m_layout(layout), m_separator(separator)
    {
    }

    // Creates (or empties) the file at path and writes the table into it.
    // Any failure raises CFileException; a file this export created is then
    // removed, so that no incomplete export is left looking complete.
    void Export(mDBase& table, const CString& path) const;

    // The writing loop, into a file open for writing: records first to the
    // last.
    void WriteRecords(mDBase& table, CFile& out, std::uint32_t first = 1) const;

    // The line of the record the table holds, line end included.
    CString FormatLine(const mDBase& table) const;

private:
    ExportFormat m_layout;
    CString m_separator;
};
