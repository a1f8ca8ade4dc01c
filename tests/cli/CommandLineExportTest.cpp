// orvalis-export run as a user runs it: a separate process, its files, its
// two output streams and its exit status.

#include "export/TextExportWriter.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/Files.h"
#include "tests/support/FullDisk.h"
#include "tests/support/ImplodeBuilder.h"
#include "tests/support/MemoBuilder.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#ifdef ORVALIS_STORMLIB
#include "tests/support/StormLib.h"
#endif

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

using namespace std::string_literals;
using testing_support::Bytes;
using testing_support::ContainerBuilder;
using testing_support::Exists;
using testing_support::IndexBuilder;
using testing_support::MemoBuilder;
using testing_support::ReadAll;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

struct Result {
    int Status;
    std::string Out;
    std::string Err;
};

// A message as the program writes it into a file or a pipe: its texts are
// Windows-1252, given out as UTF-8 on POSIX.
std::string Said(const std::string& text)
{
#ifdef _WIN32
    return text;
#else
    std::string utf8;
    CodePageConverter(kCodePageWindows1252).AppendUtf8(text, utf8);
    return utf8;
#endif
}

class CommandLineExportTest : public ::testing::Test {
protected:
    // Runs orvalis-export with the arguments, each quoted for the shell.
    Result Run(const std::vector<std::string>& arguments)
    {
        const std::string out = dir.File("stdout"), err = dir.File("stderr");
        std::string command = "\"" + testing_support::HostPath(ORVALIS_EXPORT_PROGRAM) + "\"";
        for (const std::string& argument : arguments)
            command += " \"" + argument + "\"";
        command += " > \"" + out + "\" 2> \"" + err + "\"";
#ifdef _WIN32
        // cmd.exe drops the first and the last quote of the whole line.
        const int status = std::system(("\"" + command + "\"").c_str());
#else
        const int raw = std::system(command.c_str());
        const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        return { status, ReadAll(out), ReadAll(err) };
    }

    // What the program's own export writes for the table in the layout.
    std::string ProgramExport(const std::string& table, ExportFormat layout, const char* separator)
    {
        mDBase opened;
        EXPECT_EQ(opened.Open(table.c_str()), 1);
        const std::string path = dir.File("program.txt");
        TextExportWriter(layout, separator).Export(opened, path.c_str());
        return ReadAll(path);
    }

    // Texts with accents in Windows-1252, a number, a long and a double.
    static TableBuilder Sample()
    {
        return TableBuilder()
            .Field("NOMBRE", 'C', 12).Field("IMPORTE", 'N', 8).Field("ID", 'I', 4)
            .Field("PRECIO", 'O', 8)
            .Record({ "Pe\xF1" "a \"B\"", "   15.50", Bytes({ 0x80, 0, 0, 5 }),
                      Bytes({ 0xC0, 0x59, 0, 0, 0, 0, 0, 0 }) })
            .Record({ "", "", Bytes({ 0x7F, 0xFF, 0xFF, 0xFF }), Bytes({ 0, 0, 0, 0, 0, 0, 0, 0 }) }, '*');
    }

    std::string Table(const std::string& name, const TableBuilder& builder = Sample())
    {
        const std::string path = dir.File(name);
        builder.WriteTo(path);
        return path;
    }

    TempDir dir;
};

