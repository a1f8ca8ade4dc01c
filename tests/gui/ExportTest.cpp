// The export command, driven through the real save dialog, format dialog
// and message boxes.

#include "app/Resource.h"
#include "framework/CFile.h"
#include "framework/CWinApp.h"
#include "tests/gui/ProgramDriver.h"
#include "tests/support/FullDisk.h"
#include "tests/support/Files.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>


using gui::MessageBoxInfo;
using gui::ProgramDriver;
using gui::RunProgram;
using testing_support::Bytes;
using testing_support::Exists;
using testing_support::ReadAll;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

class ExportCommandTest : public ::testing::Test {
protected:
    std::string Table()
    {
        const std::string path = dir.File("socios.dbf");
        TableBuilder().Field("NOMBRE", 'C', 6).Field("CUOTA", 'N', 4).Field("ID", 'I', 4)
            .Record({ "JUAN", "  15", Bytes({ 0x80, 0, 0, 5 }) })
            .Record({ "Pe\xF1" "a\"", "-2", Bytes({ 0x7F, 0xFF, 0xFF, 0xFF }) })
            .WriteTo(path);
        return path;
    }

    // "Exportar a txt" and the save dialog answered with the path.
    static void StartExport(ProgramDriver& program, const std::string& path)
    {
        program.Click(program.Main(), IDC_EXPORT);
        program.AnswerFileDialog(path);
    }

    // The format dialog as it opens, answered with a layout and a character.
    static HWND AnswerFormat(ProgramDriver& program, int layoutButton, const char* character = "")
    {
        HWND format = program.WaitForDialog("Formato");
        if (!format)
            return nullptr;
        program.Click(format, layoutButton);
        ::SendMessageA(::GetDlgItem(format, IDC_OTHER_CHAR), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(character));
        program.Click(format, IDOK);
        return format;
    }

    static void ExpectDone(ProgramDriver& program)
    {
        const MessageBoxInfo box = program.WaitForMessageBox();
        EXPECT_EQ(box.text, "Done");
        EXPECT_EQ(box.caption, std::string(AfxGetApp()->m_pszAppName.View()));
        EXPECT_EQ(box.icon, ::LoadIcon(nullptr, IDI_EXCLAMATION));
        program.PressOk(box);
    }

    // "Exportar a txt" on an existing file: the save dialog asks whether to
    // replace it, and is answered Yes.
    static void ExportReplacing(ProgramDriver& program, const std::string& path)
    {
        program.Click(program.Main(), IDC_EXPORT);
        program.AnswerFileDialog(path, false);
        const MessageBoxInfo box = program.WaitForMessageBox();
        ASSERT_NE(box.window, nullptr);
        EXPECT_NE(::GetDlgItem(box.window, IDNO), nullptr) << "not a question: " << box.text;
        program.Click(box.window, IDYES);
        ASSERT_TRUE(ProgramDriver::WaitUntil([&] { return !::IsWindow(box.window); }));
    }

    // True when no message box comes up within a second.
    static bool NoMessageBox(ProgramDriver& program)
    {
        ::Sleep(1000);
        return program.TopLevelCount() == 1;
    }

    TempDir dir;
};

TEST_F(ExportCommandTest, EachLayoutByteForByteThenDone)
{
    const std::string table = Table();
    const struct { int button; const char* character; const char* file; std::string bytes; } layouts[] = {
        { IDC_FIXED, "", "fija.txt", "JUAN    15\r\nPe\xF1" "a\" -2  \r\n" },
        { IDC_TAB, "", "tab.txt", "JUAN\t15\t5\r\nPe\xF1" "a\"\t-2  \t-1\r\n" },
        { IDC_COMMA, "", "comas.txt", "\"JUAN\",15,5\r\n\"Pe\xF1" "a\"\"\",-2  ,-1\r\n" },
        { IDC_OTHER, "|", "otro.txt", "JUAN|15|5\r\nPe\xF1" "a\"|-2  |-1\r\n" },
        { IDC_OTHER, "", "nada.txt", "JUAN155\r\nPe\xF1" "a\"-2  -1\r\n" },
        // A character typed with another layout chosen is ignored.
        { IDC_TAB, ";", "tab2.txt", "JUAN\t15\t5\r\nPe\xF1" "a\"\t-2  \t-1\r\n" },
    };
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(table);
        for (const auto& layout : layouts) {
            SCOPED_TRACE(layout.file);
            const std::string out = dir.File(layout.file);
            StartExport(program, out);
            AnswerFormat(program, layout.button, layout.character);
            ExpectDone(program);
            EXPECT_EQ(ReadAll(out), layout.bytes);
        }
        // The list still shows the table.
        EXPECT_EQ(program.Cell(0, 0), "JUAN");
    });
}

