// Accelerator keys for a modal dialog, translated from the thread's message filter.
#include "framework/DialogAccelerators.h"

#include "framework/CWinApp.h"

namespace {

// The innermost attached table of this thread; a filter has no other way to
// find its object.
thread_local DialogAccelerators* innermost = nullptr;

} // namespace

void DialogAccelerators::Attach(HWND dialog, UINT tableId)
{
    Detach();
    m_table = ::LoadAcceleratorsA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(tableId));
    if (!m_table)
        return;
    m_hook = ::SetWindowsHookExA(WH_MSGFILTER, &DialogAccelerators::Filter, nullptr, ::GetCurrentThreadId());
    if (!m_hook)
        return;
    m_dialog = dialog;
    m_outer = innermost;
    innermost = this;
}

void DialogAccelerators::Detach()
{
    if (!m_hook)
        return;
    ::UnhookWindowsHookEx(m_hook);
    m_hook = nullptr;
    m_dialog = nullptr;
    // Unlinked wherever it is in the chain.
    for (DialogAccelerators** link = &innermost; *link; link = &(*link)->m_outer)
        if (*link == this) {
            *link = m_outer;
            break;
        }
    m_outer = nullptr;
}

bool DialogAccelerators::Translate(MSG& message) const
{
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN)
        return false;
    if (!::IsWindowEnabled(m_dialog) || (message.hwnd != m_dialog && !::IsChild(m_dialog, message.hwnd)))
        return false;
    return ::TranslateAcceleratorA(m_dialog, m_table, &message) != 0;
}

LRESULT CALLBACK DialogAccelerators::Filter(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX) {
        auto& message = *reinterpret_cast<MSG*>(lParam);
        for (const DialogAccelerators* table = innermost; table; table = table->m_outer)
            if (table->Translate(message))
                return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
