#pragma once

// The tables one output of several holds (a script, a workbook), and where
// that output goes. Classes: SharedOutput, OutputTables.

#include "framework/CException.h"
#include "framework/CString.h"
#include "table/DatabaseContainer.h"
#include "table/OpenedTable.h"

#include <string>
#include <vector>

class OutputFile;
struct ExportWarnings;
struct WorkbookNotes;

// Where the output of several tables goes: a file, or standard output.
struct SharedOutput {
    std::string Name;         // as the command line names it
    bool Standard = false;    // standard output, which messages call StandardName
    CString StandardName;

    // Raises CFileException naming the output when it cannot be written.
    void Open(OutputFile& out) const;
    // Raises CFileException when the output is the table's own file, which
    // writing would destroy.
    void RefuseTable(const std::string& table) const;
};

// The tables of an output of several, each known by its place, and what
// happens to them. The command that writes the output opens each table as it
// sees fit and words what is said (these classes print nothing); the output's
// writer keeps which tables failed, wholly or in part, and leaves a failed
// table out from then on.
class OutputTables {
public:
    explicit OutputTables(size_t count) : m_failed(count, false) {}
    virtual ~OutputTables() = default;

    size_t Count() const { return m_failed.size(); }
    bool Failed(size_t t) const { return m_failed[t]; }

    // Table t's file, and the entry of the database container that lists it
    // (null for a table named on its own).
    virtual const std::string& Path(size_t t) const = 0;
    virtual const DatabaseContainer::Table* Listed(size_t t) const = 0;
    // Opens table t with its memo file and the code page of its texts; the
    // first time, also finds its names. False, said, when its file is not
    // there; CFileException when it cannot be read.
    virtual bool Open(size_t t, OpenedTable& opened) = 0;
    // Once table t was opened: its name in UTF-8, and the names its fields go
    // by, null for those the table holds.
    virtual const std::string& Name(size_t t) const = 0;
    virtual const std::vector<CString>* FieldNames(size_t t) const = 0;

    // A failure, its message naming file.
    virtual void SayFailure(const CString& message, const std::string& file) = 0;
    // What table t's writer could not write as stored.
    virtual void SayWarnings(size_t t, const OpenedTable& opened, const ExportWarnings& warnings) = 0;
    // What a workbook holds of table t otherwise than the table does.
    virtual void SayNotes(size_t t, const OpenedTable& opened, const WorkbookNotes& notes) = 0;
    // Table t's index cannot be read: the table goes without its keys.
    virtual void SayNoIndex(size_t t, const CFileException& e) = 0;
    // A line on what a database's keys lost, and why.
    virtual void SayKeyMessage(const std::string& message) = 0;

    // Runs f on table t, opened, unless it failed already; a failure is said
    // and fails the table.
    template <class F>
    void WithTable(size_t t, F&& f)
    {
        if (m_failed[t])
            return;
        try {
            OpenedTable opened;
            if (!Open(t, opened)) {
                m_failed[t] = true;
                return;
            }
            f(opened);
            return;
        } catch (const CFileException& e) {
            SayFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
        } catch (const CException& e) {
            SayFailure(e.GetErrorMessage(), Path(t));
        }
        m_failed[t] = true;
    }
    // The output failed as a whole: said once, and every table failed.
    void FailAll(const CFileException& e);
    // Opens the output; false, with every table failed, when it cannot be.
    bool OpenOutput(const SharedOutput& output, OutputFile& out);

private:
    std::vector<bool> m_failed;
};