TEST_F(ExportCommandTest, CancellingEitherDialogSaysDoneAndWritesNothing)
{
    const std::string table = Table();
    const std::string out = dir.File("salida.txt");
    const std::string existing = dir.File("existe.txt");
    TableBuilder::WriteFile(existing, "antiguo");
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(table);
        program.Click(program.Main(), IDC_EXPORT);
        program.CancelFileDialog();
        ExpectDone(program);
        EXPECT_FALSE(Exists(out));

        StartExport(program, out);
        HWND format = program.WaitForDialog("Formato");
        ASSERT_NE(format, nullptr);
        program.Click(format, IDCANCEL);
        ExpectDone(program);
        EXPECT_FALSE(Exists(out));

        // Replacing was confirmed, but the format was cancelled: untouched.
        ExportReplacing(program, existing);
        format = program.WaitForDialog("Formato");
        ASSERT_NE(format, nullptr);
        program.PressKey(program.Focus(), VK_ESCAPE);
        ExpectDone(program);
        EXPECT_EQ(ReadAll(existing), "antiguo");
    });
}

TEST_F(ExportCommandTest, ExistingFileIsReplacedEvenWithoutATable)
{
    const std::string out = dir.File("viejo.txt");
    TableBuilder::WriteFile(out, "contenido viejo");
    RunProgram([&](ProgramDriver& program) {
        // No table has been opened: the file is emptied all the same.
        ExportReplacing(program, out);
        AnswerFormat(program, IDC_COMMA);
        ExpectDone(program);
        EXPECT_TRUE(Exists(out));
        EXPECT_EQ(ReadAll(out), "");
    });
}

TEST_F(ExportCommandTest, NameWithoutExtensionGetsTxt)
{
    const std::string table = Table();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(table);
        StartExport(program, dir.File("informe"));
        AnswerFormat(program, IDC_TAB);
        ExpectDone(program);
        EXPECT_TRUE(Exists(dir.File("informe.txt")));
    });
}

TEST_F(ExportCommandTest, FormatDialogIsFreshEachTimeAndTakesOneCharacter)
{
    const std::string table = Table();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(table);
        StartExport(program, dir.File("uno.txt"));
        AnswerFormat(program, IDC_OTHER, "x");
        ExpectDone(program);

        StartExport(program, dir.File("dos.txt"));
        HWND format = program.WaitForDialog("Formato");
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(::IsDlgButtonChecked(format, IDC_FIXED), BST_CHECKED);
        EXPECT_EQ(::IsDlgButtonChecked(format, IDC_OTHER), BST_UNCHECKED);
        HWND edit = ::GetDlgItem(format, IDC_OTHER_CHAR);
        EXPECT_EQ(program.Text(edit), "");
        EXPECT_EQ(::SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 1);
        EXPECT_TRUE(::IsWindowEnabled(edit));
        EXPECT_EQ(program.Text(::GetDlgItem(format, IDC_COMMA)), "Texto separado por comas (CVS)");

        // Two characters (pasted past the limit) are refused; the dialog stays.
        program.Click(format, IDC_OTHER);
        ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("ab"));
        program.Click(format, IDOK);
        const MessageBoxInfo refusal = program.WaitForMessageBox();
        EXPECT_EQ(refusal.text, "No introduzca m\xE1s de 1 caracteres.");
        EXPECT_EQ(refusal.icon, ::LoadIcon(nullptr, IDI_EXCLAMATION));
        program.PressOk(refusal);
        EXPECT_TRUE(::IsWindow(format));
        ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("y"));
        program.Click(format, IDOK);
        ExpectDone(program);
        EXPECT_EQ(ReadAll(dir.File("dos.txt")), "JUANy15y5\r\nPe\xF1" "a\"y-2  y-1\r\n");
    });
}

TEST_F(ExportCommandTest, FileThatCannotBeCreatedIsReportedAndNotDone)
{
    const std::string table = Table();
    const std::string held = dir.File("ocupado.txt");
    TableBuilder::WriteFile(held, "de otro programa");
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(table);
        CFile holder;
        holder.Open(held.c_str(), CFile::modeRead | CFile::shareExclusive);
        ExportReplacing(program, held);
        AnswerFormat(program, IDC_TAB);
        const MessageBoxInfo box = program.WaitForMessageBox();
        EXPECT_EQ(box.text, "El archivo " + held + " est\xE1 en uso por otro programa.");
        EXPECT_EQ(box.icon, ::LoadIcon(nullptr, IDI_HAND));
        program.PressOk(box);
        EXPECT_TRUE(NoMessageBox(program)) << "a further box (\"Done\"?) came up";
        holder.Close();
        EXPECT_EQ(ReadAll(held), "de otro programa");
    });
}

