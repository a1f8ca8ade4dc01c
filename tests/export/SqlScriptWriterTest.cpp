// SQL scripts in each dialect: the whole script of a small table, texts and
// numbers that every path writes alike, names, and statements' sizes.

#include "export/SqlScriptWriter.h"
#include "framework/CodePage.h"
#include "table/MemoFile.h"
#include "table/mDBase.h"
#include "tests/support/Files.h"
#include "tests/support/MemoBuilder.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using testing_support::Bytes;
using testing_support::MemoBuilder;
using testing_support::ReadAll;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

class SqlScriptWriterTest : public ::testing::Test {
protected:
    // The script of the table in the dialect, its texts in the code page.
    std::string Script(const TableBuilder& builder, const char* dialect, unsigned codePage = kCodePageWindows1252,
                       bool replace = false, const MemoBuilder* memos = nullptr)
    {
        builder.WriteTo(dir.File("tabla.dbf"));
        mDBase table;
        EXPECT_EQ(table.Open(dir.File("tabla.dbf").c_str()), 1);
        MemoFile memo;
        if (memos) {
            memos->WriteTo(dir.File("tabla.dbt"));
            memo.Open(dir.File("tabla.dbf").c_str(), table.GetVersion());
        }
        const CodePageConverter converter(codePage);
        SqlScriptWriter writer(SqlDialect::Named(dialect), "Tabla", converter);
        writer.SetReplace(replace);
        writer.SetMemoFile(memos ? &memo : nullptr);
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
    const std::string mysqlColumns =
        "    `nombre` VARCHAR(8),\n    `importe` DECIMAL(7,2),\n    `alta` DATE,\n    `activo` BOOLEAN,\n"
        "    `id` INT,\n    `precio` DOUBLE\n) DEFAULT CHARSET=utf8mb4;\n";
    const std::string mysqlRows =
        "INSERT INTO `tabla#carga` (`nombre`, `importe`, `alta`, `activo`, `id`, `precio`) VALUES\n"
        "('a\\'b\\\\c\\r',-1.50,'2024-02-29',1,5,100),\n('',NULL,NULL,NULL,NULL,NULL);\n";
    const struct {
        const char* dialect;
        bool replace;
        std::string script;
    } cases[] = {
        { "postgresql", true,
          "\\set ON_ERROR_STOP on\nSET client_encoding = 'UTF8';\nBEGIN;\nDROP TABLE IF EXISTS \"tabla\";\n"
          "CREATE TABLE \"tabla\" (\n    \"nombre\" varchar(8),\n    \"importe\" numeric(7,2),\n    \"alta\" date,\n"
          "    \"activo\" boolean,\n    \"id\" integer,\n    \"precio\" double precision\n);\n"
          "COPY \"tabla\" (\"nombre\", \"importe\", \"alta\", \"activo\", \"id\", \"precio\") FROM STDIN;\n"
          "a'b\\\\c\\r\t-1.50\t2024-02-29\tt\t5\t100\n\t\\N\t\\N\t\\N\t\\N\t\\N\n\\.\nCOMMIT;\n" },
        { "sqlite", true,
          ".bail on\nBEGIN;\nDROP TABLE IF EXISTS \"tabla\";\n"
          "CREATE TABLE \"tabla\" (\n    \"nombre\" TEXT,\n    \"importe\" NUMERIC,\n    \"alta\" TEXT,\n"
          "    \"activo\" INTEGER,\n    \"id\" INTEGER,\n    \"precio\" REAL\n);\n"
          "INSERT INTO \"tabla\" (\"nombre\", \"importe\", \"alta\", \"activo\", \"id\", \"precio\") VALUES\n"
          "('a''b\\c'||char(13)||'',-1.50,'2024-02-29',1,5,100),\n('',NULL,NULL,NULL,NULL,NULL);\nCOMMIT;\n" },
        // Loaded under another name, put in place by one RENAME.
        { "mysql", false,
          "SET NAMES utf8mb4;\nSET SESSION sql_mode = 'STRICT_ALL_TABLES';\nDROP TABLE IF EXISTS `tabla#carga`;\n"
          "CREATE TABLE `tabla#carga` (\n" + mysqlColumns +
          "CREATE TABLE `tabla` LIKE `tabla#carga`;\nDROP TABLE `tabla`;\n" + mysqlRows +
          "RENAME TABLE `tabla#carga` TO `tabla`;\n" },
        { "mysql", true,
          "SET NAMES utf8mb4;\nSET SESSION sql_mode = 'STRICT_ALL_TABLES';\nDROP TABLE IF EXISTS `tabla#carga`;\n"
          "CREATE TABLE `tabla#carga` (\n" + mysqlColumns + mysqlRows +
          "CREATE TABLE IF NOT EXISTS `tabla` LIKE `tabla#carga`;\nDROP TABLE IF EXISTS `tabla#antes`;\n"
          "RENAME TABLE `tabla` TO `tabla#antes`, `tabla#carga` TO `tabla`;\nDROP TABLE `tabla#antes`;\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.dialect) + (c.replace ? " --replace" : ""));
        EXPECT_EQ(Script(table, c.dialect, kCodePageWindows1252, c.replace), c.script);
    }
}

TEST_F(SqlScriptWriterTest, NumbersComeOutAsStoredOrAsDecodedAlike)
{
    // Plain numbers are copied as stored, the others decoded; both must
    // give what the database reads, in fields of one word, two, and more.
    const struct { char type; unsigned length, decimals; const char* stored; const char* written; } cases[] = {
        { 'N', 5, 0, "   42", "42" },          { 'N', 5, 0, "  -42", "-42" },   { 'N', 5, 0, "  007", "7" },
        { 'N', 5, 0, "   +7", "7" },           { 'N', 5, 0, "    0", "0" },     { 'N', 5, 0, "   -0", "-0" },
        { 'N', 5, 0, "42   ", "42" },          { 'N', 5, 0, " 1.00", "1" },     { 'N', 5, 0, "  1.5", "NULL" },
        { 'N', 5, 0, "*****", "NULL" },        { 'N', 5, 0, "     ", "NULL" }, { 'F', 9, 2, "    -0.50", "-0.50" },
        { 'N', 9, 2, "     0.5", "0.5" },      { 'N', 9, 2, "   12.345", "NULL" },
        { 'N', 9, 2, "   12,50", "12.50" },    { 'N', 9, 2, "    .25", "0.25" },
        { 'N', 16, 3, "  -123456789.123", "-123456789.123" }, { 'N', 16, 3, "  -000006789.123", "-6789.123" },
        { 'N', 17, 3, "  -1234567890.123", "-1234567890.123" }, { 'N', 20, 0, "  123456789012345678", "123456789012345678" },
    };
    for (const char* dialect : { "postgresql", "sqlite", "mysql" }) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(dialect) + " \"" + c.stored + "\"");
            const std::string script = Script(TableBuilder().Field("N", c.type, c.length, c.decimals)
                                                  .Record({ c.stored }).Record({ c.stored }), dialect);
            const std::string value = std::string(c.written) == "NULL" && std::string(dialect) == "postgresql"
                                          ? "\\N" : c.written;
            const std::string rows = std::string(dialect) == "postgresql" ? value + "\n" + value + "\n"
                                                                          : "(" + value + "),\n(" + value + ");";
            EXPECT_NE(script.find(rows), std::string::npos) << script;
        }
    }
}

