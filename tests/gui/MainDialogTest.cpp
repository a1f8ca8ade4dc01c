// The main dialog, driven in its real windows: the caption line, the list's
// columns and cells, the failure paths of the open command, the about box,
// the keyboard and the layout.

#include "app/Resource.h"
#include "framework/CFile.h"
#include "framework/CWinApp.h"
#include "tests/gui/ProgramDriver.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

using gui::ProgramDriver;
using gui::RunProgram;
using testing_support::Bytes;
using testing_support::TableBuilder;
using testing_support::TempDir;

namespace {

class MainDialogTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const TableBuilder& table)
    {
        const std::string path = dir.File(name);
        table.WriteTo(path);
        return path;
    }

    // A small table with a field of every type the list renders.
    std::string Clients()
    {
        return Write("clientes.dbf",
                     TableBuilder()
                         .Field("NOMBRE", 'C', 12).Field("IMPORTE", 'N', 8).Field("ALTA", 'D', 8)
                         .Field("ID", 'I', 4).Field("PRECIO", 'O', 8)
                         .Record({ "Pe\xF1" "a  Mar\xEDn", "   12.50", "20261209", Bytes({ 0x80, 0, 0, 7 }),
                                   Bytes({ 0xC0, 0x59, 0, 0, 0, 0, 0, 0 }) })
                         .Record({ "", "      -3", "", Bytes({ 0x7F, 0xFF, 0xFF, 0xFF }),
                                   Bytes({ 0x3F, 0xA6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }) }, '*')
                         .Record({ "  LUIS", "", "19991231", Bytes({ 0, 0, 0, 0 }), Bytes({ 0, 0, 0, 0, 0, 0, 0, 0 }) }));
    }

    static std::string AppName() { return std::string(AfxGetApp()->m_pszAppName.View()); }

    static void ExpectEmptyView(ProgramDriver& program)
    {
        EXPECT_EQ(program.ColumnCount(), 0);
        EXPECT_EQ(program.ItemCount(), 0);
        EXPECT_EQ(program.CaptionLine(), "");
    }

    TempDir dir;
};

TEST_F(MainDialogTest, StartsEmptyWithTheListFocusedAndCentred)
{
    RunProgram([](ProgramDriver& program) {
        HWND main = program.Main();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(program.Text(main), "Orvalis");
        ExpectEmptyView(program);
        EXPECT_EQ(program.Focus(), program.List());
        // Placed at (0, 0) by its template, it opens centred on the work area.
        RECT window;
        RECT work;
        ::GetWindowRect(main, &window);
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_LE(std::abs((window.left + window.right) - (work.left + work.right)), 2);
        EXPECT_LE(std::abs((window.top + window.bottom) - (work.top + work.bottom)), 2);
        // Its icon is the program's, large and small.
        EXPECT_NE(::SendMessageA(main, WM_GETICON, ICON_BIG, 0), 0);
        EXPECT_NE(::SendMessageA(main, WM_GETICON, ICON_SMALL, 0), 0);
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(main, IDC_EXPORT)));
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(main, IDC_NEXT)));
        program.PressKey(main, VK_ESCAPE);
        EXPECT_TRUE(program.WaitForProgramEnd());
    });
}

TEST_F(MainDialogTest, EnterMovesOnAndPressesButtonsButNeverCloses)
{
    RunProgram([](ProgramDriver& program) {
        HWND main = program.Main();
        // From the list, Enter goes to the next tab stop, the open button.
        program.PressKey(program.Focus(), VK_RETURN);
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.Focus() == ::GetDlgItem(main, IDC_OPEN); }));
        // On a button, Enter presses it: the file dialog opens.
        program.PressKey(program.Focus(), VK_RETURN);
        program.CancelFileDialog();
        EXPECT_TRUE(::IsWindow(main));
        ExpectEmptyView(program);
        program.Click(main, IDC_EXIT);
        EXPECT_TRUE(program.WaitForProgramEnd());
    });
}

