// RecordCommands: the list's commands on its records: copy, go to, find and view.
#pragma once

#include "framework/CListCtrl.h"
#include "table/OpenedTable.h"

#include <cstdint>
#include <string>

class MainDialog;

// What the main dialog's context menu and keys do with the records of its
// list: copy the selected one to the clipboard, select one by its number,
// find the next that holds a text, and show the selected one's whole
// values. Every text is the dialog's, as its list shows it.
class RecordCommands {
public:
    RecordCommands(MainDialog& dialog, OpenedTable& table, CListCtrl& list)
        : m_dialog(dialog), m_table(table), m_list(list)
    {
    }

    // The commands' items, for the list's context menu.
    void AppendMenuItems(HMENU menu) const;

    void Copy();
    void GoTo();
    void Find();
    void FindNext();
    void View();

private:
    // The selected record, counted from 1; 0 when none is.
    std::uint32_t SelectedRecord() const;
    bool HasRecords() const { return m_table.IsOpen() && m_table.Table().GetRecordCount() > 0; }
    // The same for a command that needs them: a beep when there are none.
    std::uint32_t SelectedRecordOrBeep() const;
    bool HasRecordsOrBeep() const;
    // Selects the record, scrolls it into view and gives the list the focus.
    void ShowRecord(std::uint32_t record);
    // The search for the last text from after the selected record.
    void FindFromSelection();

    MainDialog& m_dialog;
    OpenedTable& m_table;
    CListCtrl& m_list;
    std::wstring m_findText; // the last text found, for F3
};