TEST_F(SqlScriptWriterTest, TextsComeOutAsEachDatabaseReadsThemThroughEveryPath)
{
    // The bytes each dialect writes otherwise, at every place in the words a
    // text is read in, and in the last bytes after them; each text once from
    // a single-byte page and once from UTF-8. Twice: a column whose first
    // 256 texts mostly hold such bytes is written byte by byte after them.
    const std::string specials[] = { "'", "\\", "\r", "\n", "\t", std::string(1, '\0'), "\x1A", "\xE9", "\x80" };
    TableBuilder latin, utf8;
    latin.Field("T", 'C', 24);
    utf8.Field("T", 'C', 48);
    std::vector<std::string> texts;
    for (int pass = 0; pass < 2; ++pass) {
        for (const std::string& special : specials) {
            for (size_t at = 0; at < 20; ++at) {
                const std::string text = std::string(at, 'x') + special + "yz";
                texts.emplace_back();
                CodePageConverter(kCodePageWindows1252).AppendUtf8(text, texts.back());
                latin.Record({ text });
                utf8.Record({ texts.back() });
            }
        }
    }
    // How each database's reader takes a text in: COPY's escapes; SQLite's
    // quotes doubled, a CR outside the literal, statements of 250 rows;
    // MySQL's backslash escapes. Only MySQL holds a NUL.
    const struct {
        const char* dialect;
        std::map<char, std::string> escapes;
        std::string rowStart, rowEnd, rowsEnd, statementEnd;
    } cases[] = {
        { "postgresql", { { '\\', "\\\\" }, { '\r', "\\r" }, { '\n', "\\n" }, { '\t', "\\t" }, { '\0', "\xEF\xBF\xBD" } },
          "", "\n", "\n\\.\n", "" },
        { "sqlite", { { '\'', "''" }, { '\r', "'||char(13)||'" }, { '\0', "\xEF\xBF\xBD" } }, "('", "'),\n", "');\n",
          "');\nINSERT INTO \"tabla\" (\"t\") VALUES\n" },
        { "mysql",
          { { '\'', "\\'" }, { '\\', "\\\\" }, { '\r', "\\r" }, { '\n', "\\n" }, { '\0', "\\0" }, { '\x1A', "\\Z" } },
          "('", "'),\n", "');\n", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialect);
        std::string rows;
        for (size_t n = 0; n < texts.size(); ++n) {
            rows += c.rowStart;
            for (const char byte : texts[n]) {
                const auto escape = c.escapes.find(byte);
                rows += escape == c.escapes.end() ? std::string(1, byte) : escape->second;
            }
            rows += n + 1 == texts.size() ? c.rowsEnd : n == 249 && !c.statementEnd.empty() ? c.statementEnd : c.rowEnd;
        }
        const std::string fromLatin = Script(latin, c.dialect);
        const ExportWarnings latinWarnings = warnings;
        const std::string fromUtf8 = Script(utf8, c.dialect, kCodePageUtf8);
        EXPECT_NE(fromLatin.find(rows), std::string::npos) << fromLatin;
        EXPECT_NE(fromUtf8.find(rows), std::string::npos) << fromUtf8;
        // The NULs, where the database holds none.
        const std::uint64_t nuls = c.escapes.at('\0') == "\xEF\xBF\xBD" ? 40 : 0;
        EXPECT_EQ(warnings.Of[ExportWarnings::UnmappedByte].Count, nuls);
        EXPECT_EQ(latinWarnings.Of[ExportWarnings::UnmappedByte].Count, nuls);
    }
}