TEST_F(CommandLineExportTest, EveryLayoutGivesTheProgramsBytes)
{
    const std::string table = Table("tabla.dbf");
    const std::string output = dir.File("tabla.txt");
    const struct { const char* option; ExportFormat layout; const char* separator; } layouts[] = {
        { "--fixed", ExportFormat::FixedLength, "" },
        { "--tab", ExportFormat::TabSeparated, "\t" },
        { "--csv", ExportFormat::CommaSeparated, "," },
        { "--sep=;", ExportFormat::OtherCharacter, ";" },
        { "--sep=", ExportFormat::OtherCharacter, "" },
        { "--csv=;", ExportFormat::CommaSeparated, ";" },
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.option);
        const Result result = Run({ layout.option, table });
        EXPECT_EQ(result.Status, 0);
        EXPECT_EQ(result.Out + result.Err, "");
        EXPECT_EQ(ReadAll(output), ProgramExport(table, layout.layout, layout.separator));
    }

    // The default layout is the fixed one; standard output and another
    // folder get the same bytes.
    EXPECT_EQ(Run({ table, "-o", "-" }).Out, ProgramExport(table, ExportFormat::FixedLength, ""));
    const Result csv = Run({ "--csv", "-o", "-", table });
    EXPECT_EQ(csv.Out, "\"Pe\xF1" "a \"\"B\"\"\",15.50,5,100.00\r\n\"\",,-1,\r\n");
    std::filesystem::create_directory(dir.Path() / "otra");
    EXPECT_EQ(Run({ "--csv", "-d", dir.File("otra"), table }).Status, 0);
    EXPECT_EQ(ReadAll(dir.File("otra/tabla.txt")), csv.Out);
    // --csv=X quotes as --csv does, with X between the fields.
    EXPECT_EQ(Run({ "--csv=;", "-o", "-", table }).Out, "\"Pe\xF1" "a \"\"B\"\"\";15.50;5;100.00\r\n\"\";;-1;\r\n");
}

TEST_F(CommandLineExportTest, ByteOrderMarkAndJsonLines)
{
    const std::string table = Table("tabla.dbf", Sample().LanguageDriver(0x03));
    // The mark comes before the header line, and only with --utf8.
    Result result = Run({ "--utf8", "--bom", "--csv", "--header", "-o", "-", table });
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.Out.substr(0, 12), "\xEF\xBB\xBF\"NOMBRE\",");
    EXPECT_EQ(Run({ "--utf8", "--tab", "-o", "-", table }).Out.substr(0, 4), "Pe\xC3\xB1");

    // JSON Lines, beside the table as NAME.jsonl: typed values, blank
    // texts empty, no value null.
    result = Run({ "--jsonl", table });
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.Out + result.Err, "");
    EXPECT_EQ(ReadAll(dir.File("tabla.jsonl")),
              "{\"NOMBRE\":\"Pe\xC3\xB1" "a \\\"B\\\"\",\"IMPORTE\":15.50,\"ID\":5,\"PRECIO\":100}\n"
              "{\"NOMBRE\":\"\",\"IMPORTE\":null,\"ID\":-1,\"PRECIO\":null}\n");
    EXPECT_EQ(Run({ "--jsonl", "--skip-deleted", "-o", "-", table }).Out,
              "{\"NOMBRE\":\"Pe\xC3\xB1" "a \\\"B\\\"\",\"IMPORTE\":15.50,\"ID\":5,\"PRECIO\":100}\n");
    // Repeated names take _2; texts escape what JSON cannot hold as itself.
    const std::string repeated = Table("repetidos.dbf", TableBuilder().LanguageDriver(0x03)
        .Field("A", 'C', 4).Field("A", 'C', 4).Field("A_2", 'L', 1).Record({ "\t\x01\\", "x", "?" }));
    EXPECT_EQ(Run({ "--jsonl", "-o", "-", repeated }).Out,
              "{\"A\":\"\\t\\u0001\\\\\",\"A_2\":\"x\",\"A_2_2\":null}\n");
}

TEST_F(CommandLineExportTest, HeaderLineInTheLayout)
{
    const std::string table = Table("tabla.dbf");
    // Fixed length: each name padded or cut to its field's width; binary
    // fields have none there.
    EXPECT_EQ(Run({ "--header", "-o", "-", table }).Out.substr(0, 22), "NOMBRE      IMPORTE \r\n");
    EXPECT_EQ(Run({ "--header", "--csv", "-o", "-", table }).Out.substr(0, 34),
              "\"NOMBRE\",\"IMPORTE\",\"ID\",\"PRECIO\"\r\n");
}