TEST_F(MainDialogTest, ShowsEveryFieldAndRecordThroughTheList)
{
    const std::string path = Clients();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        EXPECT_EQ(program.CaptionLine(), "clientes.dbf - 3 registros");
        EXPECT_EQ(program.Text(program.Main()), "Orvalis");
        ASSERT_EQ(program.ColumnCount(), 5);
        const char* titles[] = { "NOMBRE", "IMPORTE", "ALTA", "ID", "PRECIO" };
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(program.ColumnTitle(i), titles[i]);
            EXPECT_EQ(ListView_GetColumnWidth(program.List(), i), 70);
        }
        ASSERT_EQ(program.ItemCount(), 3);
        const char* cells[3][5] = {
            { "Pe\xF1" "a  Mar\xEDn", "   12.50", "20261209", "7", "100.00" },
            { "", "      -3", "", "-1", "-100.00" },
            { "  LUIS", "", "19991231", "", "" },
        };
        for (int item = 0; item < 3; ++item)
            for (int sub = 0; sub < 5; ++sub)
                EXPECT_EQ(program.Cell(item, sub), cells[item][sub]) << item << "," << sub;
        // A text longer than the list's buffer is cut to fit it.
        EXPECT_EQ(program.Cell(0, 0, 4), "Pe\xF1");
        EXPECT_EQ(program.Cell(0, 0, 1), "");
        EXPECT_TRUE(ListView_GetExtendedListViewStyle(program.List()) & LVS_EX_FULLROWSELECT);
        // Clicking a header or double-clicking a row changes nothing.
        HWND header = ListView_GetHeader(program.List());
        ::PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
        ::PostMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
        ::PostMessageA(program.List(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(30, 30));
        EXPECT_EQ(program.ColumnCount(), 5);
        EXPECT_EQ(program.CaptionLine(), "clientes.dbf - 3 registros");
        EXPECT_EQ(program.TopLevelCount(), 1);
    });
}

TEST_F(MainDialogTest, SecondTableReplacesEveryColumn)
{
    TableBuilder wide;
    for (int i = 0; i < 40; ++i)
        wide.Field("CAMPO" + std::to_string(i), 'C', 3);
    wide.Record({ "a" }).Record({ "b" });
    const std::string first = Write("ancha.dbf", wide);
    const std::string second = Write("dos.dbf", TableBuilder().Field("X", 'C', 2).Field("Y", 'N', 3)
                                                   .Record({ "ab", "  1" }));
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(first);
        EXPECT_EQ(program.ColumnCount(), 40);
        EXPECT_EQ(program.ColumnTitle(39), "CAMPO39");
        program.OpenTableAndWait(second);
        EXPECT_EQ(program.CaptionLine(), "dos.dbf - 1 registros");
        ASSERT_EQ(program.ColumnCount(), 2);
        EXPECT_EQ(program.ColumnTitle(0), "X");
        EXPECT_EQ(program.ColumnTitle(1), "Y");
        EXPECT_EQ(program.ItemCount(), 1);
        EXPECT_EQ(program.Cell(0, 1), "  1");
    });
}

TEST_F(MainDialogTest, TablesWithoutRecordsOrFields)
{
    const std::string noRecords = Write("vacia.dbf", TableBuilder().Field("A", 'C', 4).Field("B", 'N', 2));
    const std::string noFields = Write("sincampos.dbf", TableBuilder().RawRecord(" ").RawRecord(" "));
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(noRecords);
        EXPECT_EQ(program.CaptionLine(), "vacia.dbf - 0 registros");
        EXPECT_EQ(program.ColumnCount(), 2);
        EXPECT_EQ(program.ItemCount(), 0);
        program.OpenTableAndWait(noFields);
        EXPECT_EQ(program.CaptionLine(), "sincampos.dbf - 2 registros");
        EXPECT_EQ(program.ColumnCount(), 0);
        EXPECT_EQ(program.ItemCount(), 2);
    });
}

