#include "export/TextExportWriter.h"

#include "export/CopyText.h"
#include "export/LineBuffer.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"

#include <cstring>

namespace {

const char kLineEnd[] = "\r\n";

// A quoted value, or a piece of a memo, in the comma-separated layout: its
// quotes doubled, its line breaks kept, as spreadsheets and databases read it.
void AppendQuotedPiece(LineBuffer& line, std::string_view text)
{
    for (size_t quote; (quote = FindByte(text, '"')) != std::string_view::npos;) {
        line.Append(text.substr(0, quote + 1));
        line.Append('"');
        text.remove_prefix(quote + 1);
    }
    line.Append(text);
}

} // namespace

// A value of a field: converted when converting; when quoted, between double
// quotes with its own quotes doubled, so that the file reads back as the
// stored text. A readable text is a view into the table's record, which may
// be read past its end.
ORVALIS_ALWAYS_INLINE void TextExportWriter::AppendValue(LineBuffer& line, std::string_view text, bool quoted,
                                                         bool readable, int field)
{
    static_assert(mDBase::kViewSlack >= LineBuffer::kReadable);
    if (Converter()) {
        text = Converted(text, field);
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
        AppendQuotedPiece(line, text);
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

void TextExportWriter::AppendMemoText(const mDBase& table, int i, LineBuffer& line)
{
    const bool quoted = m_layout == ExportFormat::CommaSeparated;
    MemoFile::Memo memo;
    const MemoFound found = FindMemo(table, i, memo);
    if (found == MemoFound::Found && memo.Type != MemoFile::Content::Text) {
        // A picture or object in an "M" field is no text: its block number,
        // as without memos.
        if (table.GetField(i).IsBinary()) {
            m_scratch.clear();
            table.AppendDisplayText(i, m_scratch);
            AppendValue(line, m_scratch, quoted, false, i);
        } else {
            AppendValue(line, table.ExportTextView(i), quoted, true, i);
        }
        return;
    }
    if (quoted)
        line.Append('"');
    if (found == MemoFound::Found)
        AppendMemo(memo, i, true, line, [&](std::string_view piece) {
            if (quoted)
                AppendQuotedPiece(line, piece);
            else
                AppendCopyText(line, piece);
        });
    if (quoted)
        line.Append('"');
}

void TextExportWriter::Prepare(const mDBase& table)
{
    // Only the separated layouts without a character of the user's can hold
    // a text of any length.
    const bool memoTexts = ReadsMemos() &&
        (m_layout == ExportFormat::TabSeparated || m_layout == ExportFormat::CommaSeparated);
    m_fields.clear();
    for (int i = 0; i < table.GetFieldCount(); ++i) {
        const FieldDescriptor& field = table.GetField(i);
        FieldWriting writing{ &field, i, Writes::ExportText,
                              m_layout == ExportFormat::CommaSeparated && field.IsCharacter() };
        if (memoTexts && field.Memo == MemoUse::Text)
            writing.Do = Writes::MemoText;
        else if (field.IsBinary())
            // Binary values as the list shows them, in the separated layouts:
            // their raw renderings are empty, so that no binary byte reaches
            // a text file.
            writing.Do = m_layout == ExportFormat::FixedLength ? Writes::Nothing : Writes::DisplayText;
        else if (m_layout == ExportFormat::FixedLength)
            writing.Do = Writes::StoredText;
        m_fields.push_back(writing);
    }
}

void TextExportWriter::AppendRecord(const mDBase& table, LineBuffer& line)
{
    if (m_fields.empty())
        return;
    if (m_layout == ExportFormat::FixedLength && !Converter()) {
        // Most tables: the line is the record without its deletion flag.
        if (const auto record = table.RecordTextView()) {
            line.Append(*record);
            line.Append(kLineEnd);
            return;
        }
    }
    for (const FieldWriting& field : m_fields) {
        if (&field != &m_fields.front())
            AppendSeparator(line);
        switch (field.Do) {
        case Writes::ExportText:
            AppendValue(line, table.ExportText(*field.Field), field.Quoted, true, field.Index);
            break;
        case Writes::StoredText: {
            const mDBase::StoredText raw = table.FieldTextView(field.Index);
            AppendValue(line, raw.Bytes, false, true, field.Index);
            if (raw.Padding > 0)
                line.Append(raw.Padding, ' ');
            break;
        }
        case Writes::DisplayText:
            m_scratch.clear();
            table.AppendDisplayText(field.Index, m_scratch);
            AppendValue(line, m_scratch, field.Quoted, false, field.Index);
            break;
        case Writes::MemoText:
            AppendMemoText(table, field.Index, line);
            break;
        case Writes::Nothing:
            break;
        }
    }
    line.Append(kLineEnd);
}

void TextExportWriter::AppendStart(const mDBase& table, LineBuffer& line)
{
    if (m_byteOrderMark)
        line.Append("\xEF\xBB\xBF");
    if (!m_header)
        return;
    const int fields = table.GetFieldCount();
    for (int i = 0; i < fields; ++i) {
        std::string_view name = FieldName(table, i);
        if (m_layout == ExportFormat::FixedLength) {
            // Cut or padded to the width of the field's values, so that the
            // names stand over their columns.
            const auto width = static_cast<size_t>(table.GetFieldWidth(i));
            name = name.substr(0, width);
            AppendValue(line, name, false, false, i);
            line.Append(width - name.size(), ' ');
        } else {
            AppendValue(line, name, m_layout == ExportFormat::CommaSeparated, false, i);
        }
        if (i < fields - 1)
            AppendSeparator(line);
    }
    if (fields > 0)
        line.Append(kLineEnd);
}

CString TextExportWriter::FormatLine(const mDBase& table)
{
    Prepare(table);
    LineBuffer line(256);
    SetRecord(table.GetCurrentRecord());
    AppendRecord(table, line);
    return CString(line.View());
}