TEST_F(SqlScriptWriterTest, SqliteTextsOfManyCarriageReturnsGoInHexadecimal)
{
    // SQLite refuses more than 1,000 joins in an expression: a CR takes two.
    const auto lines = [](size_t count) {
        std::string text;
        for (size_t i = 0; i < count; ++i)
            text += "\xF1\r";
        return text;
    };
    const auto hex = [](const std::string& text) {
        std::string utf8, digits;
        CodePageConverter(kCodePageWindows1252).AppendUtf8(text, utf8);
        for (const char c : utf8)
            digits += { "0123456789abcdef"[static_cast<unsigned char>(c) >> 4], "0123456789abcdef"[c & 15] };
        return digits;
    };
    MemoBuilder memos(MemoBuilder::DBaseIV, 512);
    const auto few = memos.Add(lines(499)), many = memos.Add(lines(500));
    const TableBuilder table = TableBuilder().Version(0x8B).Field("T", 'C', 1000).Field("M", 'M', 10)
        .Record({ lines(499), MemoBuilder::Pointer(few) }).Record({ lines(500), MemoBuilder::Pointer(many) });
    const std::string script = Script(table, "sqlite", kCodePageWindows1252, false, &memos);
    std::string joined;
    for (int i = 0; i < 499; ++i)
        joined += "\xC3\xB1'||char(13)||'";
    const std::string whole = "CAST(X'" + hex(lines(500)) + "' AS TEXT)";
    EXPECT_NE(script.find("('" + joined + "','" + joined + "'),\n(" + whole + "," + whole + ");"), std::string::npos);
}