TEST_F(MainDialogTest, RecordCountIsPrintedUnsigned)
{
    // More records than a signed number holds, in a sparse file that really
    // holds them all.
    TableBuilder table;
    table.Field("A", 'C', 1).RecordCount(3000000000u).Record({ "x" })
        .SparseTo(33 + 32 + 2 * std::uint64_t{ 3000000000u });
    const std::string path = Write("enorme.dbf", table);
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        EXPECT_EQ(program.CaptionLine(), "enorme.dbf - 3000000000 registros");
        EXPECT_EQ(program.Cell(0, 0), "x");
    });
}

TEST_F(MainDialogTest, NameWithoutExtensionGetsDbf)
{
    const std::string path = Clients();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTable(path.substr(0, path.size() - 4));
        EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return program.CaptionLine() == "clientes.dbf - 3 registros"; }))
            << program.CaptionLine();
    });
}

TEST_F(MainDialogTest, CancelledFileDialogChangesNothing)
{
    const std::string path = Clients();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        program.Click(program.Main(), IDC_OPEN);
        program.CancelFileDialog();
        EXPECT_EQ(program.CaptionLine(), "clientes.dbf - 3 registros");
        EXPECT_EQ(program.ColumnCount(), 5);
        EXPECT_EQ(program.Cell(2, 0), "  LUIS");
    });
}

TEST_F(MainDialogTest, MissingFileIsReportedAndNothingIsShown)
{
    const std::string path = Clients();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        program.OpenTable(dir.File("nada.dbf"));
        const gui::MessageBoxInfo box = program.WaitForMessageBox();
        EXPECT_EQ(box.text, "No se encuentra el archivo nada.dbf.");
        EXPECT_EQ(box.caption, AppName());
        EXPECT_EQ(box.icon, ::LoadIcon(nullptr, IDI_HAND));
        // Not "nada.dbf - 0 registros": no table is open, none is shown.
        ExpectEmptyView(program);
        program.PressOk(box);
        ExpectEmptyView(program);
        // The next open works as ever.
        program.OpenTableAndWait(path);
        EXPECT_EQ(program.ColumnCount(), 5);
    });
}

TEST_F(MainDialogTest, TableHeldByAnotherProgramIsReportedAndNothingIsShown)
{
    const std::string path = Clients();
    const std::string held = Write("ocupada.dbf", TableBuilder().Field("Z", 'C', 1).Record({ "z" }));
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        {
            CFile holder;
            holder.Open(held.c_str(), CFile::modeRead | CFile::shareExclusive);
            program.OpenTable(held);
            const gui::MessageBoxInfo box = program.WaitForMessageBox();
            EXPECT_EQ(box.text, "El archivo " + held + " est\xE1 en uso por otro programa.");
            EXPECT_EQ(box.icon, ::LoadIcon(nullptr, IDI_HAND));
            ExpectEmptyView(program);
            program.PressOk(box);
        }
        program.OpenTableAndWait(held);
        EXPECT_EQ(program.Cell(0, 0), "z");
    });
}

TEST_F(MainDialogTest, FileThatIsNotATableIsReportedAndNothingIsShown)
{
    const std::string path = Clients();
    const std::string junk = dir.File("notas.dbf");
    TableBuilder::WriteFile(junk, "no soy una tabla");
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        program.OpenTable(junk);
        const gui::MessageBoxInfo box = program.WaitForMessageBox();
        EXPECT_EQ(box.text, "El archivo " + junk + " no es una tabla dBase v\xE1lida.");
        EXPECT_EQ(box.icon, ::LoadIcon(nullptr, IDI_HAND));
        ExpectEmptyView(program);
        program.PressOk(box);
        EXPECT_TRUE(::IsWindowEnabled(program.Main()));
    });
}

