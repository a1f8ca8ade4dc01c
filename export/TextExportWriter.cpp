#include "export/TextExportWriter.h"

#include "framework/CodePage.h"
#include "table/mDBase.h"

#include <algorithm>

namespace {

const char kLineEnd[] = "\r\n";

// A quoted value, its own quotes doubled, so that the file reads back as the
// stored text. The value is already at the end of the line, from start on.
void QuoteTail(std::string& line, size_t start)
{
    const auto quotes = static_cast<size_t>(
        std::count(line.begin() + static_cast<std::ptrdiff_t>(start), line.end(), '"'));
    line.resize(line.size() + quotes + 2);
    // Moved back to front, each quote doubled on the way.
    size_t to = line.size();
    line[--to] = '"';
    for (size_t from = line.size() - quotes - 2; from-- > start;) {
        line[--to] = line[from];
        if (line[from] == '"')
            line[--to] = '"';
    }
    line[--to] = '"';
}

void Flush(std::string& block, CFile& out)
{
    out.Write(block.data(), static_cast<unsigned>(block.size()));
    block.clear();
}

} // namespace

void TextExportWriter::Convert(std::string& line, size_t start) const
{
    if (!m_converter || start == line.size())
        return;
    m_scratch.assign(line, start, std::string::npos);
    line.resize(start);
    m_converter->AppendUtf8(m_scratch, line);
}

void TextExportWriter::AppendLine(const mDBase& table, std::string& line) const
{
    const int fields = table.GetFieldCount();
    for (int i = 0; i < fields; ++i) {
        const FieldDescriptor& field = table.GetField(i);
        const size_t start = line.size();
        if (m_layout == ExportFormat::FixedLength) {
            table.AppendFieldText(i, line);
        } else if (field.IsBinary()) {
            // Binary values as the list shows them: their raw renderings are
            // empty, so that no binary byte reaches a text file.
            table.AppendDisplayText(i, line);
        } else {
            table.AppendExportText(i, line);
        }
        Convert(line, start);
        if (m_layout == ExportFormat::CommaSeparated && field.IsCharacter())
            QuoteTail(line, start);
        line += i < fields - 1 ? m_separator.View() : kLineEnd;
    }
}

void TextExportWriter::AppendHeader(const mDBase& table, std::string& line) const
{
    const int fields = table.GetFieldCount();
    for (int i = 0; i < fields; ++i) {
        const size_t start = line.size();
        line += table.GetField(i).Name.View();
        if (m_layout == ExportFormat::FixedLength) {
            // Cut or padded to the width of the field's values, so that the
            // names stand over their columns.
            line.resize(start + static_cast<size_t>(table.GetFieldWidth(i)), ' ');
        }
        Convert(line, start);
        if (m_layout == ExportFormat::CommaSeparated)
            QuoteTail(line, start);
        line += i < fields - 1 ? m_separator.View() : kLineEnd;
    }
}

CString TextExportWriter::FormatLine(const mDBase& table) const
{
    std::string line;
    AppendLine(table, line);
    return CString(std::string_view(line));
}

void TextExportWriter::WriteRecords(mDBase& table, CFile& out, std::uint32_t first) const
{
    std::string line;
    table.GoTo(first);
    // 64 bits: a 32-bit counter would never pass the last of 4,294,967,295
    // records.
    for (std::uint64_t record = first; record <= table.GetRecordCount(); ++record) {
        AppendLine(table, line);
        Flush(line, out);
        table.MoveNext();
    }
}

void TextExportWriter::Write(mDBase& table, CFile& out) const
{
    if (m_header) {
        std::string line;
        AppendHeader(table, line);
        out.Write(line.data(), static_cast<unsigned>(line.size()));
    }
    WriteRecords(table, out);
}

void TextExportWriter::Export(mDBase& table, const CString& path) const
{
    CFile out;
    out.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    try {
        Write(table, out);
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
