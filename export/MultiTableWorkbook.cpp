// A workbook of several tables.

#include "export/MultiTableWorkbook.h"

#include "export/OutputTables.h"
#include "export/Workbook.h"
#include "export/WorkbookWriter.h"
#include "framework/AnsiText.h"
#include "framework/OutputFile.h"

void MultiTableWorkbook::Write(OutputTables& tables, const SharedOutput& output)
{
    // Before the output is created: it may be one of the tables.
    for (size_t t = 0; t < tables.Count(); ++t)
        try {
            output.RefuseTable(tables.Path(t));
        } catch (const CFileException& e) {
            tables.FailAll(e);
            return;
        }
    OutputFile out;
    if (!tables.OpenOutput(output, out))
        return;
    try {
        Workbook book(out.File());
        bool broken = false; // a failed table's sheets could not be taken out
        for (size_t t = 0; t < tables.Count(); ++t) {
            tables.WithTable(t, [&](OpenedTable& opened) {
                WorkbookWriter writer(tables.Name(t), *opened.Converter());
                if (const std::vector<CString>* fields = tables.FieldNames(t))
                    writer.SetFieldNames(*fields);
                writer.SetMemoFile(opened.Memo());
                writer.SetSkipDeleted(m_skipDeleted);
                writer.SetWorkbook(&book);
                const Workbook::Mark mark = book.Here();
                try {
                    writer.Write(opened.Table(), out.File());
                } catch (...) {
                    try {
                        book.RollBack(mark);
                    } catch (const CFileException&) {
                        broken = true;
                    }
                    throw;
                }
                tables.SayWarnings(t, opened, writer.GetWarnings());
                tables.SayNotes(t, opened, writer.GetNotes());
            });
            if (broken)
                throw CFileException(CFileException::genericException, output.Name.c_str(), 0,
                                     ANSI_TEXT("No se pudo quitar del libro %s la hoja de una tabla que falló."));
        }
        if (book.SheetCount() == 0 && !out.IsDirect()) {
            out.Abandon(); // nothing to hold: an earlier file stays
            return;
        }
        book.Finish();
        out.Commit();
    } catch (CFileException& e) {
        out.Abandon();
        e.AddSentence(out.IncompleteNote());
        tables.FailAll(e);
    }
}
