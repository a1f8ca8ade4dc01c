#pragma once

#include "controls/FramedButton.h"
#include "framework/CDialog.h"
#include "framework/CListCtrl.h"
#include "framework/DialogAccelerators.h"
#include "table/MemoFile.h"
#include "table/mDBase.h"

#include <cstdint>
#include <string>

// The main window: the open table in a virtual list, one column per field
// and one row per record, a caption line that names the file and its record
// count, and the commands to open a table, export it and leave. The list's
// context menu and keys copy the selected record, go to a record by its
// number, find a text and show a record's whole values.
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
    LRESULT OnContextMenu(WPARAM wParam, LPARAM lParam);
    void OnCopyRecord();
    void OnGoToRecord();
    void OnFind();
    void OnFindNext();
    void OnViewRecord();

private:
    // A cell's text as the list shows it, and a field's whole value: a
    // memo's text in full from the memo file. Records count from 1.
    std::wstring CellText(std::uint32_t record, int field);
    std::wstring FullText(std::uint32_t record, int field);
    // The selected record, counted from 1; 0 when none is.
    std::uint32_t SelectedRecord() const;
    bool HasRecords() const { return Table.IsOpen() && Table.GetRecordCount() > 0; }
    // The same for a command that needs them: a beep when there are none.
    std::uint32_t SelectedRecordOrBeep() const;
    bool HasRecordsOrBeep() const;
    // Selects the record, scrolls it into view and gives the list the focus.
    void ShowRecord(std::uint32_t record);
    // The search for FindText from after the selected record.
    void FindFromSelection();

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
    MemoFile Memo;           // the open table's, once a whole value needs it
    bool MemoSought = false; // whether it was looked for since the table opened
    DialogAccelerators Keys;
    std::wstring FindText;   // the last text found, for F3
};
