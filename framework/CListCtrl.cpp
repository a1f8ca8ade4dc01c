#include "framework/CListCtrl.h"

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width, int subItem)
{
    LVCOLUMNA info {};
    info.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    info.fmt = format;
    info.cx = width;
    info.pszText = const_cast<char*>(heading);
    info.iSubItem = subItem;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column),
                                        reinterpret_cast<LPARAM>(&info)));
}
