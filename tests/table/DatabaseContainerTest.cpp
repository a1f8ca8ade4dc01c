// Visual FoxPro databases: the container's long names, tags and relations,
// the tag expressions of a structural index, and the long names a member
// table finds through its backlink; damaged files give a message naming them.

#include "framework/CFile.h"
#include "table/DatabaseContainer.h"
#include "table/StructuralIndex.h"
#include "table/mDBase.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using testing_support::ContainerBuilder;
using testing_support::IndexBuilder;
using testing_support::Properties;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

std::string Str(const CString& s) { return std::string(s.View()); }

std::vector<std::string> Strs(const std::vector<CString>& names)
{
    std::vector<std::string> out;
    for (const CString& name : names)
        out.push_back(Str(name));
    return out;
}

// The message of the CFileException that f raises; empty when none.
template <class F>
std::string Failure(F&& f)
{
    try {
        f();
    } catch (const CFileException& e) {
        return Str(e.GetErrorMessage());
    }
    return {};
}

TEST(DatabaseContainerTest, ReadsTablesFieldsTagsAndRelationsByTheirIds)
{
    TempDir dir;
    ContainerBuilder dbc;
    const int clients = dbc.Table("clientes_de_la_tienda", "Otra Carpeta\\CLIENTES.dbf", "codigo");
    dbc.Field(clients, "viejo", true); // ALTER TABLE left it deleted
    dbc.Field(clients, "codigo");
    dbc.Index(clients, "codigo", true);
    dbc.Index(clients, "nombre", false);
    const int invoices = dbc.Table("facturas", "facturas.dbf");
    dbc.Relation(invoices, "cliente", "CLIENTES_DE_LA_TIENDA", "codigo");
    dbc.Field(clients, "nombre_completo"); // after another table's records: the ids still tell
    // A parent that comes after its child, and properties that end damaged.
    dbc.Object(9, "Field", "huerfano", Properties());
    dbc.Object(1, "Table", "rota", Properties().Text(0x01, "rota.dbf").Entry(0x14, "x").Raw(std::string("\xFF\0\0\0\x01\0\x02yy", 9)));
    dbc.WriteTo(dir.File("Tienda"));
    std::filesystem::create_directory(dir.Path() / "otra carpeta");
    TableBuilder().Field("A", 'C', 1).WriteTo(dir.File("otra carpeta/clientes.DBF"));

    DatabaseContainer container;
    container.Open(dir.File("Tienda.dbc").c_str());
    const auto& tables = container.GetTables();
    ASSERT_EQ(tables.size(), 3u);
    EXPECT_EQ(Str(tables[0].Name), "clientes_de_la_tienda");
    EXPECT_EQ(Strs(tables[0].Fields), (std::vector<std::string>{ "codigo", "nombre_completo" }));
    ASSERT_EQ(tables[0].Tags.size(), 2u);
    EXPECT_EQ(Str(tables[0].Tags[0].Name), "codigo");
    EXPECT_TRUE(tables[0].Tags[0].Candidate);
    EXPECT_FALSE(tables[0].Tags[1].Candidate);
    EXPECT_EQ(Str(tables[0].PrimaryTag), "codigo");
    EXPECT_TRUE(CFile::IsSameFile(container.TablePath(tables[0]), dir.File("otra carpeta/clientes.DBF").c_str()));
    EXPECT_EQ(Str(container.TablePath(tables[1])), ""); // not there
    EXPECT_EQ(Str(tables[2].File), "rota.dbf");     // its entries up to the one that does not fit
    EXPECT_EQ(Str(tables[2].PrimaryTag), "x");
    ASSERT_EQ(container.GetRelations().size(), 1u);
    const auto& relation = container.GetRelations()[0];
    EXPECT_EQ(relation.Child, invoices);
    EXPECT_EQ(Str(relation.ChildTag), "cliente");
    EXPECT_EQ(container.FindTable(relation.Parent.View()), &tables[0]);
    EXPECT_EQ(Str(relation.ParentTag), "codigo");
}

TEST(DatabaseContainerTest, MemberTablesFindTheirLongNamesOrSayWhyNot)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "datos");
    ContainerBuilder dbc;
    const int listed = dbc.Table("contactos_de_clientes", "datos\\contacto.dbf");
    dbc.Field(listed, "company_name");
    dbc.Field(listed, "contact_type_id");
    const int other = dbc.Table("otra", "datos\\otra.dbf");
    dbc.Field(other, "uno");
    dbc.WriteTo(dir.File("empresa"));
    const auto member = [&](const std::string& backlink) {
        return TableBuilder().Version(0x30).AfterTerminator(ContainerBuilder::Backlink(backlink))
            .Field("COMPANY_NA", 'C', 10).Field("CONTACT_T2", 'I', 4).Field("_NullFlags", '0', 1, 0, 0x05);
    };
    member("..\\EMPRESA.DBC").WriteTo(dir.File("datos/Contacto.dbf"));
    member("..\\empresa.dbc").WriteTo(dir.File("datos/otra.dbf"));
    member("..\\nada.dbc").WriteTo(dir.File("datos/sin.dbf"));
    member("..\\empresa.dbc").WriteTo(dir.File("datos/suelta.dbf"));
    member("").WriteTo(dir.File("datos/libre.dbf"));

    struct Case {
        const char* table;
        bool found;
        const char* problem; // part of it
    } cases[] = {
        { "datos/Contacto.dbf", true, "" },
        { "datos/otra.dbf", false, "le da 1 campos y la tabla tiene 2" },
        { "datos/sin.dbf", false, "no se encuentra su base de datos ..\\nada.dbc" },
        { "datos/suelta.dbf", false, "no la lista" },
        { "datos/libre.dbf", false, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        mDBase table;
        ASSERT_EQ(table.Open(dir.File(c.table).c_str()), 1);
        DatabaseContainer::LongNames names;
        CString problem;
        EXPECT_EQ(DatabaseContainer::FindLongNames(table, names, problem), c.found);
        EXPECT_NE(Str(problem).find(c.problem), std::string::npos) << Str(problem);
        EXPECT_EQ(problem.IsEmpty(), *c.problem == '\0');
        if (c.found) {
            EXPECT_EQ(Str(names.Table), "contactos_de_clientes");
            EXPECT_EQ(Strs(names.Fields), (std::vector<std::string>{ "company_name", "contact_type_id" }));
        }
    }
}

