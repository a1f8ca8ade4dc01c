#include "tests/controls/ButtonHarness.h"

#include <chrono>
#include <string>

namespace buttons_test {

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// A DLGTEMPLATE and its items, in the words the dialog manager reads.
class TemplateWriter {
public:
    void Word(int value) { words.push_back(static_cast<WORD>(value)); }
    void Dword(DWORD value)
    {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const std::string& text)
    {
        for (const char c : text)
            Word(static_cast<unsigned char>(c));
        Word(0);
    }
    void Align()
    {
        if (words.size() % 2)
            Word(0);
    }
    std::vector<WORD> words;
};

void SendMouse(DWORD flags, LONG x = 0, LONG y = 0)
{
    INPUT input {};
    input.type = INPUT_MOUSE;
    input.mi = { x, y, 0, flags, 0, 0 };
    ::SendInput(1, &input, sizeof input);
}

} // namespace

const MessageMap* TestParent::GetThisMessageMap()
{
    static const MessageEntry entries[] = {
        On::Size<&TestParent::OnSize>(),
    };
    static const MessageMap map(CWnd::GetThisMessageMap(), entries);
    return &map;
}

void TestParent::OnSize(UINT, int, int)
{
    if (onResized)
        onResized();
    Default();
}

bool TestParent::OnCmdMsg(UINT, UINT code)
{
    clicks += code == BN_CLICKED;
    doubleClicks += code == BN_DOUBLECLICKED;
    return code == BN_CLICKED || code == BN_DOUBLECLICKED;
}

TestDialog::TestDialog(const std::vector<ControlItem>& items, short cx, short cy, DWORD style)
{
    TemplateWriter out;
    out.Dword(style | WS_POPUP | DS_SETFONT);
    out.Dword(0);
    out.Word(static_cast<int>(items.size()));
    for (const int v : { 0, 0, int(cx), int(cy), 0, 0 }) // position, size, no menu, plain class
        out.Word(v);
    out.Text("Botones");
    out.Word(8);
    out.Text("MS Sans Serif");
    for (const ControlItem& item : items) {
        out.Align();
        out.Dword(item.style | WS_CHILD | WS_VISIBLE);
        out.Dword(0);
        for (const int v : { int(item.x), int(item.y), int(item.cx), int(item.cy), int(item.id), 0xFFFF,
                             int(item.classAtom) })
            out.Word(v);
        out.Text(item.text);
        out.Word(0); // no creation data
    }
    m_template = std::move(out.words);

    static const bool controls = [] {
        INITCOMMONCONTROLSEX init { sizeof init, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES };
        return ::InitCommonControlsEx(&init) != FALSE;
    }();
    (void)controls;
    // Now and then, in a long run of tests, Wine refuses to create the
    // dialog at once; a moment later it does.
    for (int attempt = 0; attempt < 5 && !m_hwnd; ++attempt) {
        if (attempt > 0)
            Pump(200);
        m_hwnd = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr),
                                              reinterpret_cast<const DLGTEMPLATE*>(m_template.data()),
                                              nullptr, &PlainDialogProc, 0);
    }
    if (!m_hwnd)
        return;
    parent.SubclassWindow(m_hwnd);
    ::SetWindowPos(m_hwnd, HWND_TOP, 120, 120, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(m_hwnd);
    ::UpdateWindow(m_hwnd);
    Pump(50);
}

TestDialog::~TestDialog()
{
    if (m_hwnd)
        ::DestroyWindow(m_hwnd);
    Pump(10);
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        ::Sleep(5);
    }
}

void MovePointer(POINT screen)
{
    // Absolute input runs from 0 to 65535 across the screen.
    const int width = ::GetSystemMetrics(SM_CXSCREEN) - 1;
    const int height = ::GetSystemMetrics(SM_CYSCREEN) - 1;
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (screen.x * 65535 + width / 2) / width,
              (screen.y * 65535 + height / 2) / height);
}

void ClickLeft(int times)
{
    for (int i = 0; i < times; ++i) {
        SendMouse(MOUSEEVENTF_LEFTDOWN);
        SendMouse(MOUSEEVENTF_LEFTUP);
    }
}

POINT CentreOf(HWND window)
{
    RECT r;
    ::GetWindowRect(window, &r);
    return { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
}

Canvas::Canvas(int width, int height, COLORREF fill) : m_dc(::CreateCompatibleDC(nullptr))
{
    BITMAPINFO info {};
    info.bmiHeader = { sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0 };
    void* bits = nullptr;
    m_bitmap = ::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_previous = ::SelectObject(m_dc, m_bitmap);
    const RECT all = { 0, 0, width, height };
    ::SetBkColor(m_dc, fill);
    ::ExtTextOutA(m_dc, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
}

Canvas::~Canvas()
{
    ::SelectObject(m_dc, m_previous);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_dc);
}

void Canvas::Render(HWND control) const
{
    ::SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(m_dc), PRF_CLIENT);
}

} // namespace buttons_test
