#include "tests/gui/ProgramDriver.h"

#include "app/Resource.h"
#include "framework/CWinApp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <iterator>
#include <thread>
#include <vector>

namespace gui {

namespace {

// The file-name box of the system's file dialog.
constexpr int kFileNameBox = 0x47C;

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
    std::vector<char> text(static_cast<size_t>(bufferSize) + 16, '#');
    LVITEMA info {};
    info.iSubItem = subItem;
    info.pszText = text.data();
    info.cchTextMax = bufferSize;
    const auto length = static_cast<size_t>(
        Send(List(), LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
    // Nothing may be written past the buffer the list was given.
    for (size_t i = static_cast<size_t>(bufferSize); i < text.size(); ++i)
        EXPECT_EQ(text[i], '#') << "written past the buffer";
    return std::string(text.data(), length);
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
