#include "cli/TableExport.h"

#include "cli/Console.h"
#include "export/KeyCheck.h"
#include "export/SqlKeyNaming.h"
#include "export/SqlKeyValues.h"
#include "export/SqlNames.h"
#include "export/SqlTableDescription.h"
#include "export/JsonLinesWriter.h"
#include "export/SqlScriptWriter.h"
#include "export/TextExportWriter.h"
#include "export/WorkbookWriter.h"
#include "framework/CFile.h"
#include "framework/CodePage.h"
#include "framework/FilePath.h"
#include "framework/OutputFile.h"
#include "table/DatabaseContainer.h"
#include "table/OpenedTable.h"
#include "table/StructuralIndex.h"
#include "table/mDBase.h"

#include <deque>
#include <memory>
#include <optional>
#include <set>

namespace {

const char kStandardOutputName[] = "(salida est\xE1ndar)";

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
    std::string SqlName; // in UTF-8
    SqlTable Table; // as the script creates it
    bool Failed = false;
    bool MemoMissingSaid = false;

    static TableJob Of(const std::string& path)
    {
        TableJob job;
        job.Path = path;
        return job;
    }
};

void ReportFailure(const CString& message, const std::string& fileName)
{
    WriteText(Stream::Error, (message + "\n").View(), fileName);
}

void Warn(const CString& warning, const std::string& fileName)
{
    WriteText(Stream::Error, warning.View(), fileName);
}

std::string InFolder(const ExportOptions& options, const std::string& beside)
{
    if (!options.Folder)
        return beside;
    std::string folder = *options.Folder;
    if (!folder.empty() && !IsPathSeparator(folder.back()))
        folder += '/';
    return folder + beside.substr(NameStart(beside));
}

// The extension of an output named after its table.
const char* Extension(const ExportOptions& options)
{
    return options.Sql ? ".sql" : options.Jsonl ? ".jsonl" : options.Xlsx ? ".xlsx" : ".txt";
}

std::string OutputPath(const ExportOptions& options, const std::string& table)
{
    if (options.Output)
        return *options.Output;
    return InFolder(options, WithExtension(table, Extension(options)));
}

// The opener's warnings, as the command line words them.
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

// What the export could not write as stored, one line for each kind.
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

// What a workbook writes otherwise than the table holds it, one line for
// each kind.
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

// Opens the job's table and what goes with it; the first time, also finds
// its code page and its names. False, reported, when the table is not there;
// CFileException when it cannot be read.
bool Open(const ExportOptions& options, TableJob& job, OpenedTable& opened)
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
                std::string cause = e.GetErrorMessage().GetString();
                if (!cause.empty() && cause.back() == '.')
                    cause.pop_back();
                CString warning;
                warning.Format("Aviso: tabla %s: %s; %s.\n", job.Path.c_str(), cause.c_str(),
                               options.Xlsx ? "las celdas de sus memos quedan vac\xED" "as"
                                            : "sus memos se escriben como null");
                Warn(warning, e.m_strFileName.GetString());
                job.MemoMissingSaid = true;
            }
        }
    }
    if (job.CodePage != 0)
        opened.SetCodePage(job.CodePage);
    return true;
}

std::unique_ptr<ExportWriter> MakeWriter(const ExportOptions& options, const TableJob& job, OpenedTable& opened)
{
    std::unique_ptr<ExportWriter> writer;
    if (options.Sql) {
        auto script = std::make_unique<SqlScriptWriter>(SqlDialect::Named(*options.Sql), job.SqlName, *opened.Converter());
        script->SetReplace(options.Replace);
        writer = std::move(script);
    } else if (options.Xlsx) {
        writer = std::make_unique<WorkbookWriter>(job.SqlName, *opened.Converter());
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

void ReportWarnings(const ExportOptions& options, const TableJob& job, const OpenedTable& opened,
                    const ExportWriter& writer)
{
    ReportWarnings(writer.GetWarnings(), job.Path, opened.Table(), opened.Memo(), job.CodePage, options);
    if (options.Xlsx)
        ReportNotes(static_cast<const WorkbookWriter&>(writer).GetNotes(), job.Path, opened.Table());
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
            message.Format("La salida %s ya es la de otra tabla de esta orden; no se sobrescribe.", output.c_str());
            ReportFailure(message, output);
            return false;
        }
        OpenedTable opened;
        if (!Open(options, job, opened))
            return false;
        const std::unique_ptr<ExportWriter> writer = MakeWriter(options, job, opened);
        if (toStandardOutput) {
            OutputFile out;
            out.OpenStandardOutput(kStandardOutputName);
            writer->Export(opened.Table(), out);
        } else {
            writer->Export(opened.Table(), output.c_str());
            written.insert(output);
        }
        ReportWarnings(options, job, opened, *writer);
        return true;
    } catch (const CFileException& e) {
        ReportFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
    } catch (const CException& e) {
        ReportFailure(e.GetErrorMessage(), job.Path);
    }
    return false;
}

