#pragma once

#include "framework/CWnd.h"

#include <string>

// The list-view control, used in report mode. Its column titles are
// Unicode, and once SetUnicodeFormat(TRUE) asks for it, so are the texts of
// its notifications.
class CListCtrl : public CWnd {
public:
    int InsertColumn(int column, const wchar_t* heading, int format, int width, int subItem);
    BOOL SetColumnTitle(int column, const wchar_t* heading);
    BOOL SetUnicodeFormat(BOOL unicode)
    {
        return static_cast<BOOL>(SendMessage(LVM_SETUNICODEFORMAT, static_cast<WPARAM>(unicode)));
    }
    // The selected item, or -1.
    int GetSelectionMark() const
    {
        return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    // Selects the item alone, gives it the focus rectangle and scrolls it into view.
    void SelectItem(int item);
    // The column's title, in any script; empty when there is no such column.
    std::wstring GetColumnTitle(int column) const;
    BOOL DeleteColumn(int column) { return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column))); }
    BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
    // For a virtual list: the number of items, with LVSICF_ flags.
    BOOL SetItemCountEx(int count, DWORD flags)
    {
        return static_cast<BOOL>(SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), static_cast<LPARAM>(flags)));
    }
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    DWORD SetExtendedStyle(DWORD style)
    {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
    }
};
