// The tables a command exports, and their opening as the command line wants
// it.

#include "cli/TableJob.h"

#include "cli/CommandMessages.h"
#include "cli/Console.h"
#include "cli/ExportReport.h"
#include "framework/CodePage.h"
#include "framework/FilePath.h"
#include "table/OpenedTable.h"

bool OpenJob(const ExportOptions& options, TableJob& job, OpenedTable& opened)
{
    if (!opened.Open(job.Path.c_str())) {
        ReportFailure(CFileException(CFileException::fileNotFound, job.Path.c_str()).GetErrorMessage(), job.Path);
        return false;
    }
    const mDBase& table = opened.Table();
    if (!job.Planned) {
        // A script's texts, JSON's and a workbook's are always UTF-8.
        if (options.Utf8 || options.Sql || options.Jsonl || options.Xlsx) {
            job.CodePage = opened.ExportCodePage(options.CodePage);
            SayWarnings(opened);
        }
        // The names a database container gives a table, where they show.
        if (job.Listed) {
            job.Names = { job.Listed->Name, job.Listed->Fields };
            job.HasNames = job.Listed->Fields.size() == table.GetFieldCount();
        } else if (options.Header || options.Sql || options.Jsonl || options.Xlsx) {
            job.HasNames = opened.FindLongNames();
            SayWarnings(opened);
            if (job.HasNames)
                job.Names = opened.LongNames();
        }
        // The script's table: its long name, or else the file's name. A
        // database's table whose long name is blank is named with the others.
        if (job.HasNames && job.CodePage != 0 && (job.Listed || !job.Names.Table.IsEmpty())) {
            job.SqlName.clear();
            CodePageConverter(job.CodePage).AppendUtf8(job.Names.Table.View(), job.SqlName);
        } else {
            job.SqlName = CommandLineUtf8(WithExtension(job.Path.substr(NameStart(job.Path)), ""));
        }
        job.Planned = true;
    }
    // The memo texts of "M" fields, or, in a script, JSON Lines or a
    // workbook, every field kept there (a workbook notes the binary ones it
    // leaves out).
    const bool typed = options.Sql || options.Jsonl || options.Xlsx;
    if ((options.Memo || typed) && opened.HasMemoFields(typed)) {
        try {
            opened.OpenMemo();
        } catch (const CFileException& e) {
            // JSON Lines and a workbook keep the records of a table whose
            // memo file is gone: its memos have no value.
            if (!(options.Jsonl || options.Xlsx) || e.m_cause != CFileException::fileNotFound)
                throw;
            if (!job.MemoMissingSaid) {
                WarnMemoMissing(job.Path, e, options);
                job.MemoMissingSaid = true;
            }
        }
    }
    if (job.CodePage != 0)
        opened.SetCodePage(job.CodePage);
    return true;
}

std::vector<TableJob> JobsOf(const DatabaseContainer& container, std::vector<std::string>& failed)
{
    std::vector<TableJob> jobs;
    for (const DatabaseContainer::Table& listed : container.GetTables()) {
        TableJob job;
        job.Path = container.TablePath(listed).GetString();
        job.Listed = &listed;
        if (job.Path.empty()) {
            CString message;
            message.Format(kListedFileMissingFailure, container.GetPath().GetString(), listed.Name.GetString(),
                           listed.File.GetString());
            ReportFailure(message, container.GetPath().GetString());
            failed.push_back(listed.File.GetString());
            continue;
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

void JobTables::AddFailed(std::vector<std::string>& failed) const
{
    for (size_t t = 0; t < m_jobs.size(); ++t)
        if (Failed(t))
            failed.push_back(m_jobs[t].Path);
}

void JobTables::SayFailure(const CString& message, const std::string& file)
{
    ReportFailure(message, file);
}

void JobTables::SayWarnings(size_t t, const OpenedTable& opened, const ExportWarnings& warnings)
{
    ReportWarnings(warnings, m_jobs[t].Path, opened.Table(), opened.Memo(), m_jobs[t].CodePage, m_options);
}

void JobTables::SayNotes(size_t t, const OpenedTable& opened, const WorkbookNotes& notes)
{
    ReportNotes(notes, m_jobs[t].Path, opened.Table());
}

void JobTables::SayNoIndex(size_t t, const CFileException& e)
{
    WarnNoIndex(m_jobs[t].Listed->Name, e);
}

void JobTables::SayKeyMessage(const std::string& message)
{
    WriteText(Stream::Error, message);
}
