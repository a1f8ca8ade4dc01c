#pragma once

#include "framework/CWnd.h"

#include <string>

// The list-view control, used in report mode.
class CListCtrl : public CWnd {
public:
    int InsertColumn(int column, const char* heading, int format, int width, int subItem);
    BOOL DeleteColumn(int column) { return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column))); }
    BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
    // For a virtual list: the number of items, with LVSICF_ flags.
    BOOL SetItemCountEx(int count, DWORD flags)
    {
        return static_cast<BOOL>(SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), static_cast<LPARAM>(flags)));
    }
    // The selected item, or -1 (a single-selection list).
    int GetSelectedItem() const { return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); }
    // Selects the item alone, gives it the focus rectangle and scrolls it into view.
    void SelectItem(int item);
    // Where the item lies in the list's client area; false when it is not there.
    BOOL GetItemRect(int item, RECT* rect, int code) const;
    // The column's title, in any script; empty when there is no such column.
    std::wstring GetColumnTitle(int column) const;
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    DWORD SetExtendedStyle(DWORD style)
    {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
    }
};
