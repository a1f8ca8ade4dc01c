#pragma once

// Every text orvalis-export writes of its own: its help, its command-line
// errors and what it says of each table it exports. They are the
// Windows-1252 bytes of what is written here, converted while compiling, as
// all the program's texts are (WriteText shows them). The library's messages
// (files, tables, exports) are written where they are raised.

#include "framework/AnsiText.h"

#include <string>

inline constexpr auto kUsage = Ansi("Uso: orvalis-export [opciones] TABLA.dbf...\n");
// After an error and kUsage.
inline constexpr auto kMoreInformation = Ansi("Más información: orvalis-export --help\n");

inline constexpr auto kHelp = Ansi(
    "Exporta tablas dBase (.dbf) a texto, con los mismos bytes que \"Exportar a txt\".\n"
    "Lee también las tablas comprimidas .dbc (como las que publica el DATASUS) y las\n"
    "bases de datos de Visual FoxPro (.dbc): todas sus tablas, con sus nombres largos y,\n"
    "con --sql, en un solo script con sus claves.\n"
    "Cada tabla se escribe en un archivo del mismo nombre con la extensión .txt.\n"
    "\n"
    "Formato:\n"
    "  --fixed       longitud fija (por omisión)\n"
    "  --tab         texto separado por tabulaciones\n"
    "  --csv         texto separado por comas, los campos de caracteres entre comillas\n"
    "  --csv=X       como --csv, con el carácter X en lugar de la coma\n"
    "  --sep=X       texto separado por el carácter X; --sep= no pone nada entre campos\n"
    "  --header      primero una línea con los nombres de los campos\n"
    "  --utf8[=CP]   convierte el texto a UTF-8 desde la página de códigos CP, o desde\n"
    "                la que nombre el archivo .cpg de la tabla o su byte de idioma\n"
    "  --bom         con --utf8, pone primero la marca de orden de bytes (BOM), para\n"
    "                que Excel lea el texto como UTF-8\n"
    "  --memo        con --tab o --csv, el texto de los campos M (del archivo .dbt\n"
    "                o .fpt de la tabla) en lugar de su número de bloque\n"
    "  --skip-deleted  no escribe los registros marcados como borrados\n"
    "\n"
    "SQL:\n"
    "  --sql[=postgresql|sqlite|mysql]  un script que crea la tabla con sus tipos\n"
    "                y la carga, en UTF-8, con los memos (por omisión, PostgreSQL;\n"
    "                mysql vale para MySQL y MariaDB); la salida se llama como la\n"
    "                tabla con la extensión .sql\n"
    "  --replace     con --sql, reemplaza la tabla si ya existe\n"
    "\n"
    "Excel:\n"
    "  --xlsx        un libro de Excel (.xlsx): una hoja por tabla, con los nombres de\n"
    "                los campos en la primera fila y cada valor con su tipo (texto,\n"
    "                número, fecha, lógico); los memos van incluidos. Con -o y varias\n"
    "                tablas, o una base de datos, un solo libro con una hoja por tabla\n"
    "\n"
    "JSON Lines:\n"
    "  --jsonl       un objeto JSON por registro, con sus tipos y los memos, en UTF-8\n"
    "                (la página de códigos se elige como con --utf8); la salida se\n"
    "                llama como la tabla con la extensión .jsonl\n"
    "\n"
    "Salida:\n"
    "  -o ARCHIVO    la salida de una sola tabla, o con --sql un script de todas\n"
    "                (con --xlsx, un libro de todas);\n"
    "                -o - la escribe en la salida estándar\n"
    "  -d CARPETA    las salidas en esa carpeta, en lugar de junto a cada tabla\n"
    "\n"
    "  --help        muestra esta ayuda\n"
    "  --version     muestra la versión\n"
    "\n"
    "Estado de salida: 0 si se exportaron todas las tablas, 1 si falló alguna\n"
    "(las demás se exportan igualmente), 2 si la orden no es válida.\n");

// The command line's errors, each a line of its own.
inline std::string MissingValueError(const std::string& option)
{
    return "Falta el valor de " + option + ".\n";
}
inline constexpr auto kCsvSeparatorError = Ansi("--csv= admite un carácter, que no sea la comilla doble.\n");
inline constexpr auto kSeparatorError = Ansi("--sep= admite un solo carácter, o ninguno.\n");
inline std::string UnknownDatabaseError(const std::string& name)
{
    return "Base de datos desconocida: " + name + "; --sql= admite postgresql, sqlite o mysql.\n";
}
inline std::string UnknownCodePageError(const std::string& name)
{
    return ANSI_TEXT("Página de códigos desconocida: ") + name + ".\n";
}
inline std::string UnknownOptionError(const std::string& option)
{
    return ANSI_TEXT("Opción desconocida: ") + option + ".\n";
}
inline constexpr auto kNoTableError = Ansi("Falta la tabla que exportar.\n");
inline constexpr auto kOutputAndFolderError = Ansi("-o y -d no van juntas.\n");
inline constexpr auto kOneOutputError = Ansi("-o nombra la salida de una sola tabla; para varias, use -d CARPETA "
                                             "(con --sql, un script las tiene todas; con --xlsx, un libro).\n");
inline constexpr auto kMemoLayoutError = Ansi("--memo solo vale con --tab o --csv: la longitud fija y los otros "
                                              "separadores no tienen forma de guardar un texto de cualquier longitud.\n");
