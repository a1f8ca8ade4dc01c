// The box that shows one record's fields and whole values.
#include "app/RecordViewDialog.h"

#include "app/Resource.h"
#include "framework/CWinApp.h"

#include <algorithm>

namespace {

// In dialog units: the margins, the gap between lines, a one-line box and
// each further line of a box of several.
constexpr int kMargin = 7;
constexpr int kGap = 4;
constexpr int kOneLine = 12;
constexpr int kLine = 8;
// A value of several lines shows at most this many before its box scrolls.
constexpr int kMostLines = 8;

// How many lines a value takes in a box that wraps about this many characters a line.
int LinesOf(std::wstring_view value, size_t perLine)
{
    int lines = 0;
    size_t from = 0;
    while (from <= value.size() && lines < kMostLines) {
        const size_t end = std::min(value.find(L'\n', from), value.size());
        lines += 1 + static_cast<int>((end - from) / perLine);
        from = end + 1;
    }
    return std::min(lines, kMostLines);
}

} // namespace

RecordViewDialog::RecordViewDialog(std::wstring title, std::vector<Field> fields, CWnd* parent)
    : CDialog(IDD_RECORD, parent), m_title(std::move(title)), m_fields(std::move(fields))
{
}

const MessageMap* RecordViewDialog::GetThisMessageMap()
{
    static const MessageEntry entries[] = {
        On::Size<&RecordViewDialog::OnSize>(),
        On::Message<WM_VSCROLL, &RecordViewDialog::OnVScroll>(),
        On::Message<WM_MOUSEWHEEL, &RecordViewDialog::OnMouseWheel>(),
    };
    static const MessageMap map(CDialog::GetThisMessageMap(), entries);
    return &map;
}

std::wstring RecordViewDialog::WithLineBreaks(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            out += L"\r\n";
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

int RecordViewDialog::DialogUnitsY(int units) const
{
    RECT rect { 0, 0, 0, units };
    ::MapDialogRect(m_hWnd, &rect);
    return rect.bottom;
}

int RecordViewDialog::DialogUnitsX(int units) const
{
    RECT rect { 0, 0, units, 0 };
    ::MapDialogRect(m_hWnd, &rect);
    return rect.right;
}

int RecordViewDialog::ClientHeight() const
{
    RECT client;
    GetClientRect(&client);
    return client.bottom - client.top;
}

BOOL RecordViewDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SetWindowTextW(m_hWnd, m_title.c_str());
    CreateLines();

    // As tall as the fields need, up to three quarters of the screen's work area.
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT window;
    GetWindowRect(&window);
    const int frame = (window.bottom - window.top) - ClientHeight();
    const int most = (work.bottom - work.top) * 3 / 4;
    const int height = std::clamp(m_contentHeight + frame, DialogUnitsY(60) + frame, std::max(most, frame));
    SetWindowPos(nullptr, 0, 0, window.right - window.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_ready = true;
    Layout();
    if (!m_lines.empty())
        ::SetFocus(m_lines.front().Value);
    // The focus is set here.
    return FALSE;
}

void RecordViewDialog::CreateLines()
{
    const auto font = static_cast<WPARAM>(SendMessage(WM_GETFONT));
    HDC dc = ::GetDC(m_hWnd);
    HGDIOBJ before = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(font));
    int widest = 0;
    for (const Field& field : m_fields) {
        SIZE size {};
        ::GetTextExtentPoint32W(dc, field.Name.c_str(), static_cast<int>(field.Name.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    ::SelectObject(dc, before);
    ::ReleaseDC(m_hWnd, dc);
    m_labelWidth = std::clamp(widest + 4, DialogUnitsX(30), DialogUnitsX(120));

    HINSTANCE instance = AfxGetInstanceHandle();
    int top = DialogUnitsY(kMargin);
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const std::wstring value = WithLineBreaks(m_fields[i].Value);
        const bool several = value.find(L'\n') != std::wstring::npos || value.size() > 80;
        Line line;
        line.Label = ::CreateWindowExW(0, L"STATIC", m_fields[i].Name.c_str(),
                                       WS_CHILD | WS_VISIBLE | SS_NOPREFIX | SS_ENDELLIPSIS, 0, 0, 0, 0,
                                       m_hWnd, nullptr, instance, nullptr);
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_READONLY |
                            (several ? ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL);
        line.Value = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style, 0, 0, 0, 0, m_hWnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstValueId + i)),
                                       instance, nullptr);
        ::SendMessageW(line.Label, WM_SETFONT, font, FALSE);
        ::SendMessageW(line.Value, WM_SETFONT, font, FALSE);
        // No limit but memory: a memo may be long.
        ::SendMessageW(line.Value, EM_SETLIMITTEXT, 0, 0);
        ::SetWindowTextW(line.Value, value.c_str());
        line.Top = top;
        line.Height = several ? DialogUnitsY(kOneLine + kLine * (LinesOf(value, 60) - 1)) : DialogUnitsY(kOneLine);
        top += line.Height + DialogUnitsY(kGap);
        m_lines.push_back(line);
    }
    m_contentHeight = top - DialogUnitsY(kGap) + DialogUnitsY(kMargin);
}

