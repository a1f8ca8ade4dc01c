// The list shows each table's texts in Unicode from its code page, with the
// long names of its database; the same as the command line's export reads;
// another code page from the context menu; a table given on the command line;
// and damaged or unknown input told in a message box, the window still working.

#include "app/Resource.h"
#include "framework/CWinApp.h"
#include "tests/gui/ProgramDriver.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/Files.h"
#include "tests/support/ImplodeBuilder.h"
#include "tests/support/MemoBuilder.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using gui::ProgramDriver;
using gui::RunProgram;
using testing_support::ContainerBuilder;
using testing_support::MemoBuilder;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

// A table, the titles and first row the list shows for it in UTF-8.
struct Shown {
    const char* Name;
    std::string Path;
    std::vector<std::string> Titles;
    std::vector<std::string> Row;
};

class TableTextTest : public ::testing::Test {
protected:
    // Code page 850 by its language driver, with a .dbt memo; its names too.
    std::string Dos850()
    {
        MemoBuilder notes(MemoBuilder::DBaseIII);
        const auto first = notes.Add("Se\xA4or L\xA2pez");
        const auto second = notes.Add("Primera l\xA1nea\r\nsegunda");
        notes.WriteTo(dir.File("dos850.dbt"));
        TableBuilder()
            .Version(0x83).LanguageDriver(0x02)
            .Field("NOMBRE", 'C', 12).Field("A\xA5O", 'N', 4).Field("NOTAS", 'M', 10)
            .Record({ "Pe\xA4" "a Mu\xA4oz", "1999", MemoBuilder::Pointer(first) })
            .Record({ "\x80" "ac", "2001", MemoBuilder::Pointer(second) })
            .WriteTo(dir.File("dos850.dbf"));
        return dir.File("dos850.dbf");
    }

    std::string WithCpg(const std::string& name, const std::string& cpg, const std::string& text)
    {
        TableBuilder().Field("NOMBRE", 'C', 16).Record({ text }).WriteTo(dir.File(name + ".dbf"));
        TableBuilder::WriteFile(dir.File(name + ".cpg"), cpg);
        return dir.File(name + ".dbf");
    }

    std::string Cyrillic866()
    {
        TableBuilder().LanguageDriver(0x65).Field("\x88\x8C\x9F", 'C', 10)
            .Record({ "\x8F\xE0\xA8\xA2\xA5\xE2" }).WriteTo(dir.File("cirilico.dbf"));
        return dir.File("cirilico.dbf");
    }

    // A Visual FoxPro table of a database that gives its fields long names.
    std::string Member()
    {
        ContainerBuilder dbc;
        const int table = dbc.Table("clientes_activos", "clientes.dbf");
        dbc.Field(table, "codigo_cliente");
        dbc.Field(table, "nombre_completo");
        dbc.WriteTo(dir.File("empresa"));
        TableBuilder().Version(0x30).LanguageDriver(0x03).AfterTerminator(ContainerBuilder::Backlink("empresa.dbc"))
            .Field("CODIGO_CLI", 'C', 4).Field("NOMBRE_COM", 'C', 12).Record({ "A1", "Mar\xED" "a" })
            .WriteTo(dir.File("clientes.dbf"));
        return dir.File("clientes.dbf");
    }

    std::vector<Shown> Tables()
    {
        return {
            { "850 with a memo", Dos850(), { "NOMBRE", u8"AÑO", "NOTAS" }, { u8"Peña Muñoz", "1999", u8"Señor López" } },
            { ".cpg UTF-8", WithCpg("utf8", "UTF-8\r\n", u8"Łódź ☃"), { "NOMBRE" }, { u8"Łódź ☃" } },
            { "866", Cyrillic866(), { u8"ИМЯ" }, { u8"Привет" } },
            { "member of a database", Member(), { "codigo_cliente", "nombre_completo" }, { "A1", u8"María" } },
        };
    }