TEST_F(CommandLineExportTest, Utf8FromTheGivenCpgOrDriverCodePage)
{
    const auto one = [](const std::string& text) {
        return TableBuilder().Field("T", 'C', 4).Record({ text });
    };
    // Given: 0xA4 is ñ in code page 850.
    const std::string dos = Table("dos.dbf", one("\xA4"));
    EXPECT_EQ(Run({ "--utf8=850", "--tab", "-o", "-", dos }).Out, "\xC3\xB1\r\n");
    // The language driver says 1252; a .cpg beside the table goes before it.
    const std::string ansi = Table("ansi.dbf", one("\xF1").LanguageDriver(0x03));
    Result result = Run({ "--utf8", "--tab", "-o", "-", ansi });
    EXPECT_EQ(result.Out, "\xC3\xB1\r\n");
    EXPECT_EQ(result.Err, "");
    const std::string utf8 = Table("utf8.dbf", one("\xC3\xB1").LanguageDriver(0x03));
    TableBuilder::WriteFile(dir.File("utf8.cpg"), "UTF-8\r\n");
    EXPECT_EQ(Run({ "--utf8", "--tab", "-o", "-", utf8 }).Out, "\xC3\xB1\r\n");
    // Nothing says: 1252, with a warning that names the table.
    const std::string unknown = Table("nada.dbf", one("\xE9"));
    result = Run({ "--utf8", "--csv", "--header", "-o", "-", unknown });
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.Out, "\"T\"\r\n\"\xC3\xA9\"\r\n");
    const std::string assumed = "Aviso: la tabla " + unknown + " no dice en qu\xE9 p\xE1gina de c\xF3" "digos est\xE1; "
                                "se toma la 1252 (Windows-1252).\n";
    EXPECT_EQ(result.Err, Said(assumed));
    // A .cpg that names nothing known says so too, and is not taken.
    TableBuilder::WriteFile(dir.File("nada.cpg"), "KLINGON");
    result = Run({ "--utf8", "--tab", "-o", "-", unknown });
    EXPECT_EQ(result.Out, "\xC3\xA9\r\n");
    EXPECT_EQ(result.Err, Said("Aviso: el archivo " + dir.File("nada.cpg") + " no nombra una p\xE1gina de c\xF3" "digos "
                               "conocida.\n" + assumed));
    // A byte the code page does not define becomes U+FFFD, never silently.
    const std::string bad = Table("mal.dbf", TableBuilder().Field("T", 'C', 4).Record({ "a" }).Record({ "b\xFF" }));
    result = Run({ "--utf8=UTF-8", "--tab", "-o", "-", bad });
    EXPECT_EQ(result.Out, "a\r\nb\xEF\xBF\xBD\r\n");
    EXPECT_EQ(result.Err, Said("Aviso: tabla " + bad + ": bytes sin car\xE1" "cter en la p\xE1gina de c\xF3" "digos 65001: 1, "
                               "el primero en el registro 2, campo T; se escriben como U+FFFD.\n"));
}

