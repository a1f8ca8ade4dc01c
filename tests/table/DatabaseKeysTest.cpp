// Finding a database's keys: which tags of a member table's index name
// fields, and what is said of those that do not.

#include "table/DatabaseKeys.h"
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
