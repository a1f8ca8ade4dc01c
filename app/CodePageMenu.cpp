// CodePageMenu: the code pages offered, and their commands.

#include "app/CodePageMenu.h"

#include "app/Resource.h"
#include "framework/CodePage.h"

#include <iterator>

namespace {

struct Offered {
    unsigned CodePage; // 0: the system's ANSI code page, as a table that declares none
    const wchar_t* Label;
};

// DOS pages first, as tables of the time were written, then Windows' own.
const Offered kOffered[] = {
    { 0, L"ANSI del sistema" },
    { 437, L"437 - MS-DOS, Estados Unidos" },
    { 737, L"737 - MS-DOS, griego" },
    { 850, L"850 - MS-DOS, Europa occidental" },
    { 852, L"852 - MS-DOS, Europa central" },
    { 857, L"857 - MS-DOS, turco" },
    { 860, L"860 - MS-DOS, portugu\u00E9s" },
    { 861, L"861 - MS-DOS, island\u00E9s" },
    { 863, L"863 - MS-DOS, franc\u00E9s de Canad\u00E1" },
    { 865, L"865 - MS-DOS, n\u00F3rdico" },
    { 866, L"866 - MS-DOS, cir\u00EDlico" },
    { 874, L"874 - Windows, tailand\u00E9s" },
    { 932, L"932 - Japon\u00E9s (Shift-JIS)" },
    { 936, L"936 - Chino simplificado (GBK)" },
    { 949, L"949 - Coreano" },
    { 950, L"950 - Chino tradicional (Big5)" },
    { 1250, L"1250 - Windows, Europa central" },
    { 1251, L"1251 - Windows, cir\u00EDlico" },
    { 1252, L"1252 - Windows, Europa occidental" },
    { 1253, L"1253 - Windows, griego" },
    { 1254, L"1254 - Windows, turco" },
    { 1255, L"1255 - Windows, hebreo" },
    { 1256, L"1256 - Windows, \u00E1rabe" },
    { 1257, L"1257 - Windows, b\u00E1ltico" },
    { 1258, L"1258 - Windows, vietnamita" },
    { kCodePageUtf8, L"UTF-8" },
};
static_assert(std::size(kOffered) <= IDM_CODEPAGE_LAST - IDM_CODEPAGE_FIRST + 1, "one command each");

} // namespace

HMENU CodePageMenu::Create(unsigned shown)
{
    HMENU menu = ::CreatePopupMenu();
    for (size_t i = 0; i < std::size(kOffered); ++i) {
        const UINT flags = MF_STRING | (kOffered[i].CodePage == shown ? MF_CHECKED : MF_UNCHECKED);
        ::AppendMenuW(menu, flags, IDM_CODEPAGE_FIRST + i, kOffered[i].Label);
        // The system's own pages apart from the DOS ones.
        if (i == 0)
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
    return menu;
}

bool CodePageMenu::CodePageOf(UINT command, unsigned& codePage)
{
    if (command < IDM_CODEPAGE_FIRST || command - IDM_CODEPAGE_FIRST >= std::size(kOffered))
        return false;
    codePage = kOffered[command - IDM_CODEPAGE_FIRST].CodePage;
    return true;
}
