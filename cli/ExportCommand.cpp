#include "cli/ExportCommand.h"

#include "cli/Console.h"
#include "cli/TableExport.h"
#include "framework/CodePage.h"
#include "framework/Utf8.h"

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
    "Lee tambi\xE9n las tablas comprimidas .dbc (como las que publica el DATASUS) y las\n"
    "bases de datos de Visual FoxPro (.dbc): todas sus tablas, con sus nombres largos y,\n"
    "con --sql, en un solo script con sus claves.\n"
    "Cada tabla se escribe en un archivo del mismo nombre con la extensi\xF3n .txt.\n"
    "\n"
    "Formato:\n"
    "  --fixed       longitud fija (por omisi\xF3n)\n"
    "  --tab         texto separado por tabulaciones\n"
    "  --csv         texto separado por comas, los campos de caracteres entre comillas\n"
    "  --csv=X       como --csv, con el car\xE1" "cter X en lugar de la coma\n"
    "  --sep=X       texto separado por el car\xE1" "cter X; --sep= no pone nada entre campos\n"
    "  --header      primero una l\xEDnea con los nombres de los campos\n"
    "  --utf8[=CP]   convierte el texto a UTF-8 desde la p\xE1gina de c\xF3" "digos CP, o desde\n"
    "                la que nombre el archivo .cpg de la tabla o su byte de idioma\n"
    "  --bom         con --utf8, pone primero la marca de orden de bytes (BOM), para\n"
    "                que Excel lea el texto como UTF-8\n"
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
    "Excel:\n"
    "  --xlsx        un libro de Excel (.xlsx): una hoja por tabla, con los nombres de\n"
    "                los campos en la primera fila y cada valor con su tipo (texto,\n"
    "                n\xFAmero, fecha, l\xF3gico); los memos van incluidos. Con -o y varias\n"
    "                tablas, o una base de datos, un solo libro con una hoja por tabla\n"
    "\n"
    "JSON Lines:\n"
    "  --jsonl       un objeto JSON por registro, con sus tipos y los memos, en UTF-8\n"
    "                (la p\xE1gina de c\xF3" "digos se elige como con --utf8); la salida se\n"
    "                llama como la tabla con la extensi\xF3n .jsonl\n"
    "\n"
    "Salida:\n"
    "  -o ARCHIVO    la salida de una sola tabla, o con --sql un script de todas\n"
    "                (con --xlsx, un libro de todas);\n"
    "                -o - la escribe en la salida est\xE1ndar\n"
    "  -d CARPETA    las salidas en esa carpeta, en lugar de junto a cada tabla\n"
    "\n"
    "  --help        muestra esta ayuda\n"
    "  --version     muestra la versi\xF3n\n"
    "\n"
    "Estado de salida: 0 si se exportaron todas las tablas, 1 si fall\xF3 alguna\n"
    "(las dem\xE1s se exportan igualmente), 2 si la orden no es v\xE1lida.\n";

// A command line that cannot be run: its message, in the program's texts.
struct UsageError {
    std::string Message;
};

enum class Request { Export, Help, Version };

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The layout and the separator between two fields, as the format dialog
// gives them.
void SetLayout(ExportOptions& options, ExportFormat layout, std::string_view separator)
{
    options.Layout = layout;
    options.Separator = separator;
    options.Sql.reset();
    options.Xlsx = false;
    options.Jsonl = false;
}

Request Parse(const std::vector<std::string>& arguments, ExportOptions& options)
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
        } else if (StartsWith(argument, "--csv=")) {
            const std::string_view separator = std::string_view(argument).substr(6);
            if (Utf8CharacterCount(CommandLineUtf8(separator)) != 1 || separator == "\"")
                throw UsageError{ "--csv= admite un car\xE1" "cter, que no sea la comilla doble.\n" };
            SetLayout(options, ExportFormat::CommaSeparated, separator);
        } else if (StartsWith(argument, "--sep=")) {
            const std::string_view separator = std::string_view(argument).substr(6);
            if (Utf8CharacterCount(CommandLineUtf8(separator)) > 1)
                throw UsageError{ "--sep= admite un solo car\xE1" "cter, o ninguno.\n" };
            SetLayout(options, ExportFormat::OtherCharacter, separator);
        } else if (argument == "--xlsx") {
            options.Xlsx = true;
            options.Jsonl = false;
            options.Sql.reset();
        } else if (argument == "--sql") {
            options.Sql = "postgresql";
            options.Xlsx = false;
            options.Jsonl = false;
        } else if (StartsWith(argument, "--sql=")) {
            options.Sql = argument.substr(6);
            options.Xlsx = false;
            options.Jsonl = false;
            if (!SqlDialect::Named(*options.Sql))
                throw UsageError{ "Base de datos desconocida: " + *options.Sql + "; --sql= admite postgresql, sqlite o mysql.\n" };
        } else if (argument == "--jsonl") {
            options.Jsonl = true;
            options.Xlsx = false;
            options.Sql.reset();
        } else if (argument == "--bom") {
            options.Bom = true;
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
    if (options.Output && options.Tables.size() > 1 && !options.Sql && !options.Xlsx)
        throw UsageError{ "-o nombra la salida de una sola tabla; para varias, use -d CARPETA "
                          "(con --sql, un script las tiene todas; con --xlsx, un libro).\n" };
    const bool unbounded = options.Layout == ExportFormat::TabSeparated || options.Layout == ExportFormat::CommaSeparated;
    if (options.Memo && !options.Sql && !options.Xlsx && !options.Jsonl && !unbounded)
        throw UsageError{ "--memo solo vale con --tab o --csv: la longitud fija y los otros separadores "
                          "no tienen forma de guardar un texto de cualquier longitud.\n" };
    if (options.Replace && !options.Sql)
        throw UsageError{ "--replace solo vale con --sql.\n" };
    if (options.Header && options.Sql)
        throw UsageError{ "--header no vale con --sql: el script ya nombra las columnas.\n" };
    if (options.Header && options.Xlsx)
        throw UsageError{ "--header no vale con --xlsx: la primera fila de cada hoja ya nombra los campos.\n" };
    if (options.Header && options.Jsonl)
        throw UsageError{ "--header no vale con --jsonl: cada objeto ya nombra sus campos.\n" };
    // A script or JSON Lines is UTF-8 by definition, and their readers take
    // a mark for a stray character; a text of the table's own code page is
    // no UTF-8 for the mark to announce.
    if (options.Bom && (options.Sql || options.Jsonl || options.Xlsx))
        throw UsageError{ "--bom no vale con --sql, --jsonl ni --xlsx, que no llevan marca.\n" };
    if (options.Bom && !options.Utf8)
        throw UsageError{ "--bom solo vale con --utf8: la marca dice que el texto est\xE1 en UTF-8.\n" };
    return Request::Export;
}

} // namespace

int RunExportCommand(const std::vector<std::string>& arguments)
{
    ExportOptions options;
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

    const std::vector<std::string> failed = ExportTables(options);
    if (failed.empty())
        return kExported;
    // Named again at the end where more than the one table named failed.
    if (options.Tables.size() > 1 || failed.size() > 1 || failed[0] != options.Tables[0])
        for (const std::string& table : failed)
            WriteText(Stream::Error, "No exportada: " + table + "\n", table);
    return kSomeFailed;
}
