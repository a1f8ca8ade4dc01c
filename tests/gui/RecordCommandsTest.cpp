// The list's record commands, driven by their keys and the context menu:
// copy to the clipboard, go to a record, find a text, and the record view.

#include "app/RecordViewDialog.h"
#include "app/Resource.h"
#include "app/SearchProgress.h"
#include "tests/gui/ProgramDriver.h"
#include "tests/support/MemoBuilder.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using gui::ProgramDriver;
using gui::RunProgram;
using testing_support::MemoBuilder;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

constexpr char kMemo[] = "Primera l\xEDnea\r\nSegunda \"l\xEDnea\"";

class RecordCommandsTest : public ::testing::Test {
protected:
    // Three clients, the second with a memo, a tab and quotes.
    std::string Clients()
    {
        MemoBuilder memo(MemoBuilder::DBaseIII);
        const std::uint32_t block = memo.Add(kMemo);
        memo.WriteTo(dir.File("clientes.dbt"));
        const std::string path = dir.File("clientes.dbf");
        TableBuilder()
            .Version(0x83)
            .Field("NOMBRE", 'C', 20).Field("NOTA", 'M', 10).Field("IMPORTE", 'N', 8, 2)
            .Record({ "PE\xD1" "A MU\xD1OZ", "", "   12.50" })
            .Record({ "Dijo \"hola\"\tya", MemoBuilder::Pointer(block), "    3.00" })
            .Record({ "pe\xF1" "a y otros", "", "" })
            .WriteTo(path);
        return path;
    }

    // The list takes the focus, as the open command leaves it on its button.
    static void FocusList(ProgramDriver& program)
    {
        ::PostMessageA(program.Main(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(program.List()), TRUE);
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.Focus() == program.List(); }));
    }
    static void Select(ProgramDriver& program, int item)
    {
        LVITEMA state {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageA(program.List(), LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
    }
    static int Selected(ProgramDriver& program)
    {
        return static_cast<int>(::SendMessageA(program.List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    static bool WaitForSelected(ProgramDriver& program, int item)
    {
        return ProgramDriver::WaitUntil([&] { return Selected(program) == item; });
    }
    // Waits for the box, types the text into its edit field and presses Enter there.
    static HWND Answer(ProgramDriver& program, const std::string& title, int edit, const std::string& text)
    {
        HWND box = program.WaitForDialog(title);
        if (!box)
            return nullptr;
        ::SendMessageA(::GetDlgItem(box, edit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        program.PressKey(::GetDlgItem(box, edit), VK_RETURN);
        return box;
    }
    static void ExpectMessage(ProgramDriver& program, const std::string& text)
    {
        const gui::MessageBoxInfo box = program.WaitForMessageBox();
        EXPECT_EQ(box.text, text);
        program.PressOk(box);
    }

    TempDir dir;
};

TEST_F(RecordCommandsTest, CopyPutsTitlesAndTheRecordOnTheClipboard)
{
    const std::string path = Clients();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        ProgramDriver::EmptyClipboard();
        // Nothing selected: nothing to copy.
        program.Chord({ VK_CONTROL }, 'C');
        ::Sleep(300);
        EXPECT_EQ(ProgramDriver::ClipboardText(), L"");

        const std::wstring titles = L"NOMBRE\tNOTA\tIMPORTE\r\n";
        struct Case {
            int item;
            std::wstring line;
        } cases[] = {
            { 0, L"PE\u00D1A MU\u00D1OZ\t\t   12.50\r\n" },
            // A tab or quotes quote the value; the memo is its whole text.
            { 1, L"\"Dijo \"\"hola\"\"\tya\"\t\"Primera l\u00EDnea\r\nSegunda \"\"l\u00EDnea\"\"\"\t    3.00\r\n" },
        };
        for (const Case& c : cases) {
            Select(program, c.item);
            ProgramDriver::EmptyClipboard();
            program.Chord({ VK_CONTROL }, 'C');
            EXPECT_TRUE(ProgramDriver::WaitUntil([] { return !ProgramDriver::ClipboardText().empty(); }));
            EXPECT_EQ(ProgramDriver::ClipboardText(), titles + c.line) << "record " << c.item + 1;
            EXPECT_EQ(Selected(program), c.item);
        }
        // For older programs, the same in the system's code page.
        EXPECT_EQ(ProgramDriver::ClipboardAnsiText(),
                  "NOMBRE\tNOTA\tIMPORTE\r\n\"Dijo \"\"hola\"\"\tya\"\t\"Primera l\xEDnea\r\nSegunda \"\"l\xEDnea\"\"\"\t    3.00\r\n");

        // "Copiar", the context menu's item after "Código de página", from the keyboard.
        FocusList(program);
        Select(program, 0);
        ProgramDriver::EmptyClipboard();
        program.Chord({ VK_SHIFT }, VK_F10);
        ASSERT_TRUE(ProgramDriver::WaitUntil([] { return ::FindWindowA("#32768", nullptr) != nullptr; }))
            << "no context menu";
        program.Chord({}, VK_DOWN);
        program.Chord({}, VK_DOWN);
        program.Chord({}, VK_RETURN);
        EXPECT_TRUE(ProgramDriver::WaitUntil([] { return !ProgramDriver::ClipboardText().empty(); }));
        EXPECT_EQ(ProgramDriver::ClipboardText(), titles + cases[0].line);
        program.PressKey(program.Main(), VK_ESCAPE);
    });
}

TEST_F(RecordCommandsTest, GoToSelectsTheRecordOrRefusesANumberOutsideTheTable)
{
    const std::string path = Clients();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        Select(program, 0);
        program.Chord({ VK_CONTROL }, 'G');
        HWND box = program.WaitForDialog("Ir al registro");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(program.ItemText(box, IDC_GOTO_PROMPT), "&N\xFAmero de registro (de 1 a 3):");
        // The selected record's number is offered.
        EXPECT_EQ(program.ItemText(box, IDC_GOTO_NUMBER), "1");
        const struct {
            const char* typed;
            const char* message;
        } refused[] = {
            { "", "Escriba un n\xFAmero de registro, de 1 a 3." },
            { "0", "No hay ning\xFAn registro 0: la tabla tiene registros de 1 a 3." },
            { "4", "No hay ning\xFAn registro 4: la tabla tiene registros de 1 a 3." },
            { "99999999999", "No hay ning\xFAn registro 99999999999: la tabla tiene registros de 1 a 3." },
        };
        for (const auto& r : refused) {
            Answer(program, "Ir al registro", IDC_GOTO_NUMBER, r.typed);
            ExpectMessage(program, r.message);
            // The box stays for another number; nothing else changed.
            EXPECT_TRUE(::IsWindowVisible(box));
            EXPECT_EQ(Selected(program), 0);
        }
        Answer(program, "Ir al registro", IDC_GOTO_NUMBER, " 3 ");
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return !::IsWindow(box); }));
        EXPECT_TRUE(WaitForSelected(program, 2));
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.Focus() == program.List(); }));

        // Enter in the list still moves on to "Abrir dbf".
        program.PressKey(program.List(), VK_RETURN);
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.Focus() == ::GetDlgItem(program.Main(), IDC_OPEN); }));
        // Cancelled: nothing changes.
        program.Chord({ VK_CONTROL }, 'G');
        box = program.WaitForDialog("Ir al registro");
        program.PressKey(::GetDlgItem(box, IDC_GOTO_NUMBER), VK_ESCAPE);
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return !::IsWindow(box); }));
        EXPECT_EQ(Selected(program), 2);
        program.PressKey(program.Main(), VK_ESCAPE);
    });
}

