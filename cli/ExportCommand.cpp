#include "cli/ExportCommand.h"

#include "cli/Console.h"
#include "export/TextExportWriter.h"
#include "framework/CFile.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"

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
    bool Header = false;
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
    return Request::Export;
}

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

// Where the name of the file begins, after its folder.
size_t NameStart(std::string_view path)
{
    size_t at = path.size();
    while (at > 0 && !IsSeparator(path[at - 1]))
        --at;
    return at;
}

// The path with its extension, if its name has one, replaced.
std::string WithExtension(std::string_view path, std::string_view extension)
{
    const size_t name = NameStart(path);
    const size_t dot = path.rfind('.');
    const size_t end = dot != std::string_view::npos && dot > name ? dot : path.size();
    return std::string(path.substr(0, end)) + std::string(extension);
}

std::string OutputPath(const Options& options, const std::string& table)
{
    if (options.Output)
        return *options.Output;
    const std::string beside = WithExtension(table, ".txt");
    if (!options.Folder)
        return beside;
    std::string folder = *options.Folder;
    if (!folder.empty() && !IsSeparator(folder.back()))
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
        std::optional<CodePageConverter> converter;
        if (options.Utf8)
            converter.emplace(TableCodePage(options, path, table));
        const std::string separator = options.Utf8 ? CommandLineUtf8(options.Separator) : options.Separator;
        TextExportWriter writer(options.Layout, CString(std::string_view(separator)));
        writer.SetHeaderLine(options.Header);
        writer.SetConverter(converter ? &*converter : nullptr);
        if (toStandardOutput) {
            CFile out;
            out.OpenStandardOutput(kStandardOutputName);
            writer.Write(table, out);
            out.Close();
        } else {
            writer.Export(table, output.c_str());
            written.insert(output);
        }
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
