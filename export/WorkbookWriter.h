#pragma once

// WorkbookWriter: a table's records as sheets of an Office Open XML workbook.
// Also WorkbookNotes, what it writes otherwise than the table holds it.

#include "export/ExportWriter.h"
#include "export/FieldValue.h"
#include "export/Workbook.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CodePageConverter;

// Values a workbook cannot hold as the table does, counted by kind with the
// first of each kind, for the command to report when the table is done.
struct WorkbookNotes {
    enum Kind {
        LongNumber, // more than 15 significant digits: a text cell
        LongText,   // more than 32,767 characters: cut
        EarlyDate,  // before 1900, which Excel's dates do not reach: a text cell
        Binary,     // binary memos, blobs, pictures, objects: empty cells
        kKinds
    };
    ExportWarnings::Tally Of[kKinds];
};

// Writes a table as one sheet of a workbook, or more past Excel's 1,048,576
// rows: a bold, frozen title row of the field names, then a row for each
// record, its cells typed (texts, numbers with a format of the field's
// decimals, dates, logicals). The sheet's markup is deflated into the
// workbook's archive block by block as the records come: memory stays the
// same whatever the table's size. Texts are inline in their cells, since a
// table of shared strings would grow with the table, or need a file of its
// own, and could only be written after every sheet.
class WorkbookWriter : public ExportWriter {
public:
    // sheetName in UTF-8; the converter takes the table's texts to UTF-8.
    WorkbookWriter(std::string sheetName, const CodePageConverter& converter);
    ~WorkbookWriter() override;

    // The sheets go into this workbook, which the caller finishes; without
    // one, a write makes a workbook of this table alone.
    void SetWorkbook(Workbook* book) { m_shared = book; }
    const WorkbookNotes& GetNotes() const { return m_notes; }

    static constexpr std::uint32_t kSheetRows = 1048576; // the title's included
    static constexpr size_t kTextMost = 32767;           // characters in a cell

protected:
    void Prepare(const mDBase& table) override;
    void AppendStart(const mDBase& table, LineBuffer& out) override;
    void AppendRecord(const mDBase& table, LineBuffer& out) override;
    void AppendEnd(const mDBase& table, LineBuffer& out) override;
    void WriteBlock(CFile& file, std::string_view block) override;

private:
    struct Column {
        int Index;
        std::string Format; // of its numbers and dates; empty: none
        std::string Start;  // "<c s=\"3\"": a value cell's start, without its type
        std::string Letters; // A, B, ..., for a cell after an empty one
        unsigned Width;
    };
    void BeginSheet(const mDBase& table, unsigned first, LineBuffer& out);
    void EndSheet(LineBuffer& out);
    // Each false when it wrote no cell.
    bool AppendCell(const mDBase& table, const Column& column, bool afterGap, LineBuffer& out);
    void AppendCellStart(const Column& column, bool afterGap, LineBuffer& out) const;
    void AppendTextCell(const Column& column, bool afterGap, std::string_view utf8, int field, LineBuffer& out);
    bool AppendMemoCell(const Column& column, bool afterGap, int field, LineBuffer& out);
    void AppendNumberCell(const Column& column, bool afterGap, std::string_view number, LineBuffer& out) const;
    // The digits of a number, or false, noted, when Excel cannot keep them
    // all: then text holds them for a text cell.
    bool Digits(std::string& text, int field);
    void Note(WorkbookNotes::Kind kind, int field);

    std::string m_sheetName;
    Workbook* m_shared = nullptr;
    std::unique_ptr<Workbook> m_own;  // of this table alone, while writing
    Workbook* m_book = nullptr;       // the one being written
    std::uint64_t m_sheetMost = 0;    // the most bytes a sheet's part takes
    unsigned m_sheets = 0;            // of this table, so far
    std::uint32_t m_row = 0;          // in the sheet being written
    char m_rowText[12] = {};          // its number, for cell references
    std::uint8_t m_rowLength = 0;
    std::vector<Column> m_columns;
    std::uint32_t m_current = 0;      // the record being written, for notes
    FieldValue m_value;
    std::string m_text;               // a value being formatted
    WorkbookNotes m_notes;
};