TEST_F(CommandLineExportTest, MemoTextsDeletedRecordsAndWhatCouldNotBeRead)
{
    MemoBuilder memos(MemoBuilder::DBaseIV, 1024);
    const auto first = memos.Add("uno, \"dos\"\r\ntres");
    memos.WriteTo(dir.File("notas.dbt"));
    const std::string table = Table("notas.dbf", TableBuilder().Version(0x8B).Field("N", 'N', 2).Field("NOTA", 'M', 10)
        .Record({ " 1", MemoBuilder::Pointer(first) }).Record({ " 2", "       999" })
        .Record({ " 3", MemoBuilder::Pointer(first) }, '*'));
    Result result = Run({ "--memo", "--csv", "-o", "-", table });
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.Out, "1,\"uno, \"\"dos\"\"\r\ntres\"\r\n2,\"\"\r\n3,\"uno, \"\"dos\"\"\r\ntres\"\r\n");
    EXPECT_EQ(result.Err, Said("Aviso: tabla " + table + ": memos ilegibles en " + dir.File("notas.dbt") +
                               ": 1, el primero en el registro 2, campo NOTA; se escriben vac\xEDos.\n"));
    result = Run({ "--memo", "--tab", "--skip-deleted", "-o", "-", table });
    EXPECT_EQ(result.Out, "1\tuno, \"dos\"\\r\\ntres\r\n2\t\r\n");

    // A script: the same texts in UTF-8, the bad pointer as NULL.
    result = Run({ "--sql", "--skip-deleted", "--utf8=1252", "-o", "-", table });
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.Out, "\\set ON_ERROR_STOP on\nSET client_encoding = 'UTF8';\nBEGIN;\n"
                          "CREATE TABLE \"notas\" (\n    \"n\" integer,\n    \"nota\" text\n);\n"
                          "COPY \"notas\" (\"n\", \"nota\") FROM STDIN;\n"
                          "1\tuno, \"dos\"\\r\\ntres\n2\t\\N\n\\.\nCOMMIT;\n");

    // Without its memo file the table fails, whatever else it holds.
    std::filesystem::remove(dir.File("notas.dbt"));
    result = Run({ "--memo", "--tab", table });
    EXPECT_EQ(result.Status, 1);
    EXPECT_NE(result.Err.find("No se encuentra el archivo de memos " + dir.File("notas.dbt")), std::string::npos)
        << result.Err;
    EXPECT_FALSE(Exists(dir.File("notas.txt")));
    // A table without fields has no script.
    const std::string empty = Table("vacia.dbf", TableBuilder().RawRecord(" "));
    result = Run({ "--sql", empty });
    EXPECT_EQ(result.Status, 1);
    EXPECT_NE(result.Err.find("no tiene campos"), std::string::npos) << result.Err;
    EXPECT_FALSE(Exists(dir.File("vacia.sql")));
}

TEST_F(CommandLineExportTest, OneFailingTableDoesNotStopTheOthers)
{
    const std::string first = Table("uno.dbf"), second = Table("dos.dbf");
    const std::string missing = dir.File("falta.dbf");
    const Result result = Run({ "--tab", first, missing, second });
    EXPECT_EQ(result.Status, 1);
    EXPECT_NE(result.Err.find("No se encuentra el archivo " + missing + "."), std::string::npos) << result.Err;
    EXPECT_EQ(ReadAll(dir.File("uno.txt")), ProgramExport(first, ExportFormat::TabSeparated, "\t"));
    EXPECT_EQ(ReadAll(dir.File("dos.txt")), ReadAll(dir.File("uno.txt")));
    EXPECT_FALSE(Exists(dir.File("falta.txt")));
}

TEST_F(CommandLineExportTest, UsageErrorsDoNothing)
{
    const std::string table = Table("tabla.dbf");
    const std::vector<std::vector<std::string>> commands = {
        {}, { "--csv" }, { "--xml", table }, { "--sep=ab", table }, { "--utf8=9999", table },
        { "-o", "a.txt", table, table }, { "-o", "a.txt", "-d", ".", table }, { table, "-d" },
        // Memos need a layout that holds a text of any length.
        { "--memo", table }, { "--memo", "--sep=;", table }, { "--csv", "--memo", "--fixed", table },
        { "--replace", "--csv", table }, { "--sql", "--header", table }, { "--sql=oracle", table },
        { "--xlsx", "--header", table }, { "--xlsx", "--replace", table },
        // A mark says UTF-8; a script and JSON Lines take none.
        { "--bom", "--csv", table }, { "--bom", "--utf8", "--sql", table }, { "--bom", "--utf8", "--jsonl", table },
        { "--jsonl", "--header", table }, { "--csv=", table }, { "--csv=ab", table },
    };
    for (const auto& command : commands) {
        const Result result = Run(command);
        EXPECT_EQ(result.Status, 2) << result.Err;
        EXPECT_NE(result.Err.find("Uso: orvalis-export"), std::string::npos) << result.Err;
        EXPECT_EQ(result.Out, "");
    }
    EXPECT_FALSE(Exists(dir.File("tabla.txt")));
    EXPECT_EQ(Run({ "--version" }).Out, "orvalis-export 1.0.0.1\n");
}

