#pragma once

#include "export/ExportFormat.h"
#include "export/ExportWriter.h"
#include "framework/CString.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct FieldDescriptor;

// Writes every record of a table as text, one line per record ended by
// "\r\n", in one of the four layouts. With a memo file, the tab- and
// comma-separated layouts, which can hold a text of any length, write the
// texts of "M" fields instead of their block numbers.
class TextExportWriter : public ExportWriter {
public:
    TextExportWriter(ExportFormat layout, const CString& separator)
        : m_layout(layout), m_separator(separator)
    {
    }

    // A header line of the field names comes first (the command's option).
    void SetHeaderLine(bool header) { m_header = header; }
    // A UTF-8 byte-order mark comes first, before any header line.
    void SetByteOrderMark(bool mark) { m_byteOrderMark = mark; }

    // The line of the record the table holds, line end included.
    CString FormatLine(const mDBase& table);

protected:
    void Prepare(const mDBase& table) override;
    void AppendStart(const mDBase& table, LineBuffer& out) override;
    void AppendRecord(const mDBase& table, LineBuffer& out) override;

private:
    void AppendValue(LineBuffer& line, std::string_view text, bool quoted, bool readable, int field);
    void AppendMemoText(const mDBase& table, int i, LineBuffer& line);
    void AppendSeparator(LineBuffer& line) const;

    // How each field goes into a line, decided once for an export.
    enum class Writes : std::uint8_t { ExportText, StoredText, DisplayText, MemoText, Nothing };
    struct FieldWriting {
        const FieldDescriptor* Field;
        int Index;
        Writes Do;
        bool Quoted;
    };

    ExportFormat m_layout;
    CString m_separator;
    std::vector<FieldWriting> m_fields;
    bool m_header = false;
    bool m_byteOrderMark = false;
    std::string m_scratch; // a binary value being formatted
};
