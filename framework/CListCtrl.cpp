// CListCtrl: the list-view control's columns.

#include "framework/CListCtrl.h"

#include <iterator>

int CListCtrl::InsertColumn(int column, const wchar_t* heading, int format, int width, int subItem)
{
    LVCOLUMNW info {};
    info.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    info.fmt = format;
    info.cx = width;
    info.pszText = const_cast<wchar_t*>(heading);
    info.iSubItem = subItem;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                                        reinterpret_cast<LPARAM>(&info)));
}

BOOL CListCtrl::SetColumnTitle(int column, const wchar_t* heading)
{
    LVCOLUMNW info {};
    info.mask = LVCF_TEXT;
    info.pszText = const_cast<wchar_t*>(heading);
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)));
}

void CListCtrl::SelectItem(int item)
{
    LVITEMA state {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
    // Also the anchor of a later Shift+arrow selection.
    SendMessage(LVM_SETSELECTIONMARK, 0, item);
    SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
}

std::wstring CListCtrl::GetColumnTitle(int column) const
{
    // The header keeps the title; a list's titles are short.
    wchar_t text[1024] = {};
    LVCOLUMNW info {};
    info.mask = LVCF_TEXT;
    info.pszText = text;
    info.cchTextMax = static_cast<int>(std::size(text));
    if (!::SendMessageW(m_hWnd, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)))
        return std::wstring();
    return text;
}