TEST_F(CommandLineExportTest, FailuresNameTheFileAndLeaveNoPartialOutput)
{
    const std::string table = Table("tabla.dbf");
    const std::string before = ReadAll(table);
    const auto fails = [&](const std::vector<std::string>& command, const std::string& message) {
        const Result result = Run(command);
        EXPECT_EQ(result.Status, 1);
        EXPECT_NE(result.Err.find(message), std::string::npos) << result.Err;
    };

    // Not a table, and a table another program holds: the output of the same
    // name is kept as it was.
    const std::string notTable = dir.File("texto.dbf");
    TableBuilder::WriteFile(notTable, "hola");
    TableBuilder::WriteFile(dir.File("texto.txt"), "anterior");
    fails({ notTable }, "El archivo " + notTable + Said(" no es una tabla dBase v\xE1lida."));
    EXPECT_EQ(ReadAll(dir.File("texto.txt")), "anterior");
    TableBuilder::WriteFile(dir.File("tabla.txt"), "anterior");
    {
        CFile holder;
        holder.Open(table.c_str(), CFile::modeRead | CFile::shareExclusive);
        fails({ table }, "El archivo " + table + Said(" est\xE1 en uso por otro programa."));
    }
    EXPECT_EQ(ReadAll(dir.File("tabla.txt")), "anterior");

    // An output that cannot be created, and the table itself as the output.
    const std::string nowhere = dir.File("no/hay.txt");
    fails({ "-o", nowhere, table }, nowhere);
    fails({ "-o", table, table }, "La salida " + table + " es la propia tabla");
    EXPECT_EQ(ReadAll(table), before);

    // A disk that fills up part-way.
    const std::string full = testing_support::FullDiskFolder();
    if (full.empty())
        return;
    TableBuilder big;
    big.Field("TEXTO", 'C', 200);
    for (int i = 0; i < 1000; ++i)
        big.Record({ std::string(200, 'x') });
    const std::string bigTable = Table("grande.dbf", big);
    fails({ "-d", full, bigTable }, "No queda espacio en el disco para el archivo");
    EXPECT_FALSE(Exists(full + "/grande.txt"));
}