// Opens the output of several tables: standard output for "-".
void OpenOutput(OutputFile& out, const std::string& output)
{
    if (output == "-")
        out.OpenStandardOutput(kStandardOutputName);
    else
        out.Open(output.c_str());
}

// Runs f on the job's table, opened; a failure is reported and marks the job
// failed.
template <class F>
void WithTable(const ExportOptions& options, TableJob& job, F&& f)
{
    if (job.Failed)
        return;
    try {
        OpenedTable opened;
        if (!Open(options, job, opened)) {
            job.Failed = true;
            return;
        }
        f(opened);
        return;
    } catch (const CFileException& e) {
        ReportFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
    } catch (const CException& e) {
        ReportFailure(e.GetErrorMessage(), job.Path);
    }
    job.Failed = true;
}

// The keys of the tables that database containers list, checked against
// the data. Each table in turn: one pass to resolve its tags, one to read its
// key values, so that no more than one table is open at a time.
DatabaseKeys KeysOf(const ExportOptions& options, std::vector<TableJob>& jobs,
                    const std::vector<const DatabaseContainer*>& containers, const SqlDialect& dialect)
{
    DatabaseKeys keys;
    for (TableJob& job : jobs) {
        const size_t t = keys.AddTable(job.Listed ? job.Listed->Name : CString(job.Path.c_str()));
        if (!job.Listed || job.Listed->Tags.empty() || job.Failed)
            continue;
        WithTable(options, job, [&](OpenedTable& opened) {
            // A damaged or missing index costs the table its keys, not its rows.
            StructuralIndex index;
            try {
                index.Open(job.Path.c_str());
            } catch (const CFileException& e) {
                CString warning;
                warning.Format("Aviso: tabla %s: %s; se escribe sin claves ni \xEDndices.\n",
                               job.Listed->Name.GetString(), e.GetErrorMessage().GetString());
                Warn(warning, e.m_strFileName.GetString());
                return;
            }
            keys.SetKeys(t, *job.Listed, opened.Table(), index);
        });
    }
    std::vector<const DatabaseContainer::Table*> listed;
    for (const TableJob& job : jobs)
        listed.push_back(job.Listed);
    for (const DatabaseContainer* container : containers)
        keys.AddRelations(*container, listed);
    KeyCheck check(keys);
    for (size_t t = 0; t < jobs.size(); ++t) {
        if (check.NeedsValues(t))
            WithTable(options, jobs[t], [&](OpenedTable& opened) {
                SqlKeyValues values(jobs[t].Table, dialect, *opened.Converter());
                check.Check(t, opened.Table(), values, options.SkipDeleted);
            });
        if (jobs[t].Failed)
            keys.DropTable(t);
    }
    check.CheckForeignKeys();
    for (const std::string& message : keys.TakeMessages())
        WriteText(Stream::Error, message);
    return keys;
}

