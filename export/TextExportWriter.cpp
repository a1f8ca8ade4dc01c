#include "export/TextExportWriter.h"

#include "table/mDBase.h"

namespace {

const char kLineEnd[] = "\r\n";

// A value of type "C" between double quotes, its own quotes doubled, so that
// the file reads back as the stored text.
void AppendQuoted(CString& line, const CString& value)
{
    line += '"';
    for (const char c : value.View()) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

} // namespace

CString TextExportWriter::FormatLine(const mDBase& table) const
{
    CString line;
    const int fields = table.GetFieldCount();
    for (int i = 0; i < fields; ++i) {
        const FieldDescriptor& field = table.GetField(i);
        if (m_layout == ExportFormat::FixedLength) {
            line += table.GetFieldText(i);
        } else if (field.IsBinary()) {
            // Binary values as the list shows them: their raw renderings are
            // empty, so that no binary byte reaches a text file.
            line += table.GetDisplayText(i);
        } else if (m_layout == ExportFormat::CommaSeparated && field.IsCharacter()) {
            AppendQuoted(line, table.GetExportText(i));
        } else {
            line += table.GetExportText(i);
        }
        line += i < fields - 1 ? m_separator : CString(kLineEnd);
    }
    return line;
}

void TextExportWriter::WriteRecords(mDBase& table, CFile& out, std::uint32_t first) const
{
    table.GoTo(first);
    // 64 bits: a 32-bit counter would never pass the last of 4,294,967,295
    // records.
    for (std::uint64_t record = first; record <= table.GetRecordCount(); ++record) {
        const CString line = FormatLine(table);
        out.Write(line.GetString(), static_cast<unsigned>(line.GetLength()));
        table.MoveNext();
    }
}

void TextExportWriter::Export(mDBase& table, const CString& path) const
{
    CFile out;
    out.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    try {
        WriteRecords(table, out);
        out.Close();
    } catch (...) {
        out.Abort();
        try {
            CFile::Remove(path);
        } catch (const CFileException&) {
            // The error that ended the export is the one to report.
        }
        throw;
    }
}