TEST_F(CommandLineExportTest, WorkbooksThatFailLeaveNoFileAndTablesThatFailNoSheet)
{
    const std::string table = Table("tabla.dbf"), other = Table("otra.dbf");
    const std::string before = ReadAll(table);
    const std::string notTable = dir.File("texto.dbf");
    TableBuilder::WriteFile(notTable, "hola");

    // The table itself as the workbook, alone or among others.
    for (const auto& command : { std::vector<std::string>{ "--xlsx", "-o", table, table },
                                 std::vector<std::string>{ "--xlsx", "-o", table, other, table } }) {
        const Result result = Run(command);
        EXPECT_EQ(result.Status, 1);
        EXPECT_NE(result.Err.find("La salida " + table + " es la propia tabla"), std::string::npos) << result.Err;
    }
    EXPECT_EQ(ReadAll(table), before);

    // A table that fails takes no sheet; with none left, no workbook.
    const std::string book = dir.File("libro.xlsx"), empty = dir.File("vacio.xlsx");
    EXPECT_EQ(Run({ "--xlsx", "-o", book, table, notTable, other }).Status, 1);
    const std::string bytes = ReadAll(book);
    EXPECT_NE(bytes.find("xl/worksheets/sheet2.xml"), std::string::npos);
    EXPECT_EQ(bytes.find("xl/worksheets/sheet3.xml"), std::string::npos);
    EXPECT_EQ(Run({ "--xlsx", "-o", empty, notTable }).Status, 1);
    EXPECT_FALSE(Exists(empty));

    // A disk that fills up part-way: texts that do not compress away.
    const std::string full = testing_support::FullDiskFolder();
    if (full.empty())
        return;
    TableBuilder big;
    big.Field("TEXTO", 'C', 200);
    std::uint32_t random = 1;
    for (int i = 0; i < 1000; ++i) {
        std::string text(200, ' ');
        for (char& c : text)
            c = static_cast<char>('a' + (random = random * 1103515245u + 12345u) % 26);
        big.Record({ text });
    }
    const std::string bigTable = Table("grande.dbf", big);
    const Result result = Run({ "--xlsx", "-d", full, bigTable });
    EXPECT_EQ(result.Status, 1);
    EXPECT_NE(result.Err.find("No queda espacio en el disco para el archivo"), std::string::npos) << result.Err;
    EXPECT_FALSE(Exists(full + "/grande.xlsx"));
}