TEST_F(RecordCommandsTest, FindGoesOnFromTheSelectionWrapsAndSaysWhenNothingHoldsTheText)
{
    const std::string path = Clients();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        // From the first record, whatever the letter case.
        program.Chord({ VK_CONTROL }, 'F');
        Answer(program, "Buscar", IDC_FIND_TEXT, "pe\xF1" "a");
        EXPECT_TRUE(WaitForSelected(program, 0));
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.Focus() == program.List(); }));
        // F3: the next, then round to the first again.
        program.Chord({}, VK_F3);
        EXPECT_TRUE(WaitForSelected(program, 2));
        program.Chord({}, VK_F3);
        EXPECT_TRUE(WaitForSelected(program, 0));
        // A number as the list shows it, in the only record that holds it.
        Select(program, 1);
        program.Chord({ VK_CONTROL }, 'F');
        HWND box = program.WaitForDialog("Buscar");
        EXPECT_EQ(program.WideText(::GetDlgItem(box, IDC_FIND_TEXT)), L"pe\u00F1a");
        Answer(program, "Buscar", IDC_FIND_TEXT, "3.00");
        // The selected record is tried last.
        ::Sleep(300);
        EXPECT_EQ(Selected(program), 1);
        EXPECT_EQ(program.TopLevelCount(), 1);
        // Not there: said so, and the selection stays.
        program.Chord({ VK_CONTROL }, 'F');
        Answer(program, "Buscar", IDC_FIND_TEXT, "zz\"z");
        ExpectMessage(program, "No se encontr\xF3 \xABzz\"z\xBB.");
        EXPECT_EQ(Selected(program), 1);
        program.PressKey(program.Main(), VK_ESCAPE);
    });
}

TEST_F(RecordCommandsTest, RecordViewShowsEveryNameAndWholeValue)
{
    const std::string path = Clients();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        Select(program, 1);
        program.Chord({ VK_MENU }, VK_RETURN);
        HWND box = program.WaitForDialog("Registro 2 de 3");
        ASSERT_NE(box, nullptr);
        const int first = RecordViewDialog::kFirstValueId;
        EXPECT_EQ(program.WideText(::GetDlgItem(box, first)), L"Dijo \"hola\"\tya");
        EXPECT_EQ(program.WideText(::GetDlgItem(box, first + 1)), L"Primera l\u00EDnea\r\nSegunda \"l\u00EDnea\"");
        EXPECT_EQ(program.WideText(::GetDlgItem(box, first + 2)), L"    3.00");
        EXPECT_EQ(::GetDlgItem(box, first + 3), nullptr);
        // Read-only, and the memo in a box of several lines.
        EXPECT_TRUE(::GetWindowLongA(::GetDlgItem(box, first + 1), GWL_STYLE) & ES_READONLY);
        EXPECT_TRUE(::GetWindowLongA(::GetDlgItem(box, first + 1), GWL_STYLE) & ES_MULTILINE);
        program.PressKey(program.Focus(), VK_ESCAPE);
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return !::IsWindow(box); }));
        EXPECT_TRUE(::IsWindow(program.Main()));
        program.PressKey(program.Main(), VK_ESCAPE);
    });
}