TEST_F(MainDialogTest, AboutBoxFromTheSystemMenu)
{
    RunProgram([](ProgramDriver& program) {
        HWND main = program.Main();
        HMENU menu = ::GetSystemMenu(main, FALSE);
        char item[64] = {};
        ::GetMenuStringA(menu, IDM_ABOUTBOX, item, sizeof item, MF_BYCOMMAND);
        EXPECT_STREQ(item, "&Acerca de Orvalis...");

        // Closed in turn with its button, Escape and its close box.
        for (int way = 0; way < 3; ++way) {
            SCOPED_TRACE(way);
            program.PostCommand(main, WM_SYSCOMMAND, IDM_ABOUTBOX);
            HWND about = program.WaitForDialog("Acerca de Orvalis");
            ASSERT_NE(about, nullptr);
            EXPECT_FALSE(::IsWindowEnabled(main));
            EXPECT_EQ(::GetWindow(about, GW_OWNER), main);
            RECT a;
            RECT m;
            ::GetWindowRect(about, &a);
            ::GetWindowRect(main, &m);
            EXPECT_LE(std::abs((a.left + a.right) - (m.left + m.right)), 2)
                << a.left << "," << a.top << "," << a.right << "," << a.bottom << " over " << m.left << ","
                << m.top << "," << m.right << "," << m.bottom;
            EXPECT_LE(std::abs((a.top + a.bottom) - (m.top + m.bottom)), 2);
            bool version = false;
            for (HWND c = ::GetWindow(about, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
                version = version || program.Text(c) == "Orvalis Versi\xF3n 1.0";
            EXPECT_TRUE(version);
            EXPECT_EQ(program.ItemText(about, IDOK), "Aceptar");
            if (way == 0)
                program.Click(about, IDOK);
            else if (way == 1)
                program.PressKey(program.Focus(), VK_ESCAPE);
            else
                program.PostCommand(about, WM_SYSCOMMAND, SC_CLOSE);
            EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return !::IsWindow(about); }));
            EXPECT_TRUE(ProgramDriver::WaitUntil([&] { return ::IsWindowEnabled(main) && program.Active() == main; }));
        }
    });
}

TEST_F(MainDialogTest, EveryWayOfClosingEndsTheProgram)
{
    const struct { const char* how; void (*close)(ProgramDriver&, HWND); } ways[] = {
        { "Salir", [](ProgramDriver& p, HWND main) { p.Click(main, IDC_EXIT); } },
        { "Escape", [](ProgramDriver& p, HWND main) { p.PressKey(main, VK_ESCAPE); } },
        { "close box", [](ProgramDriver& p, HWND main) { p.PostCommand(main, WM_SYSCOMMAND, SC_CLOSE); } },
        { "Alt+F4", [](ProgramDriver& p, HWND main) { p.PressKey(main, VK_F4, true); } },
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        bool ended = false;
        RunProgram([&](ProgramDriver& program) {
            way.close(program, program.Main());
            ended = program.WaitForProgramEnd(3000);
        });
        EXPECT_TRUE(ended);
    }
}

// --- layout --------------------------------------------------------------------

class LayoutTest : public MainDialogTest {
protected:
    struct Margins {
        long right;
        long bottom;
    };

    // What the list keeps to the client area's right and bottom edges: its
    // distance, at start, to the outer window's edges.
    static Margins InitialMargins(HWND main, HWND list)
    {
        RECT window;
        RECT rect;
        ::GetWindowRect(main, &window);
        ::GetWindowRect(list, &rect);
        return { window.right - rect.right, window.bottom - rect.bottom };
    }

    // Waits for the layout to settle (size events arrive on the program's
    // thread), then checks it.
    static void ExpectAtMargins(HWND main, HWND list, const Margins& margins, const RECT& start)
    {
        RECT client;
        RECT rect;
        ProgramDriver::WaitUntil([&] {
            ::GetClientRect(main, &client);
            rect = gui::ChildRect(list);
            return rect.right == client.right - margins.right && rect.bottom == client.bottom - margins.bottom;
        }, 3000);
        EXPECT_EQ(rect.left, start.left);
        EXPECT_EQ(rect.top, start.top);
        EXPECT_EQ(rect.right, client.right - margins.right);
        EXPECT_EQ(rect.bottom, client.bottom - margins.bottom);
    }