inline constexpr auto kReplaceError = Ansi("--replace solo vale con --sql.\n");
inline constexpr auto kHeaderSqlError = Ansi("--header no vale con --sql: el script ya nombra las columnas.\n");
inline constexpr auto kHeaderXlsxError = Ansi(
    "--header no vale con --xlsx: la primera fila de cada hoja ya nombra los campos.\n");
inline constexpr auto kHeaderJsonlError = Ansi("--header no vale con --jsonl: cada objeto ya nombra sus campos.\n");
inline constexpr auto kBomTypedError = Ansi("--bom no vale con --sql, --jsonl ni --xlsx, que no llevan marca.\n");
inline constexpr auto kBomUtf8Error = Ansi("--bom solo vale con --utf8: la marca dice que el texto está en UTF-8.\n");

// At the end, for each table that failed, where more than one was named.
inline std::string NotExportedLine(const std::string& table)
{
    return "No exportada: " + table + "\n";
}

// What messages call standard output, which -o - names.
inline constexpr auto kStandardOutputName = Ansi("(salida estándar)");

// Failures of a table or a database, each a line of its own.
inline constexpr auto kOutputTakenFailure =
    AnsiFormat<const char*>("La salida %s ya es la de otra tabla de esta orden; no se sobrescribe.");
inline constexpr auto kDatabaseOneOutputFailure = AnsiFormat<const char*>(
    "-o nombra una sola salida y la base de datos %s tiene varias tablas; use -d CARPETA.");
// The database, the table it lists and the file it names.
inline constexpr auto kListedFileMissingFailure = AnsiFormat<const char*, const char*, const char*>(
    "La base de datos %s lista la tabla %s, cuyo archivo %s no se encuentra.");

// Warnings and notes, whole lines.
inline constexpr auto kNoTablesNote =
    AnsiFormat<const char*>("Nota: la base de datos %s no lista ninguna tabla; no se escribe nada de ella.\n");
inline constexpr auto kUnknownCpgWarning =
    AnsiFormat<const char*>("Aviso: el archivo %s no nombra una página de códigos conocida.\n");
// The table, and why its database does not give its names.
inline constexpr auto kNoLongNamesWarning =
    AnsiFormat<const char*, const char*>("Aviso: tabla %s: %s; se usan los nombres que guarda la tabla.\n");
inline constexpr auto kAssumedWindows1252Warning = AnsiFormat<const char*>(
    "Aviso: la tabla %s no dice en qué página de códigos está; se toma la 1252 (Windows-1252).\n");
// The table, the missing memo file's message without its period, and what
// becomes of its memos.
inline constexpr auto kMemoMissingWarning =
    AnsiFormat<const char*, const char*, const char*>("Aviso: tabla %s: %s; %s.\n");
inline constexpr auto kMemoCellsEmpty = Ansi("las celdas de sus memos quedan vacías");
inline constexpr auto kMemosNull = Ansi("sus memos se escriben como null");
// The table's long name, and why its index cannot be read.
inline constexpr auto kNoIndexWarning =
    AnsiFormat<const char*, const char*>("Aviso: tabla %s: %s; se escribe sin claves ni índices.\n");

// What a table's export wrote otherwise than the table holds it: kWarning or
// kNote, the table, what, how many, the first one's record and field, and how
// they are written.
inline constexpr auto kTallyLine =
    AnsiFormat<const char*, const char*, const char*, unsigned long long, unsigned, const char*, const char*>(
        "%s: tabla %s: %s: %llu, el primero en el registro %u, campo %s; %s.\n");
inline constexpr auto kWarning = Ansi("Aviso");
inline constexpr auto kNote = Ansi("Nota");
// What an export could not write as stored.
inline constexpr auto kUnreadableMemos = AnsiFormat<const char*>("memos ilegibles en %s");
inline constexpr auto kInvalidValues = Ansi("valores que no son lo que dice su tipo");
// The code page, and kOrNul in a script, which cannot hold a NUL in a text.
inline constexpr auto kUnmappedBytes =
    AnsiFormat<unsigned, const char*>("bytes sin carácter en la página de códigos %u%s");
inline constexpr auto kOrNul = Ansi(", o NUL");
// What a workbook cannot hold as the table does.
inline constexpr auto kLongNumbers = Ansi("números de más de 15 cifras significativas, que Excel no guarda");
inline constexpr auto kLongTexts = Ansi("textos de más de 32.767 caracteres, lo que cabe en una celda");
inline constexpr auto kEarlyDates = Ansi("fechas anteriores a 1900, que las fechas de Excel no alcanzan");
inline constexpr auto kBinaryValues = Ansi("valores binarios, imágenes u objetos, que una celda no guarda");
// How they are written.
inline constexpr auto kWrittenAsNull = Ansi("se escriben como null");
inline constexpr auto kWrittenAsSqlNull = Ansi("se escriben como NULL");
inline constexpr auto kWrittenEmpty = Ansi("se escriben vacíos");
inline constexpr auto kCellsLeftEmpty = Ansi("sus celdas quedan vacías");
inline constexpr auto kWrittenAsReplacement = Ansi("se escriben como U+FFFD");
inline constexpr auto kWrittenAsText = Ansi("se escriben como texto");
inline constexpr auto kCutThere = Ansi("se cortan ahí");
