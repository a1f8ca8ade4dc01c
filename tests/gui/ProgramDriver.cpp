#include "tests/gui/ProgramDriver.h"

#include "app/Resource.h"
#include "framework/CWinApp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cwchar>
#include <iterator>
#include <thread>
#include <vector>

namespace gui {

namespace {

// The file-name box of the system's file dialog.
constexpr int kFileNameBox = 0x47C;
constexpr int kFileTypeBox = 0x470; // the file dialog's list of types

std::string ClassName(HWND window)
{
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

bool IsDialog(HWND window)
{
    return ClassName(window) == "#32770";
}

} // namespace

LRESULT ProgramDriver::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const
{
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result))
        ADD_FAILURE() << "the program did not answer message " << message;
    return static_cast<LRESULT>(result);
}

bool ProgramDriver::WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        ::Sleep(20);
    }
    return true;
}

HWND ProgramDriver::FindTopLevel(const std::function<bool(HWND)>& match) const
{
    struct Search {
        const std::function<bool(HWND)>* match;
        HWND found;
    } search { &match, nullptr };
    ::EnumThreadWindows(
        m_uiThread,
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (::IsWindowVisible(window) && (*s->match)(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int ProgramDriver::TopLevelCount() const
{
    int count = 0;
    FindTopLevel([&](HWND) { ++count; return false; });
    return count;
}

HWND ProgramDriver::WaitForDialog(const std::string& title, int timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindTopLevel([&](HWND w) { return IsDialog(w) && Text(w) == title; });
        return found != nullptr;
    }, timeoutMs);
    if (!found)
        ADD_FAILURE() << "no dialog \"" << title << "\" appeared";
    return found;
}

HWND ProgramDriver::Main()
{
    if (!m_main || !::IsWindow(m_main))
        m_main = WaitForDialog("Orvalis");
    // The dialog is ready once its initialisation has run and it shows.
    WaitUntil([&] { return ::IsWindowVisible(m_main) != FALSE; });
    return m_main;
}

HWND ProgramDriver::Active() const
{
    GUITHREADINFO info {};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(m_uiThread, &info);
    return info.hwndActive;
}

HWND ProgramDriver::Focus() const
{
    GUITHREADINFO info {};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(m_uiThread, &info);
    return info.hwndFocus;
}

void ProgramDriver::Click(HWND dialog, int id)
{
    HWND control = ::GetDlgItem(dialog, id);
    ASSERT_NE(control, nullptr) << "no control " << id;
    // Posted: the click may start a modal loop that this thread then drives.
    ::PostMessageA(control, BM_CLICK, 0, 0);
}

void ProgramDriver::PressKey(HWND target, UINT key, bool alt)
{
    const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    const UINT up = alt ? WM_SYSKEYUP : WM_KEYUP;
    const LPARAM context = alt ? (1 << 29) : 0;
    ::PostMessageA(target, down, key, 1 | context);
    ::PostMessageA(target, up, key, 1 | context | (3u << 30));
}

void ProgramDriver::PostCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ::PostMessageA(window, message, wParam, lParam);
}

void ProgramDriver::Chord(std::initializer_list<UINT> modifiers, UINT key)
{
    // The keyboard goes to the foreground window: the program's active one.
    HWND active = Active();
    ::SetForegroundWindow(active ? active : Main());
    std::vector<INPUT> inputs;
    const auto press = [&](UINT code, bool up) {
        INPUT input {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(code);
        input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(code, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    for (const UINT modifier : modifiers)
        press(modifier, false);
    press(key, false);
    press(key, true);
    for (auto modifier = std::rbegin(modifiers); modifier != std::rend(modifiers); ++modifier)
        press(*modifier, true);
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

namespace {

// The clipboard's text in one format, of wchar_t or char.
template <class Char>
std::basic_string<Char> ClipboardFormat(UINT format)
{
    std::basic_string<Char> text;
    if (!::OpenClipboard(nullptr)) {
        ADD_FAILURE() << "the clipboard is busy";
        return text;
    }
    if (HANDLE data = ::GetClipboardData(format)) {
        if (const auto* chars = static_cast<const Char*>(::GlobalLock(data))) {
            text = chars;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

} // namespace

std::wstring ProgramDriver::ClipboardText()
{
    return ClipboardFormat<wchar_t>(CF_UNICODETEXT);
}

std::string ProgramDriver::ClipboardAnsiText()
{
    return ClipboardFormat<char>(CF_TEXT);
}

void ProgramDriver::EmptyClipboard()
{
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
}

std::wstring ProgramDriver::WideText(HWND window) const
{
    std::vector<wchar_t> text(65536);
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL,
                          5000, &length);
    return std::wstring(text.data(), length);
}

std::string ProgramDriver::Text(HWND window) const
{
    char text[2048] = {};
    DWORD_PTR length = 0;
    ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                          SMTO_NORMAL, 5000, &length);
    return std::string(text, length);
}

std::string ProgramDriver::ItemText(HWND dialog, int id) const
{
    return Text(::GetDlgItem(dialog, id));
}

HWND ProgramDriver::WaitForFileDialog()
{
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindTopLevel([](HWND w) { return IsDialog(w) && ::GetDlgItem(w, kFileNameBox); });
        return found != nullptr;
    });
    if (!found)
        ADD_FAILURE() << "no file dialog appeared";
    return found;
}

void ProgramDriver::AnswerFileDialog(const std::string& name, bool waitUntilClosed)
{
    HWND dialog = WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    Send(::GetDlgItem(dialog, kFileNameBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    Click(dialog, IDOK);
    if (waitUntilClosed) {
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); })) << "the file dialog stayed open";
    }
}

std::vector<std::string> ProgramDriver::FileDialogTypes()
{
    std::vector<std::string> types;
    HWND dialog = WaitForFileDialog();
    if (!dialog)
        return types;
    HWND box = ::GetDlgItem(dialog, kFileTypeBox);
    const auto count = static_cast<int>(Send(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::string text(static_cast<size_t>(Send(box, CB_GETLBTEXTLEN, i, 0)) + 1, '\0');
        Send(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(text.find('\0'));
        types.push_back(text);
    }
    return types;
}

void ProgramDriver::ChooseFileType(int index)
{
    HWND dialog = WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    HWND box = ::GetDlgItem(dialog, kFileTypeBox);
    Send(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // What the box tells its dialog when a user picks an item: the choice,
    // then that it stands.
    Send(dialog, WM_COMMAND, MAKEWPARAM(kFileTypeBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
    Send(dialog, WM_COMMAND, MAKEWPARAM(kFileTypeBox, CBN_SELENDOK), reinterpret_cast<LPARAM>(box));
}

void ProgramDriver::CancelFileDialog()
{
    HWND dialog = WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDCANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));
}

MessageBoxInfo ProgramDriver::WaitForMessageBox()
{
    MessageBoxInfo box;
    WaitUntil([&] {
        box.window = FindTopLevel([](HWND w) {
            return IsDialog(w) && ::GetDlgItem(w, 0xFFFF) && !::GetDlgItem(w, kFileNameBox);
        });
        return box.window != nullptr;
    });
    if (!box.window) {
        ADD_FAILURE() << "no message box appeared";
        return box;
    }
    box.caption = Text(box.window);
    box.text = ItemText(box.window, 0xFFFF);
    for (HWND child = ::GetWindow(box.window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if ((::GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            box.icon = reinterpret_cast<HICON>(Send(child, STM_GETICON, 0, 0));
    return box;
}

void ProgramDriver::PressOk(const MessageBoxInfo& box)
{
    ASSERT_NE(box.window, nullptr);
    Click(box.window, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box.window); }));
}

void ProgramDriver::OpenTable(const std::string& path)
{
    Click(Main(), IDC_OPEN);
    AnswerFileDialog(path);
}

void ProgramDriver::OpenTableAndWait(const std::string& path)
{
    OpenTable(path);
    const std::string name = path.substr(path.find_last_of("\\/") + 1);
    EXPECT_TRUE(WaitUntil([&] { return CaptionLine().rfind(name + " - ", 0) == 0; }))
        << "the caption line shows \"" << CaptionLine() << "\"";
}

HWND ProgramDriver::List()
{
    return ::GetDlgItem(Main(), IDC_RECORDS);
}

int ProgramDriver::ColumnCount()
{
    HWND header = reinterpret_cast<HWND>(Send(List(), LVM_GETHEADER, 0, 0));
    return static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0));
}

std::string ProgramDriver::ColumnTitle(int column)
{
    char text[256] = {};
    LVCOLUMNA info {};
    info.mask = LVCF_TEXT;
    info.pszText = text;
    info.cchTextMax = sizeof text;
    if (!Send(List(), LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)))
        return "<no column>";
    return text;
}

int ProgramDriver::ItemCount()
{
    return static_cast<int>(Send(List(), LVM_GETITEMCOUNT, 0, 0));
}

std::string ProgramDriver::Cell(int item, int subItem, int bufferSize)
{
    // Read in Unicode, the list's own form, so that what is checked is the
    // program's answer rather than the list's conversion.
    std::vector<wchar_t> text(static_cast<size_t>(bufferSize) + 16, L'#');
    LVITEMW info {};
    info.iSubItem = subItem;
    info.pszText = text.data();
    info.cchTextMax = bufferSize;
    const auto length = static_cast<int>(
        Send(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
    // Nothing may be written past the buffer the list was given.
    for (size_t i = static_cast<size_t>(bufferSize); i < text.size(); ++i)
        EXPECT_EQ(text[i], L'#') << "written past the buffer";
    std::string ansi(static_cast<size_t>(length) * 2, '\0');
    ansi.resize(static_cast<size_t>(::WideCharToMultiByte(CP_ACP, 0, text.data(), length, ansi.data(),
                                                          static_cast<int>(ansi.size()), nullptr, nullptr)));
    return ansi;
}

namespace {

std::string Utf8Of(const wchar_t* text, int length)
{
    std::string utf8(static_cast<size_t>(length) * 4, '\0');
    utf8.resize(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(),
                                                          static_cast<int>(utf8.size()), nullptr, nullptr)));
    return utf8;
}

} // namespace

std::string ProgramDriver::CellUtf8(int item, int subItem)
{
    wchar_t text[1024] = {};
    LVITEMW info {};
    info.iSubItem = subItem;
    info.pszText = text;
    info.cchTextMax = 1024;
    const auto length = static_cast<int>(
        Send(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
    return Utf8Of(text, length);
}

std::string ProgramDriver::ColumnTitleUtf8(int column)
{
    wchar_t text[256] = {};
    LVCOLUMNW info {};
    info.mask = LVCF_TEXT;
    info.pszText = text;
    info.cchTextMax = 256;
    if (!Send(List(), LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)))
        return "<no column>";
    return Utf8Of(text, static_cast<int>(std::wcslen(text)));
}

void ProgramDriver::ChooseFromListMenu(const std::vector<std::wstring>& path)
{
    // What the system makes of the menu key, Shift+F10 or the right button
    // over the list: the list's own default handling passes it to the dialog.
    ::PostMessageA(List(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(List()), -1);
    for (size_t level = 0; level < path.size(); ++level) {
        // The popup of this level: the menu class's window holding the item.
        HWND popup = nullptr;
        HMENU menu = nullptr;
        int target = -1;
        WaitUntil([&] {
            std::vector<HWND> menus;
            ::EnumThreadWindows(m_uiThread, [](HWND w, LPARAM found) -> BOOL {
                char name[16] = {};
                ::GetClassNameA(w, name, sizeof name);
                if (std::string(name) == "#32768" && ::IsWindowVisible(w))
                    reinterpret_cast<std::vector<HWND>*>(found)->push_back(w);
                return TRUE;
            }, reinterpret_cast<LPARAM>(&menus));
            for (HWND w : menus) {
                const auto shown = reinterpret_cast<HMENU>(Send(w, MN_GETHMENU, 0, 0));
                for (int i = 0; shown && i < ::GetMenuItemCount(shown); ++i) {
                    wchar_t text[256] = {};
                    ::GetMenuStringW(shown, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
                    if (std::wstring(text).rfind(path[level], 0) == 0) {
                        popup = w;
                        menu = shown;
                        target = i;
                        return true;
                    }
                }
            }
            return false;
        });
        ASSERT_NE(popup, nullptr) << "no menu item for level " << level;
        // Moves down one key at a time until the item is the highlighted one:
        // how a menu opens (nothing or its first item highlighted) and when
        // it takes a key are Wine's to time, so the highlight is read back.
        const auto highlighted = [&] {
            for (int i = 0; i < ::GetMenuItemCount(menu); ++i)
                if (::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE)
                    return i;
            return -1;
        };
        if (level > 0)
            WaitUntil([&] { return highlighted() >= 0; }, 1000);
        for (int presses = 0; presses <= ::GetMenuItemCount(menu) && highlighted() != target; ++presses) {
            const int before = highlighted();
            PressKey(popup, VK_DOWN);
            WaitUntil([&] { return highlighted() != before; }, 2000);
        }
        ASSERT_EQ(highlighted(), target) << "menu item of level " << level << " not reached";
        PressKey(popup, level + 1 < path.size() ? VK_RIGHT : VK_RETURN);
    }
}

std::string ProgramDriver::CaptionLine()
{
    return ItemText(Main(), IDC_CAPTION);
}

bool ProgramDriver::WaitForProgramEnd(int timeoutMs)
{
    return WaitUntil([&] { return !m_main || !::IsWindow(m_main); }, timeoutMs);
}

void ProgramDriver::CloseEverything(const std::function<bool()>& ended)
{
    for (int round = 0; round < 200 && !ended(); ++round) {
        // The topmost enabled dialog is the one a user could answer.
        HWND top = FindTopLevel([](HWND w) { return IsDialog(w) && ::IsWindowEnabled(w); });
        if (top)
            ::PostMessageA(top, WM_COMMAND, IDCANCEL, 0);
        ::Sleep(50);
    }
}

void RunProgram(const std::function<void(ProgramDriver&)>& script)
{
    const DWORD uiThread = ::GetCurrentThreadId();
    std::atomic<bool> ended { false };
    std::thread driver([&] {
        ProgramDriver program(uiThread);
        script(program);
        program.CloseEverything([&] { return ended.load(); });
    });
    AfxGetApp()->InitInstance();
    ended = true;
    driver.join();
}

RECT ChildRect(HWND child)
{
    RECT rect;
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace gui