    static void Resize(HWND main, int width, int height)
    {
        ::SetWindowPos(main, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    }

    // Wine's X11 driver swallows a posted SC_MINIMIZE, and on a busy machine
    // now and then a posted SC_MAXIMIZE or SC_RESTORE, or a first request to
    // show the window so: the request is repeated until the window is as
    // asked. The size event the program handles is the same whichever
    // request lands.
    static bool ShowUntil(HWND main, int show, const std::function<bool()>& shown, int waitMs)
    {
        for (int attempt = 0; attempt < 10 && !ProgramDriver::WaitUntil(shown, waitMs); ++attempt)
            ::ShowWindow(main, show);
        return shown();
    }
};

TEST_F(LayoutTest, ListKeepsItsMarginsAsTheWindowChanges)
{
    RunProgram([](ProgramDriver& program) {
        HWND main = program.Main();
        HWND list = program.List();
        const Margins margins = InitialMargins(main, list);
        const RECT start = gui::ChildRect(list);
        RECT window;
        ::GetWindowRect(main, &window);
        const int width = window.right - window.left;
        const int height = window.bottom - window.top;

        // The first layout pulls the list in by the frame (and caption)
        // thickness: the margins were measured on the outer window.
        Resize(main, width + 120, height + 80);
        ExpectAtMargins(main, list, margins, start);
        Resize(main, width - 40, height - 30);
        ExpectAtMargins(main, list, margins, start);

        // Too low for the list: it gets no height (the system keeps the
        // window wide enough for its caption), then comes back.
        Resize(main, 60, 60);
        RECT client;
        ::GetClientRect(main, &client);
        const RECT tiny = gui::ChildRect(list);
        EXPECT_EQ(tiny.right - tiny.left, std::max<long>(0, client.right - margins.right - start.left));
        EXPECT_EQ(tiny.bottom - tiny.top, 0);
        Resize(main, width, height);
        ExpectAtMargins(main, list, margins, start);

        // Wine may report the window zoomed a moment before it has its
        // maximised size.
        program.PostCommand(main, WM_SYSCOMMAND, SC_MAXIMIZE);
        ASSERT_TRUE(ShowUntil(main, SW_MAXIMIZE, [&] {
            ::GetClientRect(main, &client);
            return ::IsZoomed(main) && client.right > width;
        }, 2000));
        ExpectAtMargins(main, list, margins, start);

        program.PostCommand(main, WM_SYSCOMMAND, SC_RESTORE);
        ASSERT_TRUE(ShowUntil(main, SW_RESTORE, [&] { return !::IsZoomed(main); }, 2000));
        ExpectAtMargins(main, list, margins, start);
    });
}

TEST_F(LayoutTest, MinimisedListHasNoAreaAndComesBackOnRestore)
{
    const std::string path = Clients();
    RunProgram([&](ProgramDriver& program) {
        program.OpenTableAndWait(path);
        HWND main = program.Main();
        HWND list = program.List();
        const Margins margins = InitialMargins(main, list);
        const RECT start = gui::ChildRect(list);
        ::ShowWindow(main, SW_MINIMIZE);
        ASSERT_TRUE(ShowUntil(main, SW_MINIMIZE, [&] { return ::IsIconic(main) != FALSE; }, 500));
        RECT minimised;
        ProgramDriver::WaitUntil([&] {
            minimised = gui::ChildRect(list);
            return minimised.right == minimised.left && minimised.bottom == minimised.top;
        }, 3000);
        EXPECT_EQ(minimised.right - minimised.left, 0);
        EXPECT_EQ(minimised.bottom - minimised.top, 0);
        // While minimised it paints its icon, which it also gives for dragging.
        EXPECT_NE(::SendMessageA(main, WM_QUERYDRAGICON, 0, 0), 0);
        ::RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        ::ShowWindow(main, SW_RESTORE);
        ASSERT_TRUE(ProgramDriver::WaitUntil([&] { return !::IsIconic(main); }));
        ExpectAtMargins(main, list, margins, start);
        EXPECT_EQ(program.Cell(2, 0), "  LUIS");
    });
}

} // namespace
