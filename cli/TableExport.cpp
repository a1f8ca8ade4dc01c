// Exports the tables and database containers a command line names.

#include "cli/TableExport.h"

#include "cli/CommandMessages.h"
#include "cli/Console.h"
#include "cli/ExportReport.h"
#include "cli/OutputNames.h"
#include "cli/TableJob.h"
#include "export/JsonLinesWriter.h"
#include "export/MultiTableWorkbook.h"
#include "export/SqlDatabaseScript.h"
#include "export/SqlScriptWriter.h"
#include "export/TextExportWriter.h"
#include "export/WorkbookWriter.h"
#include "framework/FilePath.h"
#include "framework/OutputFile.h"
#include "table/DatabaseContainer.h"
#include "table/OpenedTable.h"

#include <deque>
#include <memory>
#include <set>

namespace {

// The writer of one table to an output of its own, as the options ask;
// notes is set to a workbook's.
std::unique_ptr<ExportWriter> MakeWriter(const ExportOptions& options, const TableJob& job, OpenedTable& opened,
                                         const WorkbookNotes*& notes)
{
    std::unique_ptr<ExportWriter> writer;
    if (options.Sql) {
        auto script = std::make_unique<SqlScriptWriter>(SqlDialect::Named(*options.Sql), job.SqlName, *opened.Converter());
        script->SetReplace(options.Replace);
        writer = std::move(script);
    } else if (options.Xlsx) {
        auto book = std::make_unique<WorkbookWriter>(job.SqlName, *opened.Converter());
        notes = &book->GetNotes();
        writer = std::move(book);
    } else if (options.Jsonl) {
        writer = std::make_unique<JsonLinesWriter>();
        writer->SetConverter(opened.Converter());
    } else {
        const std::string separator = options.Utf8 ? CommandLineUtf8(options.Separator) : options.Separator;
        auto text = std::make_unique<TextExportWriter>(options.Layout, CString(std::string_view(separator)));
        text->SetHeaderLine(options.Header);
        text->SetByteOrderMark(options.Bom);
        text->SetConverter(opened.Converter());
        writer = std::move(text);
    }
    if (job.HasNames)
        writer->SetFieldNames(job.Names.Fields);
    writer->SetMemoFile(opened.Memo());
    writer->SetSkipDeleted(options.SkipDeleted);
    return writer;
}

// Exports one table to its own output. False, with the cause reported, when
// it could not be.
bool ExportTable(const ExportOptions& options, TableJob& job, const std::string& output,
                 std::set<std::string>& written)
{
    const bool toStandardOutput = output == "-";
    try {
        // Two tables of one name, from two folders, into one folder.
        if (!toStandardOutput && written.count(output)) {
            CString message;
            message.Format(kOutputTakenFailure, output.c_str());
            ReportFailure(message, output);
            return false;
        }
        OpenedTable opened;
        if (!OpenJob(options, job, opened))
            return false;
        const WorkbookNotes* notes = nullptr;
        const std::unique_ptr<ExportWriter> writer = MakeWriter(options, job, opened, notes);
        if (toStandardOutput) {
            OutputFile out;
            out.OpenStandardOutput(kStandardOutputName.c_str());
            writer->Export(opened.Table(), out);
        } else {
            writer->Export(opened.Table(), output.c_str());
            written.insert(output);
        }
        ReportWarnings(writer->GetWarnings(), job.Path, opened.Table(), opened.Memo(), job.CodePage, options);
        if (notes)
            ReportNotes(*notes, job.Path, opened.Table());
        return true;
    } catch (const CFileException& e) {
        ReportFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
    } catch (const CException& e) {
        ReportFailure(e.GetErrorMessage(), job.Path);
    }
    return false;
}

// Writes the tables into one output, a script with the keys of the
// containers' databases or a workbook, as the options ask; the files of the
// tables that failed go into failed.
void ExportTogether(const ExportOptions& options, std::vector<TableJob>& jobs,
                    const std::vector<const DatabaseContainer*>& containers, const std::string& output,
                    std::vector<std::string>& failed)
{
    JobTables tables(options, jobs);
    const SharedOutput shared{ output, output == "-", kStandardOutputName.c_str() };
    if (options.Sql)
        SqlDatabaseScript(*options.Sql, options.Replace, options.SkipDeleted).Write(tables, containers, shared);
    else
        MultiTableWorkbook(options.SkipDeleted).Write(tables, shared);
    tables.AddFailed(failed);
}

void ExportDatabase(const ExportOptions& options, const DatabaseContainer& container,
                    std::set<std::string>& written, std::vector<std::string>& failed)
{
    const std::string path = container.GetPath().GetString();
    if (container.GetTables().empty())
        return; // noted when it was opened
    std::vector<TableJob> jobs = JobsOf(container, failed);
    if (options.Sql || options.Xlsx) {
        ExportTogether(options, jobs, { &container }, OutputPath(options, path), failed);
    } else if (options.Output && container.GetTables().size() > 1) {
        CString message;
        message.Format(kDatabaseOneOutputFailure, path.c_str());
        ReportFailure(message, path);
        failed.push_back(path);
    } else {
        // One text file for each table, named after it, beside the container;
        // the one table of a container may go where -o says.
        for (TableJob& job : jobs) {
            const std::string beside =
                path.substr(0, NameStart(path)) + FileNameOf(job.Listed->Name, job.Path) + Extension(options);
            if (!ExportTable(options, job, options.Output ? *options.Output : InFolder(options, beside), written))
                failed.push_back(job.Path);
        }
    }
}

} // namespace

std::vector<std::string> ExportTables(const ExportOptions& options)
{
    std::vector<std::string> failed;
    std::deque<DatabaseContainer> containers;
    const auto openContainer = [&](const std::string& path) -> const DatabaseContainer* {
        try {
            containers.emplace_back().Open(path.c_str());
            if (containers.back().GetTables().empty()) {
                CString note;
                note.Format(kNoTablesNote, path.c_str());
                Warn(note, path);
            }
            return &containers.back();
        } catch (const CFileException& e) {
            ReportFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
            failed.push_back(path);
            return nullptr;
        }
    };

    // -o with a script or a workbook: every table, and every database's, in
    // that one output.
    if ((options.Sql || options.Xlsx) && options.Output) {
        std::vector<TableJob> jobs;
        std::vector<const DatabaseContainer*> databases;
        for (const std::string& path : options.Tables) {
            if (!DatabaseContainer::IsContainer(path.c_str())) {
                jobs.push_back(TableJob::Of(path));
                continue;
            }
            if (const DatabaseContainer* container = openContainer(path)) {
                databases.push_back(container);
                for (TableJob& job : JobsOf(*container, failed))
                    jobs.push_back(std::move(job));
            }
        }
        ExportTogether(options, jobs, databases, *options.Output, failed);
        return failed;
    }

    std::set<std::string> written;
    for (const std::string& path : options.Tables) {
        if (DatabaseContainer::IsContainer(path.c_str())) {
            if (const DatabaseContainer* container = openContainer(path))
                ExportDatabase(options, *container, written, failed);
            continue;
        }
        TableJob job = TableJob::Of(path);
        if (!ExportTable(options, job, options.Output ? *options.Output : OutputPath(options, path), written))
            failed.push_back(path);
    }
    return failed;
}
