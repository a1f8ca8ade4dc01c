#pragma once

// The tables a command exports, and their opening as the command line wants
// it. Classes: TableJob, JobTables.

#include "cli/ExportOptions.h"
#include "export/OutputTables.h"
#include "table/DatabaseContainer.h"

#include <string>
#include <vector>

class OpenedTable;

// A table to export: its file and, when a database container lists it, that
// entry. What the first opening finds out is kept, so that a table opened
// again (a script reads its keys first) says its warnings once.
struct TableJob {
    std::string Path;
    const DatabaseContainer::Table* Listed = nullptr;
    bool Planned = false;
    unsigned CodePage = 0; // 0: its texts are not converted
    DatabaseContainer::LongNames Names;
    bool HasNames = false;
    std::string SqlName; // in UTF-8: the script's table, the workbook's sheet
    bool MemoMissingSaid = false;

    static TableJob Of(const std::string& path)
    {
        TableJob job;
        job.Path = path;
        return job;
    }
};

// Opens the job's table and what goes with it; the first time, also finds
// its code page and its names. False, reported, when the table is not there;
// CFileException when it cannot be read.
bool OpenJob(const ExportOptions& options, TableJob& job, OpenedTable& opened);

// The tables a database container lists. A table whose file is not there is
// reported and named in failed.
std::vector<TableJob> JobsOf(const DatabaseContainer& container, std::vector<std::string>& failed);

// The jobs of one script or workbook, opened and reported as the command
// line does.
class JobTables : public OutputTables {
public:
    JobTables(const ExportOptions& options, std::vector<TableJob>& jobs)
        : OutputTables(jobs.size()), m_options(options), m_jobs(jobs)
    {
    }

    // The files of the tables that failed, in order, after those in failed.
    void AddFailed(std::vector<std::string>& failed) const;

    const std::string& Path(size_t t) const override { return m_jobs[t].Path; }
    const DatabaseContainer::Table* Listed(size_t t) const override { return m_jobs[t].Listed; }
    bool Open(size_t t, OpenedTable& opened) override { return OpenJob(m_options, m_jobs[t], opened); }
    const std::string& Name(size_t t) const override { return m_jobs[t].SqlName; }
    const std::vector<CString>* FieldNames(size_t t) const override
    {
        return m_jobs[t].HasNames ? &m_jobs[t].Names.Fields : nullptr;
    }

    void SayFailure(const CString& message, const std::string& file) override;
    void SayWarnings(size_t t, const OpenedTable& opened, const ExportWarnings& warnings) override;
    void SayNotes(size_t t, const OpenedTable& opened, const WorkbookNotes& notes) override;
    void SayNoIndex(size_t t, const CFileException& e) override;
    void SayKeyMessage(const std::string& message) override;

private:
    const ExportOptions& m_options;
    std::vector<TableJob>& m_jobs;
};
