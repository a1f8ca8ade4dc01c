// SQL scripts in each dialect: the whole script of a small table, texts that
// every path writes alike, and tables no database can take.

#include "export/SqlScriptWriter.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"
#include "tests/support/Files.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::Bytes;
using testing_support::ReadAll;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

class SqlScriptWriterTest : public ::testing::Test {
protected:
    // The script of the table in the dialect, its texts in the code page.
    std::string Script(const TableBuilder& builder, const char* dialect, unsigned codePage = kCodePageWindows1252,
                       bool replace = false)
    {
        builder.WriteTo(dir.File("tabla.dbf"));
        mDBase table;
        EXPECT_EQ(table.Open(dir.File("tabla.dbf").c_str()), 1);
        const CodePageConverter converter(codePage);
        SqlScriptWriter writer(SqlDialect::Named(dialect), "Tabla", converter);
        writer.SetReplace(replace);
        writer.Export(table, dir.File("tabla.sql").c_str());
        warnings = writer.GetWarnings();
        return ReadAll(dir.File("tabla.sql"));
    }

    TempDir dir;
    ExportWarnings warnings;
};

TEST_F(SqlScriptWriterTest, WholeScriptInEachDialect)
{
    // A value of each common kind, then blanks: NULLs.
    const TableBuilder table = TableBuilder()
        .Field("NOMBRE", 'C', 8).Field("IMPORTE", 'N', 7, 2).Field("ALTA", 'D', 8).Field("ACTIVO", 'L', 1)
        .Field("ID", 'I', 4).Field("PRECIO", 'O', 8)
        .Record({ "a'b\\c\r", "  -1.50", "20240229", "T", Bytes({ 0x80, 0, 0, 5 }),
                  Bytes({ 0xC0, 0x59, 0, 0, 0, 0, 0, 0 }) })
        .Record({ "", "", "", "?", Bytes({ 0, 0, 0, 0 }), Bytes({ 0, 0, 0, 0, 0, 0, 0, 0 }) });
    const struct {
        const char* dialect;
        std::string script;
    } cases[] = {
        { "postgresql",
          "\\set ON_ERROR_STOP on\nSET client_encoding = 'UTF8';\nBEGIN;\nDROP TABLE IF EXISTS \"tabla\";\n"
          "CREATE TABLE \"tabla\" (\n    \"nombre\" varchar(8),\n    \"importe\" numeric(7,2),\n    \"alta\" date,\n"
          "    \"activo\" boolean,\n    \"id\" integer,\n    \"precio\" double precision\n);\n"
          "COPY \"tabla\" (\"nombre\", \"importe\", \"alta\", \"activo\", \"id\", \"precio\") FROM STDIN;\n"
          "a'b\\\\c\\r\t-1.50\t2024-02-29\tt\t5\t100\n\t\\N\t\\N\t\\N\t\\N\t\\N\n\\.\nCOMMIT;\n" },
        { "sqlite",
          ".bail on\nBEGIN;\nDROP TABLE IF EXISTS \"tabla\";\n"
          "CREATE TABLE \"tabla\" (\n    \"nombre\" TEXT,\n    \"importe\" NUMERIC,\n    \"alta\" TEXT,\n"
          "    \"activo\" INTEGER,\n    \"id\" INTEGER,\n    \"precio\" REAL\n);\n"
          "INSERT INTO \"tabla\" (\"nombre\", \"importe\", \"alta\", \"activo\", \"id\", \"precio\") VALUES\n"
          "('a''b\\c'||char(13)||'',-1.50,'2024-02-29',1,5,100),\n('',NULL,NULL,NULL,NULL,NULL);\nCOMMIT;\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialect);
        EXPECT_EQ(Script(table, c.dialect, kCodePageWindows1252, true), c.script);
    }
}

TEST_F(SqlScriptWriterTest, TextsComeOutAlikeThroughEveryPath)
{
    // The bytes each dialect writes otherwise, at every place in the words a
    // text is read in, and in the last bytes after them; each text once from
    // a single-byte page and once from UTF-8.
    const std::string specials[] = { "'", "\\", "\r", "\n", "\t", std::string(1, '\0'), "\x1A", "\xE9", "\x80" };
    TableBuilder latin, utf8;
    latin.Field("T", 'C', 24);
    utf8.Field("T", 'C', 48);
    for (const std::string& special : specials) {
        for (size_t at = 0; at < 20; ++at) {
            const std::string text = std::string(at, 'x') + special + "yz";
            std::string converted;
            CodePageConverter(kCodePageWindows1252).AppendUtf8(text, converted);
            latin.Record({ text });
            utf8.Record({ converted });
        }
    }
    for (const char* dialect : { "postgresql", "sqlite" }) {
        SCOPED_TRACE(dialect);
        const std::string fromLatin = Script(latin, dialect);
        const ExportWarnings latinWarnings = warnings;
        const std::string fromUtf8 = Script(utf8, dialect, kCodePageUtf8);
        // The columns differ in length, nothing else.
        EXPECT_EQ(fromLatin.substr(fromLatin.find(");")), fromUtf8.substr(fromUtf8.find(");")));
        EXPECT_EQ(warnings.Of[ExportWarnings::UnmappedByte].Count, 20u) << "the NULs";
        EXPECT_EQ(latinWarnings.Of[ExportWarnings::UnmappedByte].Count, 20u);
    }
}

TEST_F(SqlScriptWriterTest, TablesNoDatabaseTakesFailNamingTheFile)
{
    TableBuilder wide;
    for (int i = 0; i < 2001; ++i)
        wide.Field("C" + std::to_string(i), 'C', 1);
    const struct {
        const char* what;
        TableBuilder table;
        const char* message;
    } cases[] = {
        { "no fields", TableBuilder().RawRecord(" "), "no tiene campos" },
        { "more columns than any dialect takes", wide, "campos y la base de datos admite" },
    };
    for (const auto& c : cases) {
        for (const char* dialect : { "postgresql", "sqlite" }) {
            SCOPED_TRACE(std::string(c.what) + ", " + dialect);
            try {
                Script(c.table, dialect);
                ADD_FAILURE() << "no exception";
            } catch (const CFileException& e) {
                const std::string message = e.GetErrorMessage().GetString();
                EXPECT_NE(message.find(c.message), std::string::npos) << message;
                EXPECT_NE(message.find(dir.File("tabla.dbf")), std::string::npos) << message;
            }
        }
    }
}

} // namespace
