// How the command line says what happened to a table.

#include "cli/ExportReport.h"

#include "cli/CommandMessages.h"
#include "cli/Console.h"
#include "export/ExportWarnings.h"
#include "export/WorkbookWriter.h"
#include "framework/CException.h"
#include "table/MemoFile.h"
#include "table/OpenedTable.h"
#include "table/mDBase.h"

void ReportFailure(const CString& message, const std::string& fileName)
{
    WriteText(Stream::Error, (message + "\n").View(), fileName);
}

void Warn(const CString& warning, const std::string& fileName)
{
    WriteText(Stream::Error, warning.View(), fileName);
}

void SayWarnings(OpenedTable& opened)
{
    for (const OpenedTable::Warning& said : opened.TakeWarnings()) {
        CString warning;
        switch (said.What) {
        case OpenedTable::Warning::UnknownCpg:
            warning.Format(kUnknownCpgWarning, said.File.c_str());
            break;
        case OpenedTable::Warning::NoLongNames:
            warning.Format(kNoLongNamesWarning, said.File.c_str(), said.Detail.GetString());
            break;
        case OpenedTable::Warning::UnsupportedCodePage:
            continue; // the table is then taken as 1252, which its own warning says
        case OpenedTable::Warning::AssumedWindows1252:
            warning.Format(kAssumedWindows1252Warning, said.File.c_str());
            break;
        }
        Warn(warning, said.File);
    }
}

void WarnMemoMissing(const std::string& path, const CFileException& e, const ExportOptions& options)
{
    std::string cause = e.GetErrorMessage().GetString();
    if (!cause.empty() && cause.back() == '.')
        cause.pop_back();
    CString warning;
    warning.Format(kMemoMissingWarning, path.c_str(), cause.c_str(), options.Xlsx ? kMemoCellsEmpty.c_str() : kMemosNull.c_str());
    Warn(warning, e.m_strFileName.GetString());
}

void WarnNoIndex(const CString& tableName, const CFileException& e)
{
    CString warning;
    warning.Format(kNoIndexWarning, tableName.GetString(), e.GetErrorMessage().GetString());
    Warn(warning, e.m_strFileName.GetString());
}

namespace {

// The name of the field a tally's first value is in.
CString FieldOf(const ExportWarnings::Tally& tally, const mDBase& table)
{
    return tally.Field >= 0 && tally.Field < table.GetFieldCount() ? table.GetField(tally.Field).Name : CString();
}

} // namespace

void ReportWarnings(const ExportWarnings& warnings, const std::string& path, const mDBase& table,
                    const MemoFile* memo, unsigned codePage, const ExportOptions& options)
{
    const bool sql = options.Sql.has_value();
    const std::string memoPath = memo ? memo->GetPath().GetString() : "";
    for (int kind = 0; kind < ExportWarnings::kKinds; ++kind) {
        const ExportWarnings::Tally& tally = warnings.Of[kind];
        if (tally.Count == 0)
            continue;
        CString what;
        const char* written = options.Jsonl ? kWrittenAsNull.c_str() : kWrittenAsSqlNull.c_str();
        switch (kind) {
        case ExportWarnings::UnreadableMemo:
            what.Format(kUnreadableMemos, memoPath.c_str());
            if (!sql && !options.Jsonl)
                written = options.Xlsx ? kCellsLeftEmpty.c_str() : kWrittenEmpty.c_str();
            break;
        case ExportWarnings::InvalidValue:
            what = kInvalidValues.c_str();
            if (options.Xlsx)
                written = kCellsLeftEmpty;
            break;
        default:
            // A script cannot hold a NUL in a text either.
            what.Format(kUnmappedBytes, codePage, sql ? kOrNul.c_str() : "");
            written = kWrittenAsReplacement;
            break;
        }
        CString warning;
        warning.Format(kTallyLine, kWarning.c_str(), path.c_str(), what.GetString(), tally.Count, tally.Record,
                       FieldOf(tally, table).GetString(), written);
        WriteText(Stream::Error, warning.View(), { path, memoPath });
    }
}

void ReportNotes(const WorkbookNotes& notes, const std::string& path, const mDBase& table)
{
    static const char* const kTexts[WorkbookNotes::kKinds][2] = {
        { kLongNumbers, kWrittenAsText },
        { kLongTexts, kCutThere },
        { kEarlyDates, kWrittenAsText },
        { kBinaryValues, kCellsLeftEmpty },
    };
    for (int kind = 0; kind < WorkbookNotes::kKinds; ++kind) {
        const ExportWarnings::Tally& tally = notes.Of[kind];
        if (tally.Count == 0)
            continue;
        CString line;
        line.Format(kTallyLine, kind == WorkbookNotes::Binary ? kNote.c_str() : kWarning.c_str(), path.c_str(),
                    kTexts[kind][0], tally.Count, tally.Record, FieldOf(tally, table).GetString(), kTexts[kind][1]);
        WriteText(Stream::Error, line.View(), path);
    }
}
