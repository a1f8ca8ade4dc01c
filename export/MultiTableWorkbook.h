#pragma once

// A workbook of several tables. Classes: MultiTableWorkbook.

class OutputTables;
struct SharedOutput;

// Writes several tables into one workbook, a sheet (or more) for each: a
// table that fails takes its sheets back out, and a workbook left with no
// sheet is not written.
class MultiTableWorkbook {
public:
    explicit MultiTableWorkbook(bool skipDeleted) : m_skipDeleted(skipDeleted) {}

    void Write(OutputTables& tables, const SharedOutput& output);

private:
    const bool m_skipDeleted;
};
