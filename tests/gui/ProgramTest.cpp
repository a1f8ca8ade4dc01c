// The program as a process: Orvalis.exe started as a user starts it.

#include "app/Resource.h"
#include "framework/Win32.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

namespace {

std::string ProgramPath()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    // The tests are built beside the program: build/tests and build/app.
    return (std::filesystem::path(path).parent_path().parent_path() / "app" / "Orvalis.exe").string();
}

HWND WindowOf(DWORD process)
{
    struct Search {
        DWORD process;
        HWND found;
    } search { process, nullptr };
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == s->process && ::IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(ProgramTest, StartsOnTheTableItsCommandLineNamesAndEndsWhenClosed)
{
    // As Explorer passes a table: its whole path, in quotes.
    testing_support::TempDir dir;
    std::filesystem::create_directory(dir.Path() / "con espacio");
    const std::string table = dir.File("con espacio/tabla.dbf");
    testing_support::TableBuilder().Field("A", 'C', 4).Record({ "uno" }).Record({ "dos" }).WriteTo(table);
    std::string command = "\"" + ProgramPath() + "\" \"" + table + "\"";
    STARTUPINFOA startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 dir.Path().string().c_str(), &startup, &process))
        << ProgramPath();

    HWND main = nullptr;
    for (int i = 0; i < 200 && !main; ++i) {
        main = WindowOf(process.dwProcessId);
        ::Sleep(50);
    }
    ASSERT_NE(main, nullptr);
    char title[64] = {};
    ::GetWindowTextA(main, title, sizeof title);
    EXPECT_STREQ(title, "Orvalis");
    char caption[64] = {};
    for (int i = 0; i < 200 && std::string(caption) != "tabla.dbf - 2 registros"; ++i) {
        ::Sleep(50);
        ::GetDlgItemTextA(main, IDC_CAPTION, caption, sizeof caption);
    }
    EXPECT_STREQ(caption, "tabla.dbf - 2 registros");

    ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(WindowOf(process.dwProcessId), nullptr);
    // Nothing was written where it ran.
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(dir.Path()),
                            std::filesystem::recursive_directory_iterator()), 2);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

} // namespace
