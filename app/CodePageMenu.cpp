// CodePageMenu: the code pages offered, and their commands.

#include "app/CodePageMenu.h"

#include "app/Resource.h"
#include "app/WindowMessages.h"

#include <iterator>

static_assert(std::size(kCodePageLabels) <= IDM_CODEPAGE_LAST - IDM_CODEPAGE_FIRST + 1, "one command each");

HMENU CodePageMenu::Create(unsigned shown)
{
    HMENU menu = ::CreatePopupMenu();
    for (size_t i = 0; i < std::size(kCodePageLabels); ++i) {
        const UINT flags = MF_STRING | (kCodePageLabels[i].CodePage == shown ? MF_CHECKED : MF_UNCHECKED);
        ::AppendMenuW(menu, flags, IDM_CODEPAGE_FIRST + i, kCodePageLabels[i].Label);
        // The system's own pages apart from the DOS ones.
        if (i == 0)
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
    return menu;
}

bool CodePageMenu::CodePageOf(UINT command, unsigned& codePage)
{
    if (command < IDM_CODEPAGE_FIRST || command - IDM_CODEPAGE_FIRST >= std::size(kCodePageLabels))
        return false;
    codePage = kCodePageLabels[command - IDM_CODEPAGE_FIRST].CodePage;
    return true;
}
