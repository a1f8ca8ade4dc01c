// RecordClipboard: a record as text that spreadsheets paste into cells.
#pragma once

#include "framework/Win32.h"

#include <string>
#include <vector>

// One record on the clipboard: a line of the column titles, then the
// record's line, each value followed by a tab but the last and each line
// by CR LF. A value that holds a tab, CR, LF or a double quote is put in
// double quotes with its quotes doubled, so that Excel and LibreOffice
// paste it into one cell; other values stay as they are.
class RecordClipboard {
public:
    static std::wstring Text(const std::vector<std::wstring>& titles, const std::vector<std::wstring>& values);
    // Puts the text on the clipboard as CF_UNICODETEXT and, in the system's
    // code page, as CF_TEXT. False when the clipboard could not be had.
    static bool Put(HWND owner, const std::wstring& text);

private:
    static void AppendLine(const std::vector<std::wstring>& values, std::wstring& out);
};
