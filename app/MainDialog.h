#pragma once

#include "controls/FramedButton.h"
#include "framework/CDialog.h"
#include "framework/CListCtrl.h"
#include "table/mDBase.h"

// The main window: the open table in a virtual list, one column per field
// and one row per record, a caption line that names the file and its record
// count, and the commands to open a table, export it and leave.
class MainDialog : public CDialog {
public:
    MainDialog();

    static const MessageMap* GetThisMessageMap();
    const MessageMap* GetMessageMap() const override { return GetThisMessageMap(); }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnOpen();
    void OnNextControl();
    void OnExport();
    void OnGetDispInfo(NMHDR* header, LRESULT* result);
    void OnExit();
    void OnSize(UINT type, int cx, int cy);

private:
    // No table to show: no columns, no rows, an empty caption line.
    void ClearTableView();

    FramedButton ExitButton;
    CListCtrl RecordList;
    FramedButton ExportButton;
    FramedButton OpenButton;
    CString CaptionText;
    int RightMargin = 0;
    int BottomMargin = 0;
    int Initialised = 0;
    mDBase Table;
    HICON Icon;
};
