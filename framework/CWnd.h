#pragma once

#include "framework/CCmdTarget.h"
#include "framework/CException.h"
#include "framework/CString.h"
#include "framework/Win32.h"

// A window: wraps an HWND that exists already (a dialog or one of its
// controls) and, once attached, receives its messages through the message
// table. Messages without a handler go to the window's own procedure.
class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The object attached to the window, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Attaches this object to an existing window and routes its messages
    // through the message table; false when it is attached already.
    BOOL SubclassWindow(HWND hwnd);
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The message dispatch: the message table first, then DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's own processing, from before it was attached.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();

    // Window calls the program makes.
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void ScreenToClient(RECT* rect) const;
    void ClientToScreen(POINT* point) const { ::ClientToScreen(m_hWnd, point); }
    BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags);
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    CString GetWindowText() const;
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    HICON SetIcon(HICON icon, BOOL big);
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    // Centres the window over its owner or, without one, on the work area.
    void CenterWindow(HWND alternateOwner = nullptr);

    HWND m_hWnd = nullptr;

protected:
    static const MessageMap* GetThisMessageMap();
    const MessageMap* GetMessageMap() const override { return GetThisMessageMap(); }

    // Called after the object is attached and before messages reach it.
    virtual void PreSubclassWindow() {}
    // A message the parent reflected to this control (owner drawing,
    // colours); true when handled, with its result.
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The message table's dispatch; false when no entry handles the message.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

private:
    friend LRESULT CALLBACK FrameworkWindowProc(HWND, UINT, WPARAM, LPARAM);
    bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    void Detach();

    WNDPROC m_superProc = nullptr;
    MSG m_current {};
};

// Reports an exception that ended a command or notification: a message box
// with the stop icon. Used by every boundary between the system and the
// program's code.
void ReportException(const CException& e);
// Catches whatever the call raises and reports it; returns false then.
template <class Call>
bool GuardedCall(Call call) noexcept;

namespace detail {
void ReportCurrentException() noexcept;
}

template <class Call>
bool GuardedCall(Call call) noexcept
{
    try {
        call();
        return true;
    } catch (...) {
        detail::ReportCurrentException();
        return false;
    }
}
