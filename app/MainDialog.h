#pragma once

#include "app/RecordCommands.h"
#include "controls/FramedButton.h"
#include "framework/CDialog.h"
#include "framework/CListCtrl.h"
#include "framework/DialogAccelerators.h"
#include "table/OpenedTable.h"

#include <cstdint>
#include <string>
#include <string_view>

// The main window: the open table in a virtual list, one column per field
// and one row per record, a caption line that names the file and its record
// count, and the commands to open a table, export it and leave. Texts are
// shown in Unicode, converted from the table's code page. The list's
// context menu and keys copy the selected record, go to a record by its
// number, find a text and show a record's whole values.
class MainDialog : public CDialog {
public:
    MainDialog();

    // A table to open as soon as the window shows, as the open command does
    // (the path the program was started with).
    void OpenAtStart(const CString& path) { StartPath = path; }

    // The text of a cell as the list shows it: record counted from 1, field
    // from 0; empty without a table or outside it. A text memo shows its
    // first line. A damaged table raises CFileException.
    std::wstring CellText(std::uint32_t record, int field);
    // A field's whole value, for copying it and showing the record: memo
    // texts in full from the memo file, line breaks kept; otherwise as in
    // the list.
    std::wstring FullText(std::uint32_t record, int field);

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
    LRESULT OnContextMenu(WPARAM window, LPARAM point);
    LRESULT OnDropFiles(WPARAM drop, LPARAM);
    LRESULT OnOpenStartPath(WPARAM, LPARAM);
    LRESULT OnReportDamage(WPARAM, LPARAM);
    void OnCopyRecord();
    void OnGoToRecord();
    void OnFind();
    void OnFindNext();
    void OnViewRecord();

private:
    // The open command once a path is chosen; fileName is the caption's.
    void OpenTable(const CString& path, const CString& fileName);
    // The open table as the save dialog's type (one after the text
    // layouts) asks, into the file at path.
    void ExportTyped(DWORD type, const CString& path);
    // No table to show: no columns, no rows, an empty caption line.
    void ClearTableView();
    // The columns, titled with the field names in the shown code page.
    void ShowColumns();
    // What opening found wrong, each in a message box.
    void ReportOpening();
    // The list's context menu, for TrackPopupMenu; the caller destroys it.
    HMENU CreateListMenu();
    // Shows the table in another code page (0: the system's ANSI one).
    void ShowInCodePage(unsigned codePage);
    // Bytes of the table as Unicode: from the shown code page, or the
    // system's ANSI one when none is.
    std::wstring Wide(std::string_view bytes) const;
    // The loaded record's field i, whole or as the list shows it.
    std::wstring FieldText(int i, bool whole);

    FramedButton ExitButton;
    CListCtrl RecordList;
    FramedButton ExportButton;
    FramedButton OpenButton;
    CString CaptionText;
    int RightMargin = 0;
    int BottomMargin = 0;
    int Initialised = 0;
    OpenedTable Table;
    CString StartPath;
    // A damaged table is reported once, not for every cell it costs.
    bool DamageReported = false;
    CString DamageMessage;
    mutable std::string Utf8; // scratch for Wide
    HICON Icon;
    DialogAccelerators Keys;
    RecordCommands Records { *this, Table, RecordList };
};
