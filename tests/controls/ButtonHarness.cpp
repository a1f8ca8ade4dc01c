#include "tests/controls/ButtonHarness.h"

#include <chrono>

namespace buttons_test {

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

void AppendText(std::vector<WORD>& out, const std::string& text)
{
    for (const char c : text)
        out.push_back(static_cast<unsigned char>(c));
    out.push_back(0);
}

void AppendDword(std::vector<WORD>& out, DWORD value)
{
    out.push_back(LOWORD(value));
    out.push_back(HIWORD(value));
}

void AlignToDword(std::vector<WORD>& out)
{
    if (out.size() % 2)
        out.push_back(0);
}

// A DLGTEMPLATE with its items, in the words the dialog manager reads.
std::vector<WORD> BuildTemplate(const std::vector<ControlSpec>& controls, short cx, short cy, DWORD style)
{
    std::vector<WORD> out;
    AppendDword(out, style | DS_SETFONT);
    AppendDword(out, 0);
    out.push_back(static_cast<WORD>(controls.size()));
    for (const short v : { short(0), short(0), cx, cy })
        out.push_back(static_cast<WORD>(v));
    out.push_back(0); // no menu
    out.push_back(0); // the standard dialog class
    AppendText(out, "Botones");
    out.push_back(8);
    AppendText(out, "MS Sans Serif");
    for (const ControlSpec& control : controls) {
        AlignToDword(out);
        AppendDword(out, control.style | WS_CHILD | WS_VISIBLE);
        AppendDword(out, 0);
        for (const short v : { control.x, control.y, control.cx, control.cy })
            out.push_back(static_cast<WORD>(v));
        out.push_back(control.id);
        out.push_back(0xFFFF);
        out.push_back(control.classAtom);
        AppendText(out, control.text);
        out.push_back(0); // no creation data
    }
    return out;
}

void SendMouse(DWORD flags, LONG x = 0, LONG y = 0)
{
    INPUT input {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.dx = x;
    input.mi.dy = y;
    ::SendInput(1, &input, sizeof input);
}

} // namespace

int TestParent::Count(UINT id, UINT code) const
{
    const auto found = m_counts.find({ id, code });
    return found == m_counts.end() ? 0 : found->second;
}

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
    if (OnResized)
        OnResized();
    Default();
}

bool TestParent::OnCmdMsg(UINT id, UINT code)
{
    if (code != BN_CLICKED && code != BN_DOUBLECLICKED)
        return false;
    ++m_counts[{ id, code }];
    return true;
}

TestDialog::TestDialog(const std::vector<ControlSpec>& controls, short cx, short cy, DWORD style,
                       POINT position)
    : m_template(BuildTemplate(controls, cx, cy, style))
{
    m_hwnd = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr),
                                          reinterpret_cast<const DLGTEMPLATE*>(m_template.data()),
                                          nullptr, &PlainDialogProc, 0);
    if (!m_hwnd)
        return;
    m_parent.SubclassWindow(m_hwnd);
    ::SetWindowPos(m_hwnd, HWND_TOP, position.x, position.y, 0, 0, SWP_NOSIZE);
    ::ShowWindow(m_hwnd, SW_SHOW);
    ::SetForegroundWindow(m_hwnd);
    ::SetActiveWindow(m_hwnd);
    ::UpdateWindow(m_hwnd);
    Pump(50);
}

TestDialog::~TestDialog()
{
    if (m_hwnd)
        ::DestroyWindow(m_hwnd);
    Pump(10);
}

void Pump(int ms)
{
    PumpUntil([] { return false; }, ms);
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
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    // Absolute input runs from 0 to 65535 across the screen.
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (screen.x * 65535 + width / 2) / (width - 1),
              (screen.y * 65535 + height / 2) / (height - 1));
}

void LeftDown()
{
    SendMouse(MOUSEEVENTF_LEFTDOWN);
}

void LeftUp()
{
    SendMouse(MOUSEEVENTF_LEFTUP);
}

POINT CentreOf(HWND window)
{
    RECT r;
    ::GetWindowRect(window, &r);
    return { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
}

RECT PlaceInParent(HWND window)
{
    RECT r;
    ::GetWindowRect(window, &r);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

Canvas::Canvas(int width, int height, COLORREF fill)
    : m_width(width), m_height(height), m_dc(::CreateCompatibleDC(nullptr))
{
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_bitmap = ::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_previous = ::SelectObject(m_dc, m_bitmap);
    HBRUSH brush = ::CreateSolidBrush(fill);
    const RECT all = { 0, 0, width, height };
    ::FillRect(m_dc, &all, brush);
    ::DeleteObject(brush);
}

Canvas::~Canvas()
{
    ::SelectObject(m_dc, m_previous);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_dc);
}

void Render(HWND control, Canvas& canvas)
{
    ::SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
}

} // namespace buttons_test
