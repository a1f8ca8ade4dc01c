#include "framework/CWnd.h"

#include "framework/AnsiText.h"
#include "framework/CDC.h"
#include "framework/CException.h"
#include "framework/CWinApp.h"

#include <new>
#include <string>

namespace {

// The window property that links a window to its object.
const char kObjectProperty[] = "Orvalis.CWnd";

bool IsColourMessage(UINT message)
{
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

void ReportText(const char* text)
{
    AfxMessageBox(text, MB_OK | MB_ICONSTOP);
}

} // namespace

// Every message of an attached window enters the program here. Nothing the
// program raises may unwind into the system's frames: it is reported and
// the message ends.
LRESULT CALLBACK FrameworkWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (!wnd)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    const MSG previous = wnd->m_current;
    wnd->m_current = MSG { hwnd, message, wParam, lParam, 0, {} };
    GuardedCall([&] { result = wnd->WindowProc(message, wParam, lParam); });
    wnd->m_current = previous;
    if (message == WM_NCDESTROY)
        wnd->Detach();
    return result;
}

void ReportException(const CException& e)
{
    ReportText(e.GetErrorMessage());
}

void detail::ReportCurrentException() noexcept
{
    // While one error is on screen, the list may repaint and fail the same
    // way again: those repeats are not stacked up as further boxes.
    static bool reporting = false;
    if (reporting)
        return;
    reporting = true;
    try {
        throw;
    } catch (const CUserException&) {
        // Shown already.
    } catch (const CException& e) {
        ReportException(e);
    } catch (const std::bad_alloc&) {
        ReportText(ANSI_TEXT("No hay memoria suficiente para completar la operación."));
    } catch (...) {
        ReportText(ANSI_TEXT("Se produjo un error inesperado; la operación no se completó."));
    }
    reporting = false;
}

CWnd::~CWnd()
{
    if (m_hWnd)
        Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    return hwnd ? static_cast<CWnd*>(::GetPropA(hwnd, kObjectProperty)) : nullptr;
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (m_hWnd || !hwnd || FromHandlePermanent(hwnd))
        return FALSE;
    m_hWnd = hwnd;
    ::SetPropA(hwnd, kObjectProperty, this);
    PreSubclassWindow();
    m_superProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkWindowProc)));
    return TRUE;
}

void CWnd::Detach()
{
    if (m_superProc)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    ::RemovePropA(m_hWnd, kObjectProperty);
    m_superProc = nullptr;
    m_hWnd = nullptr;
}

const MessageMap* CWnd::GetThisMessageMap()
{
    static const MessageMap map(CCmdTarget::GetThisMessageMap());
    return &map;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_superProc)
        return ::CallWindowProcA(m_superProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_COMMAND: {
        // A menu item and an accelerator (code 1) are one command; neither
        // comes from a control.
        const UINT code = lParam == 0 ? 0 : HIWORD(wParam);
        // Notifications without a handler (focus changes of a button, an
        // edit's changes) take the default path.
        if (OnCmdMsg(LOWORD(wParam), code)) {
            *result = 0;
            return true;
        }
        return false;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        const MessageEntry* entry =
            GetMessageMap()->Find(WM_NOTIFY, header->code, static_cast<UINT>(header->idFrom));
        if (!entry)
            return false;
        *result = entry->thunk(*this, wParam, lParam);
        return true;
    }
    case WM_DRAWITEM:
        if (ReflectToChild(message, wParam, lParam, result))
            return true;
        break;
    default:
        if (IsColourMessage(message) && ReflectToChild(message, wParam, lParam, result))
            return true;
        break;
    }
    const MessageEntry* entry = GetMessageMap()->Find(message);
    if (!entry)
        return false;
    *result = entry->thunk(*this, wParam, lParam);
    return true;
}

bool CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    HWND child = nullptr;
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_MENU)
            child = item->hwndItem;
    } else {
        child = reinterpret_cast<HWND>(lParam);
    }
    CWnd* control = child != m_hWnd ? FromHandlePermanent(child) : nullptr;
    return control && control->OnChildNotify(message, wParam, lParam, result);
}

bool CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* result)
{
    if (!IsColourMessage(message))
        return false;
    const MessageEntry* entry = GetMessageMap()->Find(kReflectedCtlColor);
    if (!entry)
        return false;
    *result = entry->thunk(*this, wParam, message - WM_CTLCOLORMSGBOX);
    return true;
}

void CWnd::ScreenToClient(RECT* rect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

BOOL CWnd::SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags)
{
    const DWORD style = GetStyle();
    const DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
    if (flags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

CString CWnd::GetWindowText() const
{
    const int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0)
        return CString();
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    const int got = ::GetWindowTextA(m_hWnd, buffer.data(), length + 1);
    return CString(buffer.data(), got);
}

HICON CWnd::SetIcon(HICON icon, BOOL big)
{
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                                               reinterpret_cast<LPARAM>(icon)));
}

void CWnd::CenterWindow(HWND alternateOwner)
{
    HWND owner = alternateOwner ? alternateOwner : ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO monitor {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoA(::MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    RECT around = work;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &around);
    RECT self;
    GetWindowRect(&self);
    const int width = self.right - self.left;
    const int height = self.bottom - self.top;
    int x = (around.left + around.right) / 2 - width / 2;
    int y = (around.top + around.bottom) / 2 - height / 2;
    // Keep the whole window on the work area where it fits.
    if (x + width > work.right)
        x = work.right - width;
    if (x < work.left)
        x = work.left;
    if (y + height > work.bottom)
        y = work.bottom - height;
    if (y < work.top)
        y = work.top;
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