TEST_F(CommandLineExportTest, DatabasesAndSeveralTablesInOneScript)
{
    // A container whose tables are in other folders and letter cases, with
    // the long names of their fields, keys and a relation.
    ContainerBuilder dbc;
    const int parent = dbc.Table("clientes_activos", "Clientes.dbf", "codigo");
    dbc.Field(parent, "codigo_cliente");
    dbc.Field(parent, "nombre_completo");
    dbc.Index(parent, "codigo", true);
    const int child = dbc.Table("lineas_de_pedido", "sub\\Lineas.DBF");
    dbc.Field(child, "cliente_del_pedido");
    dbc.Index(child, "cliente", false);
    dbc.Relation(child, "cliente", "clientes_activos", "codigo");
    dbc.WriteTo(dir.File("Empresa"));
    TableBuilder().Version(0x30).AfterTerminator(ContainerBuilder::Backlink("empresa.dbc"))
        .Field("CODIGO_CLI", 'C', 4).Field("NOMBRE_COM", 'C', 10).Record({ "A1", "Pe\xF1" "a" })
        .WriteTo(dir.File("clientes.dbf"));
    IndexBuilder().Tag("CODIGO", "codigo_cli", IndexBuilder::kCandidate).WriteTo(dir.File("clientes.cdx"));
    std::filesystem::create_directory(dir.Path() / "sub");
    TableBuilder().Version(0x30).AfterTerminator(ContainerBuilder::Backlink("..\\EMPRESA.DBC"))
        .Field("CLIENTE_DE", 'C', 4).Record({ "A1" }).WriteTo(dir.File("sub/lineas.dbf"));
    IndexBuilder().Tag("CLIENTE", "CLIENTE_DE").WriteTo(dir.File("sub/LINEAS.CDX"));
    const std::string plain = Table("clientes_activos.dbf"); // a name the database's table has too

    Result result = Run({ "--sql", "-o", dir.File("todo.sql"), dir.File("Empresa.dbc"), plain });
    EXPECT_EQ(result.Status, 0) << result.Err;
    const std::string script = ReadAll(dir.File("todo.sql"));
    for (const char* part : {
             "\\set ON_ERROR_STOP on\nSET client_encoding = 'UTF8';\nBEGIN;\nCREATE TABLE \"clientes_activos\" (\n"
             "    \"codigo_cliente\" varchar(4),\n    \"nombre_completo\" varchar(10)\n);\n",
             "\\.\nCREATE TABLE \"lineas_de_pedido\" (\n    \"cliente_del_pedido\" varchar(4)\n);\n",
             "\\.\nCREATE TABLE \"clientes_activos_2\" (\n",
             "\\.\nALTER TABLE \"clientes_activos\" ADD CONSTRAINT \"clientes_activos_codigo_pkey\" PRIMARY KEY "
             "(\"codigo_cliente\");\nCREATE INDEX \"lineas_de_pedido_cliente_idx\" ON \"lineas_de_pedido\" "
             "(\"cliente_del_pedido\");\nALTER TABLE \"lineas_de_pedido\" ADD CONSTRAINT "
             "\"lineas_de_pedido_cliente_fkey\" FOREIGN KEY (\"cliente_del_pedido\") REFERENCES "
             "\"clientes_activos\" (\"codigo_cliente\");\nCOMMIT;\n" })
        EXPECT_NE(script.find(part), std::string::npos) << part << "\n" << script;
    EXPECT_EQ(script.find("ON_ERROR_STOP"), script.rfind("ON_ERROR_STOP")); // once
    EXPECT_EQ(script.find("BEGIN;"), script.rfind("BEGIN;"));               // one transaction

    // A table found damaged after part of it went into the script takes
    // that part out again; the others are written whole.
    TableBuilder large;
    large.Field("TEXTO", 'C', 100);
    for (int i = 0; i < 6000; ++i)
        large.Record({ std::string(90, 'x') + std::to_string(i) });
    const std::string dbf = large.Bytes();
    TableBuilder::WriteFile(dir.File("rota.dbc"), testing_support::CompressedBytes(
        dbf, testing_support::ImplodeBuilder().Literals(dbf.substr(TableBuilder::HeaderLengthOf(dbf))).End().Bytes(), 0));
    result = Run({ "--sql", "-o", dir.File("parte.sql"), plain, dir.File("rota.dbc"), dir.File("sub/lineas.dbf") });
    EXPECT_EQ(result.Status, 1);
    EXPECT_NE(result.Err.find(dir.File("rota.dbc")), std::string::npos) << result.Err;
    const std::string parts = ReadAll(dir.File("parte.sql"));
    EXPECT_EQ(parts.find("rota"), std::string::npos);
    EXPECT_NE(parts.find("\\.\nCREATE TABLE \"lineas_de_pedido\""), std::string::npos) << parts.substr(0, 400);
    EXPECT_EQ(parts.substr(parts.size() - 11), "\\.\nCOMMIT;\n");

    // SQLite declares them in CREATE TABLE; each text layout is a file per table.
    result = Run({ "--sql=sqlite", "-d", dir.File("sub"), dir.File("Empresa.dbc") });
    EXPECT_EQ(result.Status, 0) << result.Err;
    EXPECT_NE(ReadAll(dir.File("sub/Empresa.sql"))
                  .find("    \"cliente_del_pedido\" TEXT,\n    CONSTRAINT \"lineas_de_pedido_cliente_fkey\" FOREIGN KEY "
                        "(\"cliente_del_pedido\") REFERENCES \"clientes_activos\" (\"codigo_cliente\")\n);"),
              std::string::npos);
    result = Run({ "--csv", "--header", dir.File("Empresa.dbc") });
    EXPECT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(ReadAll(dir.File("clientes_activos.txt")), "\"codigo_cliente\",\"nombre_completo\"\r\n\"A1\",\"Pe\xF1" "a\"\r\n");
    EXPECT_EQ(ReadAll(dir.File("lineas_de_pedido.txt")), "\"cliente_del_pedido\"\r\n\"A1\"\r\n");
    // A member table alone has its long names too.
    result = Run({ "--tab", "--header", "-o", "-", dir.File("sub/lineas.dbf") });
    EXPECT_EQ(result.Out, "cliente_del_pedido\r\nA1\r\n") << result.Err;
}