TEST_F(ExportCommandTest, DiskFullIsReportedAndTheIncompleteFileRemoved)
{
    const std::string full = testing_support::FullDiskFolder();
    if (full.empty())
        GTEST_SKIP() << "no small file system mounted (ORVALIS_FULL_DISK)";
    const std::string table = dir.File("grande.dbf");
    TableBuilder big;
    big.Field("TEXTO", 'C', 250);
    for (int i = 0; i < 1000; ++i)
        big.Record({ "registro " + std::to_string(i) });
    big.WriteTo(table);
    const std::string out = full + "\\grande.txt";
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(table);
        StartExport(program, out);
        AnswerFormat(program, IDC_FIXED);
        const MessageBoxInfo box = program.WaitForMessageBox();
        EXPECT_EQ(box.text, "No queda espacio en el disco para el archivo " + out + ".");
        EXPECT_EQ(box.icon, ::LoadIcon(nullptr, IDI_HAND));
        program.PressOk(box);
        EXPECT_TRUE(NoMessageBox(program)) << "a further box (\"Done\"?) came up";
        EXPECT_FALSE(Exists(out));
        // The program goes on: a smaller export to the same place works.
        program.OpenTableAndWait(Table());
        StartExport(program, full + "\\socios.txt");
        AnswerFormat(program, IDC_COMMA);
        ExpectDone(program);
        EXPECT_TRUE(Exists(full + "\\socios.txt"));
        CFile::Remove((full + "\\socios.txt").c_str());
    });
}

} // namespace

namespace {

// The bytes orvalis-export writes for the table with the option.
std::string CommandLineExport(const std::string& option, const std::string& table, const std::string& output)
{
    const std::string command = "\"\"" + testing_support::HostPath(ORVALIS_EXPORT_PROGRAM) + "\" " + option +
                                " -o \"" + output + "\" \"" + table + "\" 2> NUL\"";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadAll(output);
}

} // namespace

TEST_F(ExportCommandTest, OtherTypesWriteWhatTheCommandLineWritesWithoutAskingTheLayout)
{
    // A memo, accents, a date and a logical: what the typed outputs decode.
    // The program holds its table against other openers: the command line
    // reads the same table in another folder.
    const std::string table = dir.File("pedidos.dbf");
    std::filesystem::create_directory(dir.File("copia"));
    const std::string copy = dir.File("copia/pedidos.dbf");
    TableBuilder builder;
    builder.Field("NOMBRE", 'C', 8).Field("ALTA", 'D', 8).Field("PAGADO", 'L', 1).Field("IMPORTE", 'N', 7, 2)
        .Record({ "Pe\xF1" "a", "20240229", "T", "  12.50" })
        .Record({ "", "        ", "?", "       " });
    builder.WriteTo(table);
    builder.WriteTo(copy);
    const struct { int type; const char* option; const char* file; } types[] = {
        { 1, "--xlsx", "libro.xlsx" },
        { 2, "--jsonl", "lineas.jsonl" },
        { 3, "--sql=postgresql", "postgresql.sql" },
        { 4, "--sql=sqlite", "sqlite.sql" },
        { 5, "--sql=mysql", "mysql.sql" },
    };
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(table);
        program.Click(program.Main(), IDC_EXPORT);
        EXPECT_EQ(program.FileDialogTypes(),
                  (std::vector<std::string>{ "Archivo de texto (*.txt)", "Libro de Excel (*.xlsx)",
                                             "JSON Lines (*.jsonl)", "Script SQL para PostgreSQL (*.sql)", "Script SQL para SQLite (*.sql)",
                                             "Script SQL para MySQL/MariaDB (*.sql)" }));
        program.CancelFileDialog();
        ExpectDone(program);
        for (const auto& type : types) {
            SCOPED_TRACE(type.option);
            // A name without its extension: the type chosen gives it.
            const std::string file = type.file, out = dir.File(file);
            program.Click(program.Main(), IDC_EXPORT);
            program.ChooseFileType(type.type);
            program.AnswerFileDialog(dir.File(file.substr(0, file.find('.'))));
            ExpectDone(program); // and no format dialog before it
            ASSERT_TRUE(Exists(out));
            EXPECT_EQ(ReadAll(out), CommandLineExport(type.option, copy, dir.File(std::string("cli-") + type.file)));
        }
    });
}