// A table in a code page of its own (866, by its language driver): the
// search compares its letters in Unicode, and the copy gives them as shown.
TEST_F(RecordCommandsTest, FindAndCopyInTheTablesCodePage)
{
    const std::string path = dir.File("cirilico.dbf");
    TableBuilder()
        .LanguageDriver(0x65)
        .Field("NOMBRE", 'C', 10)
        .Record({ "IVANOV" })
        .Record({ "\x8F\x85\x92\x90\x8E\x82" }) // ПЕТРОВ
        .WriteTo(path);
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        program.Chord({ VK_CONTROL }, 'F');
        HWND box = program.WaitForDialog("Buscar");
        ASSERT_NE(box, nullptr);
        ::SendMessageW(::GetDlgItem(box, IDC_FIND_TEXT), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(L"\u043F\u0435\u0442\u0440\u043E\u0432")); // петров
        program.PressKey(::GetDlgItem(box, IDC_FIND_TEXT), VK_RETURN);
        EXPECT_TRUE(WaitForSelected(program, 1));
        ProgramDriver::EmptyClipboard();
        program.Chord({ VK_CONTROL }, 'C');
        EXPECT_TRUE(ProgramDriver::WaitUntil([] { return !ProgramDriver::ClipboardText().empty(); }));
        EXPECT_EQ(ProgramDriver::ClipboardText(), L"NOMBRE\r\n\u041F\u0415\u0422\u0420\u041E\u0412\r\n");
        program.PressKey(program.Main(), VK_ESCAPE);
    });
}

// A table of many fields scrolls, and reaching a field with Tab brings it into view.
TEST_F(RecordCommandsTest, RecordViewOfManyFieldsScrollsToTheFocusedField)
{
    TableBuilder table;
    std::vector<std::string> values;
    for (int i = 0; i < 100; ++i) {
        table.Field("CAMPO" + std::to_string(i), 'C', 6);
        values.push_back("v" + std::to_string(i));
    }
    table.Record(values);
    const std::string path = dir.File("ancha.dbf");
    table.WriteTo(path);
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        Select(program, 0);
        program.Chord({ VK_MENU }, VK_RETURN);
        HWND box = program.WaitForDialog("Registro 1 de 1");
        ASSERT_NE(box, nullptr);
        HWND last = ::GetDlgItem(box, RecordViewDialog::kFirstValueId + 99);
        EXPECT_EQ(program.WideText(last), L"v99");
        RECT client;
        ::GetClientRect(box, &client);
        EXPECT_GT(gui::ChildRect(last).top, client.bottom);
        // From the first, back round to the last.
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.Focus() == ::GetDlgItem(box, RecordViewDialog::kFirstValueId); }));
        program.Chord({ VK_SHIFT }, VK_TAB);
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.Focus() == last; }));
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] {
            const RECT at = gui::ChildRect(last);
            return at.top >= 0 && at.bottom <= client.bottom;
        }));
        program.PressKey(program.Focus(), VK_ESCAPE);
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return !::IsWindow(box); }));
        program.PressKey(program.Main(), VK_ESCAPE);
    });
}

// A search that shows its progress box stops at Escape: no message, the
// selection as it was.
TEST_F(RecordCommandsTest, LongSearchCanBeCancelled)
{
    const std::string path = dir.File("grande.dbf");
    {
        TableBuilder table;
        table.Field("C", 'C', 1).RecordCount(1000000);
        std::ofstream out(path, std::ios::binary);
        out << table.Header() << std::string(2000000, ' ') << '\x1A';
    }
    const unsigned delay = SearchProgress::DelayMs;
    SearchProgress::DelayMs = 0;
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        Select(program, 4);
        program.Chord({ VK_CONTROL }, 'F');
        HWND box = Answer(program, "Buscar", IDC_FIND_TEXT, "x");
        // Queued behind the search's start: the search takes it.
        program.PressKey(program.List(), VK_ESCAPE);
        ASSERT_TRUE(ProgramDriver::WaitUntil([&] { return !::IsWindow(box); }));
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return ::IsWindowEnabled(program.Main()) != FALSE; }));
        ::Sleep(300);
        EXPECT_EQ(program.TopLevelCount(), 1) << "a box is still open";
        EXPECT_EQ(Selected(program), 4);
        EXPECT_TRUE(::IsWindow(program.Main()));
        program.PressKey(program.Main(), VK_ESCAPE);
    });
    SearchProgress::DelayMs = delay;
}

} // namespace
