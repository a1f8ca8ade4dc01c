// The keys of a database's tables, checked against the data as the script
// writes it: values the database holds as equal repeat a key, a missing value
// breaks a primary key, and a child without its parent a foreign key.

#include "export/DatabaseKeys.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::IndexBuilder;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

// One table of one key, its tag ID on the expression given.
struct Case {
    const char* what;
    TableBuilder table;
    const char* expression;
    bool primary;
    const char* message; // part of the message; empty when the key holds
};

std::vector<std::string> CheckKeys(TempDir& dir, const Case& c, bool& held)
{
    c.table.WriteTo(dir.File("t.dbf"));
    IndexBuilder().Tag("ID", c.expression, IndexBuilder::kCandidate).WriteTo(dir.File("t.cdx"));
    DatabaseContainer::Table listed;
    listed.Name = "t";
    listed.Tags = { { "id", true } };
    listed.PrimaryTag = c.primary ? "id" : "";
    mDBase table;
    EXPECT_EQ(table.Open(dir.File("t.dbf").c_str()), 1);
    StructuralIndex index;
    index.Open(dir.File("t.dbf").c_str());
    DatabaseKeys keys;
    const size_t t = keys.AddTable(listed.Name);
    keys.SetKeys(t, listed, table, index);
    const CodePageConverter converter(kCodePageWindows1252);
    SqlScriptWriter values(SqlDialect::Named("postgresql"), "t", converter);
    values.Described(table);
    keys.Check(t, table, values, false);
    keys.CheckForeignKeys();
    held = !keys.KeysOf(t).empty() && keys.KeysOf(t)[0].Held;
    return keys.TakeMessages();
}

TEST(DatabaseKeysTest, KeysAreCheckedAsTheDatabaseComparesValues)
{
    const auto numbers = [](std::vector<std::string> values, std::uint8_t decimals) {
        TableBuilder table;
        table.Field("N", 'N', 6, decimals).Field("C", 'C', 4);
        for (const std::string& value : values)
            table.Record({ value, "x" });
        return table;
    };
    const auto texts = [](std::vector<std::string> values) {
        TableBuilder table;
        table.Version(0x30).AfterTerminator(std::string(263, '\0')).Field("A", 'C', 3, 0, 0x02).Field("B", 'C', 3)
            .Field("_NullFlags", '0', 1, 0, 0x05);
        for (size_t i = 0; i + 1 < values.size(); i += 2)
            table.Record({ values[i], values[i + 1], values[i] == "-" ? "\x01" : std::string(1, '\0') });
        return table;
    };
    const Case cases[] = {
        { "decimals", numbers({ "  1.50", "   1.5", "  2.00" }, 2), "n", true, "el valor del registro 2 se repite" },
        { "zeros", numbers({ "   007", "     7" }, 0), "n", true, "el valor del registro 2 se repite" },
        { "minus zero", numbers({ "    -0", "     0" }, 0), "N", true, "registro 2 se repite" },
        { "distinct", numbers({ "  1.50", "  1.51", "  -1.5" }, 2), "n", true, "" },
        { "blank", numbers({ "     1", "      " }, 0), "n", true, "el registro 2 no tiene valor" },
        { "junk", numbers({ "     1", "   1x " }, 0), "n", true, "el registro 2 no tiene valor" },
        { "blank unique", numbers({ "     1", "      ", "      " }, 0), "n", false, "" },
        { "composite", texts({ "ab", "c", "a", "bc" }), "a + B", false, "" },
        { "composite repeated", texts({ "ab", "c", "ab ", "c" }), "A+B", false, "registro 2 se repite" },
        { "nulls unique", texts({ "-", "x", "-", "x" }), "a+b", false, "" },
        { "null primary", texts({ "-", "x" }), "a+b", true, "el registro 1 no tiene valor" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        bool held = false;
        const std::vector<std::string> messages = CheckKeys(dir, c, held);
        EXPECT_EQ(held, *c.message == '\0');
        if (*c.message) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_NE(messages[0].find(c.message), std::string::npos) << messages[0];
        } else {
            EXPECT_TRUE(messages.empty()) << messages[0];
        }
    }
}

TEST(DatabaseKeysTest, TagsWithoutColumnsAreNotedOncePerTable)
{
    TempDir dir;
    TableBuilder().Field("A", 'C', 3).Field("N", 'N', 3).Field("M", 'M', 10).WriteTo(dir.File("t.dbf"));
    IndexBuilder()
        .Tag("UP", "UPPER(a)").Tag("SUMA", "a+n").Tag("MEMO", "m").Tag("FILTRO", "a", 0, "n > 1").Tag("BIEN", " A ")
        .WriteTo(dir.File("t.cdx"));
    DatabaseContainer::Table listed;
    listed.Name = "t";
    listed.Tags = { { "up", false }, { "suma", false }, { "memo", false }, { "filtro", false }, { "bien", false },
                    { "falta", false } };
    mDBase table;
    ASSERT_EQ(table.Open(dir.File("t.dbf").c_str()), 1);
    StructuralIndex index;
    index.Open(dir.File("t.dbf").c_str());
    DatabaseKeys keys;
    keys.SetKeys(keys.AddTable("t"), listed, table, index);
    ASSERT_EQ(keys.KeysOf(0).size(), 1u);
    EXPECT_EQ(keys.KeysOf(0)[0].Fields, std::vector<int>{ 0 });
    const std::vector<std::string> messages = keys.TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("up (UPPER(a)), suma (a+n), memo (m), filtro (FOR n > 1), falta ("), std::string::npos)
        << messages[0];
}

} // namespace

namespace {

TEST(DatabaseKeysTest, DialectsRefuseKeysTheirDatabaseCannotHold)
{
    SqlTable table;
    table.Name = "t";
    const auto column = [&](const std::string& name, const std::string& type) {
        SqlColumn added;
        added.Name = name;
        added.Type = type;
        added.Value = SqlValue::Characters;
        table.Columns.push_back(added);
        return name;
    };
    const std::string small = column("corto", "VARCHAR(10)"), text = column("largo", "TEXT");
    std::vector<std::string> wide;
    for (int i = 0; i < 17; ++i)
        wide.push_back(column("c" + std::to_string(i), "VARCHAR(100)"));
    const auto key = [&](std::vector<std::string> columns) {
        return SqlKey{ SqlKey::Kind::Unique, "k", "t", std::move(columns), {}, {} };
    };
    const struct {
        const char* dialect;
        SqlKey key;
        const char* problem; // part of it; empty: held
    } cases[] = {
        { "mysql", key({ small }), "" },
        { "mysql", key({ small, text }), "largo es TEXT" },
        { "mysql", key({ wide.begin(), wide.begin() + 8 }), "3072 bytes" },
        { "mysql", key(wide), "16 columnas" },
        { "postgresql", key(wide), "" },
        { "postgresql", key(std::vector<std::string>(33, small)), "32 columnas" },
        { "sqlite", key(std::vector<std::string>(33, small)), "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialect + std::to_string(c.key.Columns.size()));
        const std::string problem = SqlDialect::Named(c.dialect)->KeyProblem(c.key, table);
        EXPECT_EQ(problem.empty(), *c.problem == '\0') << problem;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
    // MySQL's key columns compare bytes, not letters as its default collation does.
    table.Keys = { key({ small }) };
    const std::string created = SqlDialect::Named("mysql")->BeginTable(table);
    EXPECT_NE(created.find("`corto` VARCHAR(10) COLLATE utf8mb4_bin,\n    `largo` TEXT,"), std::string::npos) << created;
}

} // namespace