void RecordViewDialog::Layout()
{
    if (!m_ready)
        return;
    SCROLLINFO info {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = std::max(m_contentHeight - 1, 0);
    info.nPage = static_cast<UINT>(std::max(ClientHeight(), 0));
    m_scroll = std::clamp(m_scroll, 0, std::max(m_contentHeight - ClientHeight(), 0));
    info.nPos = m_scroll;
    ::SetScrollInfo(m_hWnd, SB_VERT, &info, TRUE);

    // Read after the scroll bar has come or gone.
    RECT client;
    GetClientRect(&client);
    const int margin = DialogUnitsX(kMargin);
    const int valueLeft = margin + m_labelWidth + DialogUnitsX(4);
    const int valueWidth = std::max(static_cast<int>(client.right) - margin - valueLeft, 0);
    HDWP positions = ::BeginDeferWindowPos(static_cast<int>(m_lines.size() * 2));
    for (const Line& line : m_lines) {
        const int y = line.Top - m_scroll;
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (positions)
            positions = ::DeferWindowPos(positions, line.Label, nullptr, margin, y + DialogUnitsY(2), m_labelWidth,
                                         DialogUnitsY(kLine), flags);
        if (positions)
            positions = ::DeferWindowPos(positions, line.Value, nullptr, valueLeft, y, valueWidth, line.Height, flags);
    }
    if (positions)
        ::EndDeferWindowPos(positions);
}

void RecordViewDialog::ScrollTo(int position)
{
    const int before = m_scroll;
    m_scroll = position;
    Layout();
    if (m_scroll != before)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void RecordViewDialog::OnSize(UINT, int, int)
{
    Layout();
    Default();
}

LRESULT RecordViewDialog::OnVScroll(WPARAM wParam, LPARAM)
{
    SCROLLINFO info {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ::GetScrollInfo(m_hWnd, SB_VERT, &info);
    const int line = DialogUnitsY(kOneLine + kGap);
    const int page = std::max(ClientHeight() - line, line);
    int position = m_scroll;
    switch (LOWORD(wParam)) {
    case SB_LINEUP:        position -= line; break;
    case SB_LINEDOWN:      position += line; break;
    case SB_PAGEUP:        position -= page; break;
    case SB_PAGEDOWN:      position += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = info.nTrackPos; break;
    case SB_TOP:           position = 0; break;
    case SB_BOTTOM:        position = m_contentHeight; break;
    default:               return 0;
    }
    ScrollTo(position);
    return 0;
}

LRESULT RecordViewDialog::OnMouseWheel(WPARAM wParam, LPARAM)
{
    const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    ScrollTo(m_scroll - notches * 3 * DialogUnitsY(kOneLine + kGap));
    return 0;
}

bool RecordViewDialog::OnCmdMsg(UINT id, UINT code)
{
    const size_t index = id - static_cast<UINT>(kFirstValueId);
    if (code == EN_SETFOCUS && id >= static_cast<UINT>(kFirstValueId) && index < m_lines.size()) {
        // A box reached with Tab comes into view whole.
        const Line& line = m_lines[index];
        const int margin = DialogUnitsY(kMargin);
        if (line.Top - margin < m_scroll)
            ScrollTo(line.Top - margin);
        else if (line.Top + line.Height + margin > m_scroll + ClientHeight())
            ScrollTo(line.Top + line.Height + margin - ClientHeight());
        return true;
    }
    return CDialog::OnCmdMsg(id, code);
}