// Writes the tables into one script: each table's part whole or not at all,
// then the keys of their databases.
void WriteScript(const ExportOptions& options, std::vector<TableJob>& jobs,
                 const std::vector<const DatabaseContainer*>& containers, const std::string& output)
{
    const bool toStandardOutput = output == "-";
    // Names for the tables, and each table's columns, before any key is named.
    const std::unique_ptr<SqlDialect> dialect = SqlDialect::Named(*options.Sql);
    SqlNames names(*dialect);
    for (size_t t = 0; t < jobs.size(); ++t)
        WithTable(options, jobs[t], [&, &job = jobs[t]](OpenedTable& opened) {
            job.SqlName = names.Add(job.SqlName, "tabla" + std::to_string(t + 1));
            job.Table = DescribeSqlTable(*dialect, opened.Table(), job.SqlName, *opened.Converter(),
                                         job.HasNames ? job.Names.Fields : std::vector<CString>());
            if (!toStandardOutput && CFile::IsSameFile(job.Path.c_str(), output.c_str()))
                throw CFileException(CFileException::accessDenied, output.c_str(), 0,
                                     "La salida %s es la propia tabla; no se escribe sobre ella.");
        });
    DatabaseKeys keys = KeysOf(options, jobs, containers, *dialect);
    std::vector<SqlTable> tables;
    for (const TableJob& job : jobs)
        tables.push_back(job.Table);
    const std::vector<SqlKey> declared =
        SqlKeyNaming(keys).Declared(tables, *dialect, names, CodePageConverter(kCodePageWindows1252));
    for (const std::string& message : keys.TakeMessages())
        WriteText(Stream::Error, message);

    OutputFile out;
    try {
        OpenOutput(out, output);
    } catch (const CFileException& e) {
        ReportFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
        for (TableJob& job : jobs)
            job.Failed = true;
        return;
    }
    // One transaction for the whole script, as for one table: it loads whole
    // or not at all.
    const std::string begin = dialect->BeginScript();
    std::set<std::string> loaded;
    std::uint64_t end = begin.size(); // where the script's last whole part ends
    try {
        out.File().Write(begin.data(), static_cast<unsigned>(begin.size()));
    } catch (CFileException& e) {
        out.Abandon();
        e.AddSentence(out.IncompleteNote());
        ReportFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
        for (TableJob& job : jobs)
            job.Failed = true;
        return;
    }
    for (TableJob& job : jobs) {
        WithTable(options, job, [&](OpenedTable& opened) {
            const std::unique_ptr<ExportWriter> writer = MakeWriter(options, job, opened);
            auto& script = static_cast<SqlScriptWriter&>(*writer);
            script.SetPartOfScript(true);
            std::vector<SqlKey> inTable;
            for (const SqlKey& key : declared)
                if (key.Table == job.SqlName)
                    inTable.push_back(key);
            script.SetTableKeys(std::move(inTable));
            try {
                writer->Write(opened.Table(), out.File());
            } catch (CFileException& e) {
                // A table that fails half-way takes its part out of the
                // script; an output that cannot be cut keeps it.
                if (out.IsDirect())
                    e.AddSentence(out.IncompleteNote());
                else
                    out.File().SetLength(end);
                throw;
            }
            end += writer->Written();
            loaded.insert(job.SqlName);
            ReportWarnings(options, job, opened, *writer);
        });
    }
    // The keys of the tables that loaded, and of those they refer to.
    std::vector<SqlKey> after;
    for (const SqlKey& key : declared)
        if (loaded.count(key.Table) && (key.Type != SqlKey::Kind::Foreign || loaded.count(key.Parent)))
            after.push_back(key);
    const std::string last = dialect->KeyStatements(after) + dialect->EndScript();
    try {
        out.File().Write(last.data(), static_cast<unsigned>(last.size()));
        if (loaded.empty() && !out.IsDirect())
            out.Abandon(); // nothing to load: an earlier file stays
        else
            out.Commit();
    } catch (CFileException& e) {
        out.Abandon();
        e.AddSentence(out.IncompleteNote());
        ReportFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
        for (TableJob& job : jobs)
            job.Failed = true;
    }
}

