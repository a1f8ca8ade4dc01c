// The table a script creates for a dBase table, asked for without a writer:
// the types MySQL's rows leave room for, and tables no database takes.

#include "export/SqlTableDescription.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

class SqlTableDescriptionTest : public ::testing::Test {
protected:
    // The table as the dialect's script creates it.
    SqlTable Described(const TableBuilder& builder, const char* dialect)
    {
        builder.WriteTo(dir.File("tabla.dbf"));
        mDBase table;
        EXPECT_EQ(table.Open(dir.File("tabla.dbf").c_str()), 1);
        return DescribeSqlTable(*SqlDialect::Named(dialect), table, "Tabla", CodePageConverter(kCodePageWindows1252));
    }

    TempDir dir;
};

TEST_F(SqlTableDescriptionTest, MySqlCharacterFieldsAreVarcharWhileTheRowFits)
{
    // InnoDB keeps about 8,126 bytes of a row in its page, 4 a character;
    // the server takes rows of up to 65,535 bytes; VARCHAR takes up to
    // 16,383 characters, TEXT 65,535 bytes.
    const auto fields = [](int count, std::uint16_t length) {
        TableBuilder table;
        for (int i = 0; i < count; ++i)
            table.Field("C" + std::to_string(i), 'C', length);
        return table.Field("N", 'N', 10, 2).Record({});
    };
    const struct {
        const char* what;
        TableBuilder table;
        const char* first;
        const char* last;
    } cases[] = {
        { "a few", fields(10, 40), "VARCHAR(40)", "VARCHAR(40)" },
        { "past the page", fields(150, 24), "VARCHAR(24)", "TEXT" },
        { "past the server's row", fields(60, 300), "VARCHAR(300)", "TEXT" },
        { "longer than a VARCHAR", fields(1, 20000), "TEXT", "TEXT" },
        { "longer than a TEXT", fields(1, 30000), "MEDIUMTEXT", "MEDIUMTEXT" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SqlTable table = Described(c.table, "mysql");
        ASSERT_GE(table.Columns.size(), 2u);
        EXPECT_EQ(table.Name, "tabla");
        EXPECT_EQ(table.Columns.front().Name, "c0");
        EXPECT_EQ(table.Columns.front().Type, c.first);
        EXPECT_EQ(table.Columns[table.Columns.size() - 2].Type, c.last);
        EXPECT_EQ(table.Columns.back().Name, "n");
        EXPECT_EQ(table.Columns.back().Type, "DECIMAL(10,2)");
    }
}

TEST_F(SqlTableDescriptionTest, TablesNoDatabaseTakesFailNamingTheFile)
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
        for (const char* dialect : { "postgresql", "sqlite", "mysql" }) {
            SCOPED_TRACE(std::string(c.what) + ", " + dialect);
            try {
                Described(c.table, dialect);
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