TEST(DatabaseContainerTest, WhatIsNoContainerIsRefusedNamingTheFile)
{
    TempDir dir;
    TableBuilder().Version(0x30).Field("A", 'C', 1).WriteTo(dir.File("plain.dbc"));
    TableBuilder().Version(0x30).TableFlags(0x04).Field("A", 'C', 1).WriteTo(dir.File("fields.dbc"));
    ContainerBuilder().Dbc().WriteTo(dir.File("nomemo.dbc"));
    EXPECT_FALSE(DatabaseContainer::IsContainer(dir.File("plain.dbc").c_str()));
    EXPECT_TRUE(DatabaseContainer::IsContainer(dir.File("nomemo.dbc").c_str()));
    for (const char* name : { "plain.dbc", "fields.dbc", "nomemo.dbc", "absent.dbc" }) {
        DatabaseContainer container;
        const std::string message = Failure([&] { container.Open(dir.File(name).c_str()); });
        EXPECT_NE(message.find(dir.File(name).substr(0, dir.File(name).size() - 4)), std::string::npos) << message;
    }
}

TEST(StructuralIndexTest, ReadsEveryTagsExpressionsAndOptions)
{
    TempDir dir;
    IndexBuilder index;
    index.Tag("ID", "id", IndexBuilder::kCandidate)
        .Tag("NAMECITY", "COMPANY_NA + city", IndexBuilder::kCandidate | IndexBuilder::kUnique)
        .Tag("UPPERNAME", "UPPER(company_na)")
        .Tag("ACTIVE", "id", 0, "!DELETED()");
    for (int i = 0; i < 12; ++i) // enough names for a directory of several leaves
        index.Tag("TAG" + std::to_string(i), "campo" + std::to_string(i));
    for (const size_t leaf : { size_t{ 40 }, size_t{ 3 } }) {
        SCOPED_TRACE(leaf);
        index.LeafSize(leaf).WriteTo(dir.File("TABLA.CDX"));
        StructuralIndex read;
        read.Open(dir.File("tabla.dbf").c_str());
        ASSERT_EQ(read.GetTags().size(), 16u);
        const auto tag = [&](const std::string& name) {
            for (const auto& t : read.GetTags())
                if (Str(t.Name) == name)
                    return t;
            ADD_FAILURE() << name;
            return StructuralIndex::Tag();
        };
        EXPECT_EQ(Str(tag("ID").Expression), "id");
        EXPECT_TRUE(tag("ID").Candidate);
        EXPECT_EQ(Str(tag("NAMECITY").Expression), "COMPANY_NA + city");
        EXPECT_TRUE(tag("NAMECITY").Unique);
        EXPECT_FALSE(tag("UPPERNAME").Candidate);
        EXPECT_EQ(Str(tag("ACTIVE").Filter), "!DELETED()");
        EXPECT_EQ(Str(tag("TAG11").Expression), "campo11");
    }
}

TEST(StructuralIndexTest, DamagedIndexesAreRefusedNamingTheFile)
{
    TempDir dir;
    const std::string good = IndexBuilder().Tag("A", "a").Tag("B", "b").LeafSize(1).Bytes();
    const auto with = [&](size_t at, const std::string& bytes) {
        std::string damaged = good;
        damaged.replace(at, bytes.size(), bytes);
        return damaged;
    };
    const std::string cases[] = {
        good.substr(0, 700),                          // cut inside the directory
        with(0, std::string("\x00\x00\x01\x00", 4)),  // root past the end
        with(1024 + 12 + 14, std::string("\x00\x00\x04\x00", 4)), // an interior node pointing at itself
        with(1536 + 2, std::string("\xFF\x00", 2)),   // more keys than a leaf holds
        with(1536 + 0x17, std::string(1, '\0')),      // no bytes per entry
        with(1536 + 0x14, std::string(1, '\x40')),    // 64 record bits
        with(1536 + 0x18, std::string("\x00\x0A\x05", 3)), // more repeated bytes than the key before
        with(0x0C, std::string("\x00\x10", 2)),       // a key longer than a node
        with(2560 + 0x1FE, std::string("\x01\x02", 2)), // an expression past the pool
    };
    for (const std::string& bytes : cases) {
        TableBuilder::WriteFile(dir.File("t.cdx"), bytes);
        StructuralIndex index;
        const std::string message = Failure([&] { index.Open(dir.File("t.dbf").c_str()); });
        EXPECT_NE(message.find(dir.File("t.cdx")), std::string::npos) << message;
        EXPECT_TRUE(index.GetTags().empty());
    }
    std::filesystem::remove(dir.File("t.cdx"));
    StructuralIndex index;
    EXPECT_NE(Failure([&] { index.Open(dir.File("t.dbf").c_str()); }).find("No se encuentra"), std::string::npos);
}

} // namespace
