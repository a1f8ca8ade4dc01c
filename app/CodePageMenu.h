#pragma once

// CodePageMenu: the code pages a user can show a table in.

#include "framework/Win32.h"

// The "Código de página" submenu of the list's context menu: one item for
// each code page a table may be in, the one shown checked, each with its
// own command from IDM_CODEPAGE_FIRST on.
class CodePageMenu {
public:
    // The submenu, for AppendMenu to own; `shown` is the code page the
    // table is shown in, 0 for the system's ANSI code page.
    static HMENU Create(unsigned shown);
    // The code page of a command of the submenu; false for any other command.
    static bool CodePageOf(UINT command, unsigned& codePage);
};
