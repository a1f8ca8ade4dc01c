#pragma once

// The one place that includes the Win32 headers, so that every file sees the
// same definitions: ANSI functions, the common controls, the file dialogs,
// the shell's dropped files.
#ifdef UNICODE
#error "Orvalis is an ANSI program: its texts are bytes in the system code page"
#endif
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
