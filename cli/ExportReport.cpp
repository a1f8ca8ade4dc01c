// How the command line says what happened to a table.

#include "cli/ExportReport.h"

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
            warning.Format("Aviso: el archivo %s no nombra una p\xE1gina de c\xF3" "digos conocida.\n",
                           said.File.c_str());
            break;
        case OpenedTable::Warning::NoLongNames:
            warning.Format("Aviso: tabla %s: %s; se usan los nombres que guarda la tabla.\n", said.File.c_str(),
                           said.Detail.GetString());
            break;
        case OpenedTable::Warning::UnsupportedCodePage:
            continue; // the table is then taken as 1252, which its own warning says
        case OpenedTable::Warning::AssumedWindows1252:
            warning.Format("Aviso: la tabla %s no dice en qu\xE9 p\xE1gina de c\xF3" "digos est\xE1; "
                           "se toma la 1252 (Windows-1252).\n", said.File.c_str());
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
    warning.Format("Aviso: tabla %s: %s; %s.\n", path.c_str(), cause.c_str(),
                   options.Xlsx ? "las celdas de sus memos quedan vac\xED" "as"
                                : "sus memos se escriben como null");
    Warn(warning, e.m_strFileName.GetString());
}

void WarnNoIndex(const CString& tableName, const CFileException& e)
{
    CString warning;
    warning.Format("Aviso: tabla %s: %s; se escribe sin claves ni \xEDndices.\n", tableName.GetString(),
                   e.GetErrorMessage().GetString());
    Warn(warning, e.m_strFileName.GetString());
}

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
        const char* written = options.Jsonl ? "se escriben como null" : "se escriben como NULL";
        switch (kind) {
        case ExportWarnings::UnreadableMemo:
            what.Format("memos ilegibles en %s", memoPath.c_str());
            if (!sql && !options.Jsonl)
                written = options.Xlsx ? "sus celdas quedan vac\xED" "as" : "se escriben vac\xEDos";
            break;
        case ExportWarnings::InvalidValue:
            what = "valores que no son lo que dice su tipo";
            if (options.Xlsx)
                written = "sus celdas quedan vac\xED" "as";
            break;
        default:
            // A script cannot hold a NUL in a text either.
            what.Format("bytes sin car\xE1" "cter en la p\xE1gina de c\xF3" "digos %u%s", codePage, sql ? ", o NUL" : "");
            written = "se escriben como U+FFFD";
            break;
        }
        const CString field = tally.Field >= 0 && tally.Field < table.GetFieldCount()
            ? table.GetField(tally.Field).Name : CString();
        CString warning;
        warning.Format("Aviso: tabla %s: %s: %llu, el primero en el registro %u, campo %s; %s.\n", path.c_str(),
                       what.GetString(), static_cast<unsigned long long>(tally.Count), tally.Record,
                       field.GetString(), written);
        WriteText(Stream::Error, warning.View(), { path, memoPath });
    }
}

void ReportNotes(const WorkbookNotes& notes, const std::string& path, const mDBase& table)
{
    static const char* const kTexts[WorkbookNotes::kKinds][2] = {
        { "n\xFAmeros de m\xE1s de 15 cifras significativas, que Excel no guarda", "se escriben como texto" },
        { "textos de m\xE1s de 32.767 caracteres, lo que cabe en una celda", "se cortan ah\xED" },
        { "fechas anteriores a 1900, que las fechas de Excel no alcanzan", "se escriben como texto" },
        { "valores binarios, im\xE1genes u objetos, que una celda no guarda", "sus celdas quedan vac\xED" "as" },
    };
    for (int kind = 0; kind < WorkbookNotes::kKinds; ++kind) {
        const ExportWarnings::Tally& tally = notes.Of[kind];
        if (tally.Count == 0)
            continue;
        const CString field = tally.Field >= 0 && tally.Field < table.GetFieldCount()
            ? table.GetField(tally.Field).Name : CString();
        CString line;
        line.Format("%s: tabla %s: %s: %llu, el primero en el registro %u, campo %s; %s.\n",
                    kind == WorkbookNotes::Binary ? "Nota" : "Aviso", path.c_str(), kTexts[kind][0],
                    static_cast<unsigned long long>(tally.Count), tally.Record, field.GetString(), kTexts[kind][1]);
        WriteText(Stream::Error, line.View(), path);
    }
}