TEST_F(CommandLineExportTest, CompressedTableExportsAsItsDbfOrFailsWithNothingLeft)
{
    std::filesystem::create_directory(dir.Path() / "dbf");
    std::filesystem::create_directory(dir.Path() / "dbc");
    const std::string dbf = Sample().Bytes();
    const size_t header = Sample().Header().size();
    const std::string good = testing_support::LiteralTable(dbf);
    const std::string plain = Table("dbf/tabla.dbf"), compressed = dir.File("dbc/tabla.dbc");
    for (const char* layout : { "--fixed", "--csv", "--sql" }) {
        TableBuilder::WriteFile(compressed, good);
        const Result result = Run({ layout, plain, compressed });
        EXPECT_EQ(result.Status, 0) << result.Err;
        const char* extension = layout == std::string("--sql") ? ".sql" : ".txt";
        EXPECT_EQ(ReadAll(dir.File("dbc/tabla") + extension), ReadAll(dir.File("dbf/tabla") + extension)) << layout;
        std::filesystem::remove(dir.File("dbc/tabla") + extension);
    }

    std::string crc = good;
    crc[header] ^= 1;
    const std::string records = dbf.substr(header);
    const struct { std::string bytes; const char* what; } damaged[] = {
        { crc, "su CRC-32 no coincide con el de sus datos" },
        { testing_support::CompressedBytes(dbf, testing_support::ImplodeBuilder().Literals(records).Bytes()),
          "su compresi\xF3n termina antes de su c\xF3" "digo final" },
        { testing_support::LiteralTable(dbf + records), "guarda m\xE1s bytes que los registros que dice su cabecera" },
    };
    for (const auto& table : damaged) {
        TableBuilder::WriteFile(compressed, table.bytes);
        for (const char* layout : { "--csv", "--sql" }) {
            const Result result = Run({ layout, compressed });
            EXPECT_EQ(result.Status, 1);
            EXPECT_EQ(result.Err, Said("El archivo " + compressed + " est\xE1 da\xF1" "ado: " + table.what + ".\n"));
            EXPECT_FALSE(Exists(dir.File("dbc/tabla.txt")));
            EXPECT_FALSE(Exists(dir.File("dbc/tabla.sql")));
        }
        EXPECT_EQ(ReadAll(compressed), table.bytes);
    }
}

#ifdef ORVALIS_STORMLIB
TEST_F(CommandLineExportTest, TablesCompressedByStormLibGiveTheBytesOfTheirDbf)
{
    std::filesystem::create_directory(dir.Path() / "dbf");
    std::filesystem::create_directory(dir.Path() / "dbc");
    TableBuilder table = Sample().LanguageDriver(0x03);
    for (int n = 0; n < 500; ++n)
        table.Record({ "Jos\xE9 " + std::to_string(n * 7 % 13), std::to_string(n * 31 % 1000), "", "" }, n % 9 ? ' ' : '*');
    const std::string plain = Table("dbf/tabla.dbf", table), compressed = dir.File("dbc/tabla.dbc");
    const std::vector<std::vector<std::string>> commands = {
        { "--fixed" }, { "--tab", "--header" }, { "--csv", "--utf8" }, { "--sep=;", "--skip-deleted" },
        { "--sql" }, { "--sql=sqlite", "--replace", "--skip-deleted" },
    };
    for (const bool coded : { false, true }) {
        for (const unsigned dictionary : { 1024u, 2048u, 4096u }) {
            TableBuilder::WriteFile(compressed, testing_support::StormCompressedTable(table.Bytes(), coded, dictionary));
            for (std::vector<std::string> command : commands) {
                SCOPED_TRACE(command[0] + (coded ? " coded " : " plain ") + std::to_string(dictionary));
                const std::string extension = command[0].rfind("--sql", 0) == 0 ? ".sql" : ".txt";
                command.push_back(plain);
                command.push_back(compressed);
                EXPECT_EQ(Run(command).Status, 0);
                EXPECT_EQ(ReadAll(dir.File("dbc/tabla") + extension), ReadAll(dir.File("dbf/tabla") + extension));
            }
        }
    }
}
#endif

} // namespace
