// The box that a long search shows, and its "Cancelar".
#include "app/SearchProgress.h"

#include "app/Resource.h"
#include "app/WindowMessages.h"
#include "framework/CWinApp.h"

unsigned SearchProgress::DelayMs = 500;

SearchProgress::SearchProgress(HWND owner, std::wstring text)
    : m_owner(owner), m_text(std::move(text)), m_start(::GetTickCount64())
{
}

SearchProgress::~SearchProgress()
{
    // The owner first, so that the activation goes back to it.
    if (m_ownerDisabled)
        ::EnableWindow(m_owner, TRUE);
    if (m_box)
        ::DestroyWindow(m_box);
}

bool SearchProgress::Continue(std::uint32_t done, std::uint32_t total)
{
    if (!m_box) {
        if (::GetTickCount64() - m_start < DelayMs)
            return true;
        Show();
    }
    if (m_box && total > 0)
        ::SendDlgItemMessageW(m_box, IDC_SEARCH_BAR, PBM_SETPOS,
                              static_cast<WPARAM>(std::uint64_t{ done } * 1000 / total), 0);
    Pump();
    return !m_cancelled;
}

void SearchProgress::Show()
{
    m_box = ::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDD_SEARCHING), m_owner,
                                 &SearchProgress::BoxProc, reinterpret_cast<LPARAM>(this));
    if (!m_box)
        return;
    const std::wstring line = SearchingText(m_text);
    ::SetDlgItemTextW(m_box, IDC_SEARCH_TEXT, line.c_str());
    ::SendDlgItemMessageW(m_box, IDC_SEARCH_BAR, PBM_SETRANGE32, 0, 1000);
    // As a modal box would: the owner takes no input meanwhile.
    m_ownerDisabled = !::EnableWindow(m_owner, FALSE);
    ::ShowWindow(m_box, SW_SHOW);
}

void SearchProgress::Pump()
{
    MSG message;
    while (!m_cancelled && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For the loop that waits for it.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            m_cancelled = true;
        } else if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
            m_cancelled = true;
        } else if (!m_box || !::IsDialogMessageW(m_box, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

INT_PTR CALLBACK SearchProgress::BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(box, DWLP_USER, lParam);
        return TRUE;
    }
    auto* self = reinterpret_cast<SearchProgress*>(::GetWindowLongPtrW(box, DWLP_USER));
    if (self && message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        self->m_cancelled = true;
        return TRUE;
    }
    return FALSE;
}