// Writes the tables into one workbook, a sheet (or more) for each: a table
// that fails takes its sheets out, and a workbook with no sheet is removed.
void WriteWorkbook(const ExportOptions& options, std::vector<TableJob>& jobs, const std::string& output)
{
    const bool toStandardOutput = output == "-";
    const auto failAll = [&](const CFileException& e) {
        ReportFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
        for (TableJob& job : jobs)
            job.Failed = true;
    };
    // Before the output is created: it may be one of the tables.
    for (const TableJob& job : jobs)
        if (!toStandardOutput && CFile::IsSameFile(job.Path.c_str(), output.c_str())) {
            failAll(CFileException(CFileException::accessDenied, output.c_str(), 0,
                                   "La salida %s es la propia tabla; no se escribe sobre ella."));
            return;
        }
    OutputFile out;
    try {
        OpenOutput(out, output);
    } catch (const CFileException& e) {
        failAll(e);
        return;
    }
    try {
        Workbook book(out.File());
        bool broken = false; // a failed table's sheets could not be taken out
        for (TableJob& job : jobs) {
            WithTable(options, job, [&](OpenedTable& opened) {
                const std::unique_ptr<ExportWriter> writer = MakeWriter(options, job, opened);
                static_cast<WorkbookWriter&>(*writer).SetWorkbook(&book);
                const Workbook::Mark mark = book.Here();
                try {
                    writer->Write(opened.Table(), out.File());
                } catch (...) {
                    try {
                        book.RollBack(mark);
                    } catch (const CFileException&) {
                        broken = true;
                    }
                    throw;
                }
                ReportWarnings(options, job, opened, *writer);
            });
            if (broken)
                throw CFileException(CFileException::genericException, output.c_str(), 0,
                                     "No se pudo quitar del libro %s la hoja de una tabla que fall\xF3.");
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
        failAll(e);
    }
}

// A name Windows keeps for a device in every folder, whatever extension
// follows it (CON, NUL, COM1...); avoided on every system alike.
bool IsDeviceName(std::string_view name)
{
    const std::string_view stem = name.substr(0, name.find('.'));
    for (const char* device : { "CON", "PRN", "AUX", "NUL" })
        if (SameIgnoringCase(stem, device))
            return true;
    return stem.size() == 4 && (SameIgnoringCase(stem.substr(0, 3), "COM") || SameIgnoringCase(stem.substr(0, 3), "LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

// The name of a file named after a database's table, in the system's
// spelling: its long name, or the name of its own file when the long name
// cannot name a file (blank, dots only, a device's name).
std::string FileNameOf(const TableJob& job)
{
    std::string file = DatabaseContainer::SystemName(job.Listed->Name);
    for (char& c : file)
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
            c == '|')
            c = '_';
    if (file.find_first_not_of(". ") == std::string::npos || IsDeviceName(file))
        return WithExtension(job.Path.substr(NameStart(job.Path)), "");
    return file;
}

// The tables a database container lists. A table whose file is not there is
// reported and named in failed.
std::vector<TableJob> JobsOf(const DatabaseContainer& container, std::vector<std::string>& failed)
{
    std::vector<TableJob> jobs;
    for (const DatabaseContainer::Table& listed : container.GetTables()) {
        TableJob job;
        job.Path = container.TablePath(listed).GetString();
        job.Listed = &listed;
        if (job.Path.empty()) {
            CString message;
            message.Format("La base de datos %s lista la tabla %s, cuyo archivo %s no se encuentra.",
                           container.GetPath().GetString(), listed.Name.GetString(), listed.File.GetString());
            ReportFailure(message, container.GetPath().GetString());
            failed.push_back(listed.File.GetString());
            continue;
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

void ExportDatabase(const ExportOptions& options, const DatabaseContainer& container,
                    std::set<std::string>& written, std::vector<std::string>& failed)
{
    const std::string path = container.GetPath().GetString();
    if (container.GetTables().empty())
        return; // noted when it was opened
    std::vector<TableJob> jobs = JobsOf(container, failed);
    if (options.Sql) {
        WriteScript(options, jobs, { &container }, OutputPath(options, path));
    } else if (options.Xlsx) {
        WriteWorkbook(options, jobs, OutputPath(options, path));
    } else if (options.Output && container.GetTables().size() > 1) {
        CString message;
        message.Format("-o nombra una sola salida y la base de datos %s tiene varias tablas; use -d CARPETA.",
                       path.c_str());
        ReportFailure(message, path);
        failed.push_back(path);
        return;
    } else {
        // One text file for each table, named after it, beside the container;
        // the one table of a container may go where -o says.
        for (TableJob& job : jobs) {
            const std::string beside = path.substr(0, NameStart(path)) + FileNameOf(job) + Extension(options);
            job.Failed = !ExportTable(options, job, options.Output ? *options.Output : InFolder(options, beside),
                                      written);
        }
    }
    for (const TableJob& job : jobs)
        if (job.Failed)
            failed.push_back(job.Path);
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
                note.Format("Nota: la base de datos %s no lista ninguna tabla; no se escribe nada de ella.\n",
                            path.c_str());
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
        if (options.Sql)
            WriteScript(options, jobs, databases, *options.Output);
        else
            WriteWorkbook(options, jobs, *options.Output);
        for (const TableJob& job : jobs)
            if (job.Failed)
                failed.push_back(job.Path);
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
