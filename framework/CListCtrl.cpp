// CListCtrl: the list-view control's columns.

#include "framework/CListCtrl.h"

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