    static std::vector<std::string> ShownTitles(ProgramDriver& program)
    {
        std::vector<std::string> titles;
        for (int i = 0; i < program.ColumnCount(); ++i)
            titles.push_back(program.ColumnTitleUtf8(i));
        return titles;
    }

    static std::vector<std::string> ShownRow(ProgramDriver& program, int item)
    {
        std::vector<std::string> row;
        for (int i = 0; i < program.ColumnCount(); ++i)
            row.push_back(program.CellUtf8(item, i));
        return row;
    }

    // The header line and first record the command line's export writes in
    // UTF-8, tab-separated, memo texts included.
    std::vector<std::vector<std::string>> Exported(const std::string& table)
    {
        const std::string out = dir.File("exported.txt");
        const std::string command = "\"\"" + testing_support::HostPath(ORVALIS_EXPORT_PROGRAM) +
                                    "\" --tab --header --memo --utf8 -o \"" + out + "\" \"" + table + "\" 2> \"" +
                                    dir.File("stderr") + "\"\"";
        EXPECT_EQ(std::system(command.c_str()), 0) << command << "\n" << testing_support::ReadAll(dir.File("stderr"));
        std::vector<std::vector<std::string>> lines;
        std::istringstream text(testing_support::ReadAll(out));
        for (std::string line; std::getline(text, line) && lines.size() < 2;) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::vector<std::string> values;
            std::istringstream fields(line);
            for (std::string value; std::getline(fields, value, '\t');)
                values.push_back(value);
            lines.push_back(values);
        }
        return lines;
    }

    TempDir dir;
};

TEST_F(TableTextTest, ListShowsTextsFromTheTableCodePageAsTheCommandLineExportsThem)
{
    const std::vector<Shown> tables = Tables();
    // The command line opens the same files the same way (before the window
    // holds them).
    for (const Shown& table : tables)
        EXPECT_EQ(Exported(table.Path), (std::vector<std::vector<std::string>> { table.Titles, table.Row }))
            << table.Name;
    RunProgram([&](ProgramDriver& program) {
        for (const Shown& table : tables) {
            SCOPED_TRACE(table.Name);
            program.OpenTableAndWait(table.Path);
            EXPECT_EQ(ShownTitles(program), table.Titles);
            EXPECT_EQ(ShownRow(program, 0), table.Row);
        }
        // A memo shows its first line; the ANSI list reads the same texts.
        program.OpenTableAndWait(tables[0].Path);
        EXPECT_EQ(program.CellUtf8(1, 0), u8"Çac");
        EXPECT_EQ(program.CellUtf8(1, 2), u8"Primera línea");
        EXPECT_EQ(program.Cell(0, 0), "Pe\xF1" "a Mu\xF1oz");
    });
}

TEST_F(TableTextTest, ContextMenuShowsTheTableInAnotherCodePageUntilAnotherIsOpened)
{
    const std::string dos = Dos850();
    const std::string cyrillic = Cyrillic866();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(dos);
        program.ChooseFromListMenu({ L"C\u00F3digo de p\u00E1gina", L"1252 " });
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.CellUtf8(0, 0) == u8"Pe¤a Mu¤oz"; }))
            << program.CellUtf8(0, 0);
        EXPECT_EQ(program.ColumnTitleUtf8(1), u8"A¥O");
        EXPECT_EQ(program.CellUtf8(0, 2), u8"Se¤or L¢pez");

        program.ChooseFromListMenu({ L"C\u00F3digo de p\u00E1gina", L"866 " });
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.CellUtf8(0, 0) == u8"Peдa Muдoz"; }))
            << program.CellUtf8(0, 0);

        // Another table is shown in its own code page, and so is this one again.
        program.OpenTableAndWait(cyrillic);
        EXPECT_EQ(program.CellUtf8(0, 0), u8"Привет");
        program.OpenTableAndWait(dos);
        EXPECT_EQ(program.CellUtf8(0, 0), u8"Peña Muñoz");
    });
}

