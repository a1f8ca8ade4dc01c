// SearchProgress: shows that a long search is working, and lets it be cancelled.
#pragma once

#include "framework/Win32.h"

#include <cstdint>
#include <string>

// Asked by a search now and then whether to go on. Once the search has
// taken longer than DelayMs, a box over the owner shows how far it has got
// with a "Cancelar" button, the owner is disabled, and the thread's messages
// are handled while the search goes on, so that the windows repaint. The
// button, or Escape in any of the program's windows, stops the search.
class SearchProgress {
public:
    // How long a search runs before the box shows; a test may shorten it.
    static unsigned DelayMs;

    SearchProgress(HWND owner, std::wstring text);
    ~SearchProgress();
    SearchProgress(const SearchProgress&) = delete;
    SearchProgress& operator=(const SearchProgress&) = delete;

    // False once the user has cancelled.
    bool Continue(std::uint32_t done, std::uint32_t total);

private:
    void Show();
    void Pump();
    static INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_owner;
    std::wstring m_text;
    ULONGLONG m_start;
    HWND m_box = nullptr;
    bool m_cancelled = false;
    bool m_ownerDisabled = false;
};
