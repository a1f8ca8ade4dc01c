#include "export/TextExportWriter.h"

#include "export/LineBuffer.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"

#include <cstring>

namespace {

const char kLineEnd[] = "\r\n";

// Lines gather in a block until it holds this much, then go out in one
// write: a few system calls per thousand records instead of one per record.
constexpr size_t kBlockSize = 256 * 1024;

void WriteBlock(LineBuffer& block, CFile& out)
{
    out.Write(block.Data(), static_cast<unsigned>(block.Size()));
    block.Clear();
}

} // namespace

// A value of a field: converted when converting; when quoted, between double
// quotes with its own quotes doubled, so that the file reads back as the
// stored text. A readable text is a view into the table's record, which may
// be read past its end.
ORVALIS_ALWAYS_INLINE void TextExportWriter::AppendValue(LineBuffer& line, std::string_view text, bool quoted,
                                                         bool readable) const
{
    static_assert(mDBase::kViewSlack >= LineBuffer::kReadable);
    if (m_converter) {
        m_converted.clear();
        m_converter->AppendUtf8(text, m_converted);
        text = m_converted;
        readable = false;
    }
    if (!quoted) {
        if (readable)
            line.AppendReadable(text);
        else
            line.Append(text);
        return;
    }
    line.Append('"');
    const size_t start = line.Size();
    bool holdsQuotes;
    if (readable) {
        holdsQuotes = line.AppendReadableFinding(text, '"');
    } else {
        line.Append(text);
        holdsQuotes = !text.empty() && std::memchr(text.data(), '"', text.size()) != nullptr;
    }
    if (holdsQuotes) {
        line.Truncate(start);
        for (const char c : text) {
            if (c == '"')
                line.Append('"');
            line.Append(c);
        }
    }
    line.Append('"');
}

ORVALIS_ALWAYS_INLINE void TextExportWriter::AppendSeparator(LineBuffer& line) const
{
    // One character, or none, as the format dialog allows.
    if (m_separator.GetLength() == 1)
        line.Append(m_separator.GetString()[0]);
    else
        line.Append(m_separator.View());
}

void TextExportWriter::AppendLine(const mDBase& table, LineBuffer& line) const
{
    const int fields = table.GetFieldCount();
    if (m_layout == ExportFormat::FixedLength && !m_converter) {
        // Most tables: the line is the record without its deletion flag.
        if (const auto record = table.RecordTextView()) {
            line.Append(*record);
            if (fields > 0)
                line.Append(kLineEnd);
            return;
        }
    }
    for (int i = 0; i < fields; ++i) {
        const FieldDescriptor& field = table.GetField(i);
        const bool quoted = m_layout == ExportFormat::CommaSeparated && field.IsCharacter();
        if (field.IsBinary()) {
            // Binary values as the list shows them, in the separated layouts:
            // their raw renderings are empty, so that no binary byte reaches
            // a text file.
            if (m_layout != ExportFormat::FixedLength) {
                m_scratch.clear();
                table.AppendDisplayText(i, m_scratch);
                AppendValue(line, m_scratch, quoted, false);
            }
        } else if (m_layout == ExportFormat::FixedLength) {
            const mDBase::StoredText raw = table.FieldTextView(i);
            AppendValue(line, raw.Bytes, false, true);
            if (raw.Padding > 0)
                line.Append(raw.Padding, ' ');
        } else {
            AppendValue(line, table.ExportTextView(i), quoted, true);
        }
        if (i < fields - 1)
            AppendSeparator(line);
    }
    if (fields > 0)
        line.Append(kLineEnd);
}

void TextExportWriter::AppendHeader(const mDBase& table, LineBuffer& line) const
{
    const int fields = table.GetFieldCount();
    for (int i = 0; i < fields; ++i) {
        std::string_view name = table.GetField(i).Name.View();
        if (m_layout == ExportFormat::FixedLength) {
            // Cut or padded to the width of the field's values, so that the
            // names stand over their columns.
            const auto width = static_cast<size_t>(table.GetFieldWidth(i));
            name = name.substr(0, width);
            AppendValue(line, name, false, false);
            line.Append(width - name.size(), ' ');
        } else {
            AppendValue(line, name, m_layout == ExportFormat::CommaSeparated, false);
        }
        if (i < fields - 1)
            AppendSeparator(line);
    }
    if (fields > 0)
        line.Append(kLineEnd);
}

CString TextExportWriter::FormatLine(const mDBase& table) const
{
    LineBuffer line(256);
    AppendLine(table, line);
    return CString(line.View());
}

void TextExportWriter::WriteRecords(mDBase& table, CFile& out, std::uint32_t first) const
{
    LineBuffer block(kBlockSize + kBlockSize / 4);
    table.GoTo(first);
    // 64 bits: a 32-bit counter would never pass the last of 4,294,967,295
    // records.
    for (std::uint64_t record = first; record <= table.GetRecordCount(); ++record) {
        AppendLine(table, block);
        if (block.Size() >= kBlockSize)
            WriteBlock(block, out);
        table.MoveNext();
    }
    WriteBlock(block, out);
}

void TextExportWriter::Write(mDBase& table, CFile& out) const
{
    if (m_header) {
        LineBuffer line(256);
        AppendHeader(table, line);
        WriteBlock(line, out);
    }
    WriteRecords(table, out);
}

void TextExportWriter::Export(mDBase& table, const CString& path) const
{
    // Where the open table cannot be locked against its own export, creating
    // the text file would empty the table.
    if (table.IsOpen() && CFile::IsSameFile(table.GetPath(), path))
        throw CFileException(CFileException::accessDenied, path, 0,
                             "La salida %s es la propia tabla; no se escribe sobre ella.");
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
