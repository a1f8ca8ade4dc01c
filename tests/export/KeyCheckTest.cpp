// The keys of a database's tables, checked against the data as the script
// writes it: values the database holds as equal repeat a key, a missing value
// breaks a primary key, and a child without its parent a foreign key, even
// where the values' hashes match.

#include "export/KeyCheck.h"
#include "export/SqlKeyNaming.h"
#include "export/SqlKeyValues.h"
#include "export/SqlNames.h"
#include "export/SqlTableDescription.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::ContainerBuilder;
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
    const std::unique_ptr<SqlDialect> dialect = SqlDialect::Named("postgresql");
    SqlKeyValues values(DescribeSqlTable(*dialect, table, "t", converter), *dialect, converter);
    KeyCheck check(keys);
    check.Check(t, table, values, false);
    check.CheckForeignKeys();
    held = !keys.KeysOf(t).empty() && keys.KeysOf(t)[0].Held;
    return keys.TakeMessages();
}

TEST(KeyCheckTest, KeysAreCheckedAsTheDatabaseComparesValues)
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

// The keys a PostgreSQL script declares for the tables of the container,
// checked with the hash given, and what is said of those left out.
std::vector<std::string> Declared(const std::string& dbc, KeyCheck::Hash hash, std::string& messages)
{
    DatabaseContainer container;
    container.Open(dbc.c_str());
    const std::unique_ptr<SqlDialect> dialect = SqlDialect::Named("postgresql");
    const CodePageConverter converter(kCodePageWindows1252);
    SqlNames names(*dialect);
    DatabaseKeys keys;
    std::vector<const DatabaseContainer::Table*> listed;
    std::vector<SqlTable> tables;
    for (const DatabaseContainer::Table& entry : container.GetTables()) {
        mDBase table;
        EXPECT_EQ(table.Open(container.TablePath(entry).GetString()), 1);
        StructuralIndex index;
        index.Open(container.TablePath(entry).GetString());
        keys.SetKeys(keys.AddTable(entry.Name), entry, table, index);
        listed.push_back(&entry);
        tables.push_back(DescribeSqlTable(*dialect, table, names.Add(entry.Name.View()), converter));
    }
    keys.AddRelations(container, listed);
    KeyCheck check(keys, hash);
    for (size_t t = 0; t < tables.size(); ++t) {
        mDBase table;
        table.Open(container.TablePath(*listed[t]).GetString());
        SqlKeyValues values(tables[t], *dialect, converter);
        check.Check(t, table, values, false);
    }
    check.CheckForeignKeys();
    std::vector<std::string> declared;
    for (const SqlKey& key : SqlKeyNaming(keys).Declared(tables, *dialect, names, converter))
        declared.push_back(key.Name);
    for (const std::string& message : keys.TakeMessages())
        messages += message;
    return declared;
}

std::uint64_t OneHash(std::string_view /*bytes*/) { return 42; }

TEST(KeyCheckTest, ValuesOfOneHashAreComparedThemselves)
{
    // Every value of the same hash, as where two collide: the values
    // themselves still decide.
    const struct {
        const char* what;
        std::vector<std::string> parents, children;
        std::vector<std::string> declared;
        const char* message; // part of what is said; empty: nothing
    } cases[] = {
        { "orphan", { "1", "2" }, { "1", "3" }, { "p_id_pkey", "c_pid_idx" },
          "pid hacia p: el registro 2 no tiene registro padre" },
        { "all found", { "1", "2", "30" }, { "2", "1", "2" }, { "p_id_pkey", "c_pid_idx", "c_pid_fkey" }, "" },
        { "repeated", { "1", "2", "1" }, { "1" }, { "c_pid_idx" }, "primaria id: el valor del registro 3 se repite" },
    };
    const auto table = [](const char* name, const std::vector<std::string>& values) {
        TableBuilder built;
        built.Field(name, 'N', 4);
        for (const std::string& value : values)
            built.Record({ std::string(4 - value.size(), ' ') + value });
        return built;
    };
    for (const auto& c : cases) {
        TempDir dir;
        ContainerBuilder dbc;
        const int parent = dbc.Table("p", "p.dbf", "id");
        dbc.Field(parent, "id");
        dbc.Index(parent, "id", true);
        const int child = dbc.Table("c", "c.dbf");
        dbc.Field(child, "pid");
        dbc.Index(child, "pid", false);
        dbc.Relation(child, "pid", "p", "id");
        dbc.WriteTo(dir.File("db"));
        table("ID", c.parents).WriteTo(dir.File("p.dbf"));
        IndexBuilder().Tag("ID", "id", IndexBuilder::kCandidate).WriteTo(dir.File("p.cdx"));
        table("PID", c.children).WriteTo(dir.File("c.dbf"));
        IndexBuilder().Tag("PID", "pid").WriteTo(dir.File("c.cdx"));
        for (const KeyCheck::Hash hash : { &KeyCheck::StandardHash, &OneHash }) {
            SCOPED_TRACE(std::string(c.what) + (hash == &OneHash ? ", one hash" : ""));
            std::string messages;
            EXPECT_EQ(Declared(dir.File("db.dbc"), hash, messages), c.declared);
            EXPECT_EQ(messages.empty(), *c.message == '\0') << messages;
            EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
        }
    }
}

} // namespace