TEST_F(SqlScriptWriterTest, NamesAreCutAtACharacterToWhatEachDatabaseKeeps)
{
    // PostgreSQL keeps 63 bytes, MySQL 64 characters and no blank at the end.
    const auto times = [](const std::string& text, size_t n) {
        std::string repeated;
        for (size_t i = 0; i < n; ++i)
            repeated += text;
        return repeated;
    };
    const std::string enye = "\xC3\xB1";
    const struct {
        const char* dialect;
        std::string name;
        size_t room;
        std::string fitted;
    } cases[] = {
        { "postgresql", times(enye, 40), 0, times(enye, 31) },
        { "postgresql", times(enye, 40), 2, times(enye, 30) },
        { "sqlite", times(enye, 40), 0, times(enye, 31) },
        { "mysql", times(enye, 70), 0, times(enye, 64) },
        { "mysql", times(enye, 70), 6, times(enye, 58) },
        { "mysql", times("a", 63) + " b", 0, times("a", 63) },
        { "mysql", "nombre  ", 0, "nombre" },
        { "mysql", "corto", 3, "corto" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.dialect) + " " + c.name);
        EXPECT_EQ(SqlDialect::Named(c.dialect)->Fitted(c.name, c.room), c.fitted);
    }
    // A table's name, and the names it is loaded and swapped under.
    const CodePageConverter converter(kCodePageWindows1252);
    TableBuilder().Field("N", 'N', 2).Record({ "1" }).WriteTo(dir.File("t.dbf"));
    mDBase table;
    ASSERT_EQ(table.Open(dir.File("t.dbf").c_str()), 1);
    SqlScriptWriter writer(SqlDialect::Named("mysql"), times("\xC3\x91", 70), converter);
    writer.SetReplace(true);
    writer.Export(table, dir.File("t.sql").c_str());
    EXPECT_NE(ReadAll(dir.File("t.sql")).find("RENAME TABLE `" + times(enye, 64) + "` TO `" + times(enye, 58) +
                                              "#antes`, `" + times(enye, 58) + "#carga` TO `" + times(enye, 64) + "`;"),
              std::string::npos);
}

TEST_F(SqlScriptWriterTest, MySqlStatementsAreAtMostOneMebibyte)
{
    // Memos of 100,000 bytes and one of 1,500,000, which takes a statement of
    // its own; and rows without memos, which fill their statements.
    MemoBuilder memos(MemoBuilder::DBaseIV, 512);
    TableBuilder withMemos = TableBuilder().Version(0x8B).Field("N", 'N', 4).Field("NOTA", 'M', 10);
    for (int i = 1; i <= 40; ++i) {
        const auto memo = memos.Add(std::string(i == 20 ? 1500000 : 100000, static_cast<char>('a' + i % 26)));
        withMemos.Record({ std::to_string(i), MemoBuilder::Pointer(memo) });
    }
    TableBuilder plain = TableBuilder().Field("N", 'N', 6).Field("T", 'C', 200);
    for (int i = 1; i <= 12000; ++i)
        plain.Record({ std::to_string(i), std::string(static_cast<size_t>(i % 200), '\'') });
    const struct {
        const char* what;
        const TableBuilder& table;
        size_t rows;
        bool full;
    } cases[] = { { "memos", withMemos, 40, false }, { "no memos", plain, 12000, true } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string script = Script(c.table, "mysql", kCodePageWindows1252, false, &memos);

        // Each row on a line of its own; a statement ends with its last row.
        size_t rows = 0;
        for (size_t at = script.find("INSERT INTO"); at != std::string::npos; at = script.find("INSERT INTO", at)) {
            const size_t end = script.find(");\n", at) + 3;
            const auto count = static_cast<size_t>(std::count(script.begin() + at, script.begin() + end, '\n')) - 1;
            if (count > 1) {
                EXPECT_LE(end - at, 1024u * 1024) << "statement from " << at;
            } else {
                EXPECT_GT(end - at, 1500000u) << "a row alone, from " << at;
            }
            // A row is in the next statement only where it would make this
            // one too long.
            const size_t next = script.find('\n', end) + 1;
            if (c.full && script.compare(end, 6, "INSERT") == 0) {
                EXPECT_GT(end - at + script.find('\n', next) - next, 1024u * 1024) << "statement from " << at;
            }
            rows += count;
            at = end;
        }
        EXPECT_EQ(rows, c.rows);
    }
}

} // namespace
