// The list's record commands: copy, go to, find and view a record.
#include "app/RecordCommands.h"

#include "app/FindDialog.h"
#include "app/GoToDialog.h"
#include "app/MainDialog.h"
#include "app/RecordClipboard.h"
#include "app/RecordSearch.h"
#include "app/RecordViewDialog.h"
#include "app/Resource.h"
#include "app/SearchProgress.h"
#include "app/WindowMessages.h"
#include "framework/CWinApp.h"

#include <cwchar>
#include <iterator>
#include <vector>

void RecordCommands::AppendMenuItems(HMENU menu) const
{
    const UINT onRecord = SelectedRecord() != 0 ? MF_ENABLED : MF_GRAYED;
    const UINT onTable = HasRecords() ? MF_ENABLED : MF_GRAYED;
    const UINT again = HasRecords() && !m_findText.empty() ? MF_ENABLED : MF_GRAYED;
    ::AppendMenuW(menu, MF_STRING | onRecord, ID_RECORD_COPY, kMenuCopy);
    ::AppendMenuW(menu, MF_STRING | onRecord, ID_RECORD_VIEW, kMenuView);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING | onTable, ID_RECORD_GOTO, kMenuGoTo);
    ::AppendMenuW(menu, MF_STRING | onTable, ID_RECORD_FIND, kMenuFind);
    ::AppendMenuW(menu, MF_STRING | again, ID_RECORD_FIND_NEXT, kMenuFindNext);
}

std::uint32_t RecordCommands::SelectedRecord() const
{
    const int item = m_list.GetSelectionMark();
    const bool held = item >= 0 && static_cast<std::uint32_t>(item) < m_table.Table().GetRecordCount();
    return held ? static_cast<std::uint32_t>(item) + 1 : 0;
}

std::uint32_t RecordCommands::SelectedRecordOrBeep() const
{
    const std::uint32_t record = SelectedRecord();
    if (record == 0)
        ::MessageBeep(MB_OK);
    return record;
}

bool RecordCommands::HasRecordsOrBeep() const
{
    if (!HasRecords())
        ::MessageBeep(MB_OK);
    return HasRecords();
}

void RecordCommands::ShowRecord(std::uint32_t record)
{
    m_list.SelectItem(static_cast<int>(record - 1));
    m_dialog.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_list.GetSafeHwnd()), TRUE);
}

void RecordCommands::Copy()
{
    const std::uint32_t record = SelectedRecordOrBeep();
    if (record == 0)
        return;
    std::vector<std::wstring> titles;
    std::vector<std::wstring> values;
    for (int field = 0; field < m_table.Table().GetFieldCount(); ++field) {
        titles.push_back(m_list.GetColumnTitle(field));
        const bool memo = m_table.Table().GetField(field).Memo == MemoUse::Text;
        values.push_back(memo ? m_dialog.FullText(record, field) : m_dialog.CellText(record, field));
    }
    if (!RecordClipboard::Put(m_dialog.GetSafeHwnd(), RecordClipboard::Text(titles, values)))
        AfxMessageBox(kCopyFailed, MB_OK | MB_ICONSTOP);
}

void RecordCommands::GoTo()
{
    if (!HasRecordsOrBeep())
        return;
    GoToDialog box(m_table.Table().GetRecordCount(), SelectedRecord(), &m_dialog);
    if (box.DoModal() == IDOK)
        ShowRecord(box.Record);
}

void RecordCommands::Find()
{
    if (!HasRecordsOrBeep())
        return;
    FindDialog box(m_findText, &m_dialog);
    if (box.DoModal() != IDOK)
        return;
    m_findText = box.Text;
    FindFromSelection();
}

void RecordCommands::FindNext()
{
    if (m_findText.empty())
        Find();
    else if (HasRecordsOrBeep())
        FindFromSelection();
}

void RecordCommands::FindFromSelection()
{
    std::uint32_t found = 0;
    {
        CWaitCursor wait;
        SearchProgress progress(m_dialog.GetSafeHwnd(), m_findText);
        const CodePageConverter* converter = m_table.Converter();
        RecordSearch search(m_table.Table(), converter ? converter->CodePage() : CP_ACP, m_findText,
                            [this](std::uint32_t record, int field) { return m_dialog.CellText(record, field); });
        found = search.FindAfter(SelectedRecord(), [&](std::uint32_t done, std::uint32_t total) {
            return progress.Continue(done, total);
        });
        if (search.Stopped())
            return;
    }
    if (found != 0)
        ShowRecord(found);
    else
        AfxMessageBox(NotFoundText(m_findText).c_str(), MB_OK | MB_ICONINFORMATION);
}

void RecordCommands::View()
{
    const std::uint32_t record = SelectedRecordOrBeep();
    if (record == 0)
        return;
    std::vector<RecordViewDialog::Field> fields;
    for (int field = 0; field < m_table.Table().GetFieldCount(); ++field)
        fields.push_back({ m_list.GetColumnTitle(field), m_dialog.FullText(record, field) });
    wchar_t title[64];
    std::swprintf(title, std::size(title), kRecordViewTitle, record, m_table.Table().GetRecordCount());
    RecordViewDialog box(title, std::move(fields), &m_dialog);
    box.DoModal();
}
