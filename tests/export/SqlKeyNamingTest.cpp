// What each dialect's database can hold as a key on a table's columns, which
// decides the keys a script declares.

#include "export/SqlDialect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SqlKeyNamingTest, DialectsRefuseKeysTheirDatabaseCannotHold)
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
