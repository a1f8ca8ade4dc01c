#pragma once

#include "export/ExportFormat.h"
#include "framework/CFile.h"
#include "framework/CString.h"

#include <cstdint>
#include <string>
#include <string_view>

class CodePageConverter;
class LineBuffer;
class mDBase;

// Writes every record of a table as text, one line per record ended by
// "\r\n", in one of the four layouts. Lines are gathered in a buffer of
// bounded size and written in large blocks.
class TextExportWriter {
public:
    TextExportWriter(ExportFormat layout, const CString& separator)
        : m_layout(layout), m_separator(separator)
    {
    }

    // Options of the command-line export; the program's own export has
    // neither. A header line of the field names comes first; field texts
    // (never the separator) are converted to UTF-8 from the table's code page.
    void SetHeaderLine(bool header) { m_header = header; }
    void SetConverter(const CodePageConverter* converter) { m_converter = converter; }

    // Creates (or empties) the file at path and writes the table into it.
    // Any failure raises CFileException; a file this export created is then
    // removed, so that no incomplete export is left looking complete. The
    // table's own file is refused as the path.
    void Export(mDBase& table, const CString& path) const;

    // The header line, if asked for, and every record, into a file open for
    // writing.
    void Write(mDBase& table, CFile& out) const;

    // The writing loop: records first to the last.
    void WriteRecords(mDBase& table, CFile& out, std::uint32_t first = 1) const;

    // The line of the record the table holds, line end included.
    CString FormatLine(const mDBase& table) const;

private:
    void AppendLine(const mDBase& table, LineBuffer& line) const;
    void AppendHeader(const mDBase& table, LineBuffer& line) const;
    void AppendValue(LineBuffer& line, std::string_view text, bool quoted, bool readable) const;
    void AppendSeparator(LineBuffer& line) const;

    ExportFormat m_layout;
    CString m_separator;
    bool m_header = false;
    const CodePageConverter* m_converter = nullptr;
    mutable std::string m_scratch;   // a binary value being formatted
    mutable std::string m_converted; // a value converted to UTF-8
};
