#include "cli/ExportCommand.h"

#include "cli/Console.h"
#include "export/SqlScriptWriter.h"
#include "export/TextExportWriter.h"
#include "framework/CFile.h"
#include "framework/CodePage.h"
#include "framework/FilePath.h"
#include "table/MemoFile.h"
#include "table/mDBase.h"

#include <memory>
#include <optional>
#include <set>

#ifndef ORVALIS_VERSION
#error "ORVALIS_VERSION must name the program's version"
#endif

namespace {

const char kUsage[] =
    "Uso: orvalis-export [opciones] TABLA.dbf...\n";

const char kHelp[] =
    "Exporta tablas dBase (.dbf) a texto, con los mismos bytes que \"Exportar a txt\".\n"
    "Cada tabla se escribe en un archivo del mismo nombre con la extensi\xF3n .txt.\n"
    "\n"
    "Formato:\n"
    "  --fixed       longitud fija (por omisi\xF3n)\n"
    "  --tab         texto separado por tabulaciones\n"
    "  --csv         texto separado por comas, los campos de caracteres entre comillas\n"
    "  --sep=X       texto separado por el car\xE1" "cter X; --sep= no pone nada entre campos\n"
    "  --header      primero una l\xEDnea con los nombres de los campos\n"
    "  --utf8[=CP]   convierte el texto a UTF-8 desde la p\xE1gina de c\xF3" "digos CP, o desde\n"
    "                la que nombre el archivo .cpg de la tabla o su byte de idioma\n"
    "  --memo        con --tab o --csv, el texto de los campos M (del archivo .dbt\n"
    "                o .fpt de la tabla) en lugar de su n\xFAmero de bloque\n"
    "  --skip-deleted  no escribe los registros marcados como borrados\n"
    "\n"
    "SQL:\n"
    "  --sql[=postgresql|sqlite|mysql]  un script que crea la tabla con sus tipos\n"
    "                y la carga, en UTF-8, con los memos (por omisi\xF3n, PostgreSQL;\n"
    "                mysql vale para MySQL y MariaDB); la salida se llama como la\n"
    "                tabla con la extensi\xF3n .sql\n"
    "  --replace     con --sql, reemplaza la tabla si ya existe\n"
    "\n"
    "Salida:\n"
    "  -o ARCHIVO    la salida de una sola tabla; -o - la escribe en la salida est\xE1ndar\n"
    "  -d CARPETA    las salidas en esa carpeta, en lugar de junto a cada tabla\n"
    "\n"
    "  --help        muestra esta ayuda\n"
    "  --version     muestra la versi\xF3n\n"
    "\n"
    "Estado de salida: 0 si se exportaron todas las tablas, 1 si fall\xF3 alguna\n"
    "(las dem\xE1s se exportan igualmente), 2 si la orden no es v\xE1lida.\n";

const char kStandardOutputName[] = "(salida est\xE1ndar)";

struct Options {
    ExportFormat Layout = ExportFormat::FixedLength;
    std::string Separator;     // as the command line gives it
    std::optional<std::string> Sql; // a script's dialect, instead of a text layout
    bool Header = false;
    bool Memo = false;
    bool SkipDeleted = false;
    bool Replace = false;
    bool Utf8 = false;
    unsigned CodePage = 0;     // given with --utf8=; 0: the table's own
    std::optional<std::string> Output;
    std::optional<std::string> Folder;
    std::vector<std::string> Tables;
};

// A command line that cannot be run: its message, in the program's texts.
struct UsageError {
    std::string Message;
};

enum class Request { Export, Help, Version };

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

size_t CharacterCount(std::string_view utf8)
{
    size_t count = 0;
    for (const char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// Text of the command line (a separator) in UTF-8.
std::string CommandLineUtf8(std::string_view text)
{
    std::string utf8;
    CodePageConverter(CommandLineCodePage()).AppendUtf8(text, utf8);
    return utf8;
}

// The layout and the separator between two fields, as the format dialog
// gives them.
void SetLayout(Options& options, ExportFormat layout, std::string_view separator)
{
    options.Layout = layout;
    options.Separator = separator;
    options.Sql.reset();
}

Request Parse(const std::vector<std::string>& arguments, Options& options)
{
    bool optionsEnd = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnd || argument.size() < 2 || argument[0] != '-') {
            options.Tables.push_back(argument);
            continue;
        }
        const auto value = [&]() -> const std::string& {
            if (i + 1 == arguments.size())
                throw UsageError{ "Falta el valor de " + argument + ".\n" };
            return arguments[++i];
        };
        if (argument == "--") {
            optionsEnd = true;
        } else if (argument == "--help") {
            return Request::Help;
        } else if (argument == "--version") {
            return Request::Version;
        } else if (argument == "--fixed") {
            SetLayout(options, ExportFormat::FixedLength, "");
        } else if (argument == "--tab") {
            SetLayout(options, ExportFormat::TabSeparated, "\t");
        } else if (argument == "--csv") {
            SetLayout(options, ExportFormat::CommaSeparated, ",");
        } else if (StartsWith(argument, "--sep=")) {
            const std::string_view separator = std::string_view(argument).substr(6);
            if (CharacterCount(CommandLineUtf8(separator)) > 1)
                throw UsageError{ "--sep= admite un solo car\xE1" "cter, o ninguno.\n" };
            SetLayout(options, ExportFormat::OtherCharacter, separator);
        } else if (argument == "--sql") {
            options.Sql = "postgresql";
        } else if (StartsWith(argument, "--sql=")) {
            options.Sql = argument.substr(6);
            if (!SqlDialect::Named(*options.Sql))
                throw UsageError{ "Base de datos desconocida: " + *options.Sql + "; --sql= admite postgresql, sqlite o mysql.\n" };
        } else if (argument == "--replace") {
            options.Replace = true;
        } else if (argument == "--memo") {
            options.Memo = true;
        } else if (argument == "--skip-deleted") {
            options.SkipDeleted = true;
        } else if (argument == "--header") {
            options.Header = true;
        } else if (argument == "--utf8") {
            options.Utf8 = true;
            options.CodePage = 0;
        } else if (StartsWith(argument, "--utf8=")) {
            options.Utf8 = true;
            options.CodePage = CodePageFromName(std::string_view(argument).substr(7));
            if (options.CodePage == 0)
                throw UsageError{ "P\xE1gina de c\xF3" "digos desconocida: " + argument.substr(7) + ".\n" };
        } else if (argument == "-o") {
            options.Output = value();
        } else if (argument == "-d") {
            options.Folder = value();
        } else {
            throw UsageError{ "Opci\xF3n desconocida: " + argument + ".\n" };
        }
    }
    if (options.Tables.empty())
        throw UsageError{ "Falta la tabla que exportar.\n" };
    if (options.Output && options.Folder)
        throw UsageError{ "-o y -d no van juntas.\n" };
    if (options.Output && options.Tables.size() > 1)
        throw UsageError{ "-o nombra la salida de una sola tabla; para varias, use -d CARPETA.\n" };
    const bool unbounded = options.Layout == ExportFormat::TabSeparated || options.Layout == ExportFormat::CommaSeparated;
    if (options.Memo && !options.Sql && !unbounded)
        throw UsageError{ "--memo solo vale con --tab o --csv: la longitud fija y los otros separadores "
                          "no tienen forma de guardar un texto de cualquier longitud.\n" };
    if (options.Replace && !options.Sql)
        throw UsageError{ "--replace solo vale con --sql.\n" };
    if (options.Header && options.Sql)
        throw UsageError{ "--header no vale con --sql: el script ya nombra las columnas.\n" };
    return Request::Export;
}

std::string OutputPath(const Options& options, const std::string& table)
{
    if (options.Output)
        return *options.Output;
    const std::string beside = WithExtension(table, options.Sql ? ".sql" : ".txt");
    if (!options.Folder)
        return beside;
    std::string folder = *options.Folder;
    if (!folder.empty() && !IsPathSeparator(folder.back()))
        folder += '/';
    return folder + beside.substr(NameStart(beside));
}

// The code page a .cpg file beside the table names; 0 without one.
unsigned CodePageOfCpgFile(const std::string& table)
{
    for (const char* extension : { ".cpg", ".CPG" }) {
        const std::string path = WithExtension(table, extension);
        CFileStatus status;
        if (!CFile::GetStatus(path.c_str(), status) || !status.m_isRegular)
            continue;
        CFile file;
        file.Open(path.c_str(), CFile::modeRead);
        char name[256];
        const unsigned got = file.Read(name, sizeof name);
        const unsigned codePage = CodePageFromName(std::string_view(name, got));
        if (codePage == 0) {
            CString warning;
            warning.Format("Aviso: el archivo %s no nombra una p\xE1gina de c\xF3" "digos conocida.\n",
                           path.c_str());
            WriteText(Stream::Error, warning.View(), path);
        }
        return codePage;
    }
    return 0;
}

// The code page of the table's texts: the one given, or the one a .cpg file
// beside it names, or its language driver's, or else 1252, with a warning.
unsigned TableCodePage(const Options& options, const std::string& path, const mDBase& table)
{
    if (options.CodePage != 0)
        return options.CodePage;
    if (const unsigned codePage = CodePageOfCpgFile(path))
        return codePage;
    const unsigned codePage = CodePageOfLanguageDriver(table.GetLanguageDriver());
    if (codePage != 0 && CodePageConverter::IsSupported(codePage))
        return codePage;
    CString warning;
    warning.Format("Aviso: la tabla %s no dice en qu\xE9 p\xE1gina de c\xF3" "digos est\xE1; "
                   "se toma la 1252 (Windows-1252).\n", path.c_str());
    WriteText(Stream::Error, warning.View(), path);
    return kCodePageWindows1252;
}

void ReportFailure(const CString& message, const std::string& fileName)
{
    WriteText(Stream::Error, (message + "\n").View(), fileName);
}

// What the export could not write as stored, one line for each kind.
void ReportWarnings(const ExportWarnings& warnings, const std::string& path, const mDBase& table,
                    const MemoFile* memo, unsigned codePage, bool sql)
{
    const std::string memoPath = memo ? memo->GetPath().GetString() : "";
    for (int kind = 0; kind < ExportWarnings::kKinds; ++kind) {
        const ExportWarnings::Tally& tally = warnings.Of[kind];
        if (tally.Count == 0)
            continue;
        CString what;
        const char* written = "se escriben como NULL";
        switch (kind) {
        case ExportWarnings::UnreadableMemo:
            what.Format("memos ilegibles en %s", memoPath.c_str());
            if (!sql)
                written = "se escriben vac\xEDos";
            break;
        case ExportWarnings::InvalidValue:
            what = "valores que no son lo que dice su tipo";
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

// Whether the export reads the table's memo file: the memo texts of "M"
// fields, or, in a script, every field kept there.
bool ReadsMemoFile(const Options& options, const mDBase& table)
{
    if (!options.Memo && !options.Sql)
        return false;
    for (int i = 0; i < table.GetFieldCount(); ++i) {
        const MemoUse use = table.GetField(i).Memo;
        if (use == MemoUse::Text || (options.Sql && use == MemoUse::Binary))
            return true;
    }
    return false;
}

// The script's table: the file's name without its extension, in UTF-8.
std::string ScriptTableName(const std::string& path)
{
    const std::string name = path.substr(NameStart(path));
    return CommandLineUtf8(WithExtension(name, ""));
}

// Exports one table as the options say. False, with the cause reported, when
// it could not be.
bool ExportTable(const Options& options, const std::string& path, std::set<std::string>& written)
{
    const bool toStandardOutput = options.Output && *options.Output == "-";
    const std::string output = toStandardOutput ? kStandardOutputName : OutputPath(options, path);
    try {
        // Two tables of one name, from two folders, into one folder.
        if (!toStandardOutput && written.count(output)) {
            CString message;
            message.Format("La salida %s ya es la de otra tabla de esta orden; no se sobrescribe.",
                           output.c_str());
            ReportFailure(message, output);
            return false;
        }
        mDBase table;
        if (!table.Open(path.c_str())) {
            ReportFailure(CFileException(CFileException::fileNotFound, path.c_str()).GetErrorMessage(), path);
            return false;
        }
        // Held like the table while the table is read, and never changed.
        std::optional<MemoFile> memo;
        if (ReadsMemoFile(options, table)) {
            memo.emplace();
            memo->Open(path.c_str(), table.GetVersion());
        }
        // A script's texts are always UTF-8.
        std::optional<CodePageConverter> converter;
        if (options.Utf8 || options.Sql)
            converter.emplace(TableCodePage(options, path, table));

        std::unique_ptr<ExportWriter> writer;
        if (options.Sql) {
            auto script = std::make_unique<SqlScriptWriter>(SqlDialect::Named(*options.Sql), ScriptTableName(path),
                                                             *converter);
            script->SetReplace(options.Replace);
            writer = std::move(script);
        } else {
            const std::string separator = options.Utf8 ? CommandLineUtf8(options.Separator) : options.Separator;
            auto text = std::make_unique<TextExportWriter>(options.Layout, CString(std::string_view(separator)));
            text->SetHeaderLine(options.Header);
            text->SetConverter(converter ? &*converter : nullptr);
            writer = std::move(text);
        }
        writer->SetMemoFile(memo ? &*memo : nullptr);
        writer->SetSkipDeleted(options.SkipDeleted);
        if (toStandardOutput) {
            CFile out;
            out.OpenStandardOutput(kStandardOutputName);
            writer->Write(table, out);
            out.Close();
        } else {
            writer->Export(table, output.c_str());
            written.insert(output);
        }
        ReportWarnings(writer->GetWarnings(), path, table, memo ? &*memo : nullptr,
                       converter ? converter->CodePage() : 0, options.Sql.has_value());
        return true;
    } catch (const CFileException& e) {
        ReportFailure(e.GetErrorMessage(), e.m_strFileName.GetString());
    } catch (const CException& e) {
        ReportFailure(e.GetErrorMessage(), path);
    }
    return false;
}

} // namespace

int RunExportCommand(const std::vector<std::string>& arguments)
{
    Options options;
    try {
        switch (Parse(arguments, options)) {
        case Request::Help:
            WriteText(Stream::Output, std::string(kUsage) + kHelp);
            return kExported;
        case Request::Version:
            WriteText(Stream::Output, "orvalis-export " ORVALIS_VERSION "\n");
            return kExported;
        case Request::Export:
            break;
        }
    } catch (const UsageError& error) {
        WriteText(Stream::Error, "orvalis-export: " + error.Message + kUsage +
                                     "M\xE1s informaci\xF3n: orvalis-export --help\n");
        return kUsageError;
    }

    std::vector<std::string> failed;
    std::set<std::string> written;
    for (const std::string& table : options.Tables)
        if (!ExportTable(options, table, written))
            failed.push_back(table);
    if (failed.empty())
        return kExported;
    if (options.Tables.size() > 1)
        for (const std::string& table : failed)
            WriteText(Stream::Error, "No exportada: " + table + "\n", table);
    return kSomeFailed;
}