// A file dropped on the window, as the shell hands it over.
HGLOBAL Dropped(const std::string& path)
{
    const size_t size = sizeof(DROPFILES) + path.size() + 2;
    HGLOBAL memory = ::GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    path.copy(reinterpret_cast<char*>(drop + 1), path.size());
    ::GlobalUnlock(memory);
    return memory;
}

TEST_F(TableTextTest, TableGivenOnTheCommandLineOrDroppedOnTheWindowOpens)
{
    const std::string cyrillic = Cyrillic866();
    const std::string dos = Dos850();
    AfxGetApp()->m_lpCmdLine = CString(("  \"" + cyrillic + "\" ").c_str());
    RunProgram([&](ProgramDriver& program) {
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.CaptionLine() == "cirilico.dbf - 1 registros"; }))
            << program.CaptionLine();
        EXPECT_EQ(program.CellUtf8(0, 0), u8"Привет");
        EXPECT_EQ(program.Focus(), program.List());

        program.PostCommand(program.Main(), WM_DROPFILES, reinterpret_cast<WPARAM>(Dropped(dos)));
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.CaptionLine() == "dos850.dbf - 2 registros"; }))
            << program.CaptionLine();
        EXPECT_EQ(program.CellUtf8(0, 0), u8"Peña Muñoz");
    });
    AfxGetApp()->m_lpCmdLine.Empty();
}

TEST_F(TableTextTest, BadInputIsToldAndTheWindowKeepsWorking)
{
    // A missing memo file, .cpg files naming nothing known or a code page
    // the system lacks, and compressed tables damaged in their header or
    // their records.
    TableBuilder().Field("NOMBRE", 'C', 8).Field("NOTAS", 'M', 10).Record({ "Pe\xF1" "a", MemoBuilder::Pointer(3) })
        .WriteTo(dir.File("sinmemo.dbf"));
    const TableBuilder small = TableBuilder().Field("A", 'C', 4).Record({ "uno" }).Record({ "dos" });
    std::string badCrc = testing_support::LiteralTable(small.Bytes());
    badCrc[small.Header().size()] ^= 1;
    TableBuilder::WriteFile(dir.File("crc.dbc"), badCrc);
    TableBuilder::WriteFile(dir.File("corta.dbc"), badCrc.substr(0, small.Header().size() - 1));
    const struct {
        std::string Path;
        const char* Says;
        const char* Cell; // the first cell once the box is closed, in ANSI; null: no table shown
    } cases[] = {
        { dir.File("sinmemo.dbf"), "Los campos memo muestran el n\xFAmero de su bloque.", "Pe\xF1" "a" },
        { WithCpg("klingon", "KLINGON", "Pe\xF1" "a"), "no nombra una p\xE1gina de c\xF3" "digos conocida", "Pe\xF1" "a" },
        { WithCpg("falta", "65500", "Pe\xF1" "a"), "no nombra una p\xE1gina de c\xF3" "digos conocida", "Pe\xF1" "a" },
        { dir.File("crc.dbc"), "da\xF1" "ado", "" },
        { dir.File("corta.dbc"), "da\xF1" "ado", nullptr },
    };
    const std::string good = Cyrillic866();
    std::vector<std::string> before;
    for (const auto& bad : cases)
        before.push_back(testing_support::ReadAll(bad.Path));
    RunProgram([&](ProgramDriver& program) {
        for (const auto& bad : cases) {
            SCOPED_TRACE(bad.Path);
            program.OpenTable(bad.Path);
            const gui::MessageBoxInfo box = program.WaitForMessageBox();
            EXPECT_NE(box.text.find(bad.Says), std::string::npos) << box.text;
            program.PressOk(box);
            if (bad.Cell)
                EXPECT_EQ(program.Cell(0, 0), bad.Cell);
            else
                EXPECT_EQ(program.ColumnCount(), 0);
            EXPECT_EQ(program.TopLevelCount(), 1);
            program.OpenTableAndWait(good);
            EXPECT_EQ(program.CellUtf8(0, 0), u8"Привет");
        }
    });
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(testing_support::ReadAll(cases[i].Path), before[i]) << "written to " << cases[i].Path;
}

} // namespace
