#include "app/MainDialog.h"

#include "app/AboutDialog.h"
#include "app/ExportFormatDialog.h"
#include "app/FindDialog.h"
#include "app/GoToDialog.h"
#include "app/RecordClipboard.h"
#include "app/RecordSearch.h"
#include "app/RecordViewDialog.h"
#include "app/Resource.h"
#include "app/SearchProgress.h"
#include "export/TextExportWriter.h"
#include "framework/CDC.h"
#include "framework/CDataExchange.h"
#include "framework/CFileDialog.h"
#include "framework/CWinApp.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

// A table's text in the system's code page, as the list shows it.
std::wstring Widened(std::string_view bytes)
{
    std::wstring text(bytes.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                             static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(length, 0)));
    return text;
}

} // namespace

MainDialog::MainDialog()
    : CDialog(IDD_MAIN),
      Icon(static_cast<HICON>(::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                           IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                           ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR | LR_SHARED)))
{
}

const MessageMap* MainDialog::GetThisMessageMap()
{
    static const MessageEntry entries[] = {
        On::SysCommand<&MainDialog::OnSysCommand>(),
        On::Paint<&MainDialog::OnPaint>(),
        On::QueryDragIcon<&MainDialog::OnQueryDragIcon>(),
        On::Clicked<IDC_OPEN, &MainDialog::OnOpen>(),
        On::Clicked<IDC_NEXT, &MainDialog::OnNextControl>(),
        On::Clicked<IDC_EXPORT, &MainDialog::OnExport>(),
        On::Notify<IDC_RECORDS, LVN_GETDISPINFOA, &MainDialog::OnGetDispInfo>(),
        On::Clicked<IDC_EXIT, &MainDialog::OnExit>(),
        On::Size<&MainDialog::OnSize>(),
        On::Message<WM_CONTEXTMENU, &MainDialog::OnContextMenu>(),
        On::Command<ID_RECORD_COPY, &MainDialog::OnCopyRecord>(),
        On::Command<ID_RECORD_GOTO, &MainDialog::OnGoToRecord>(),
        On::Command<ID_RECORD_FIND, &MainDialog::OnFind>(),
        On::Command<ID_RECORD_FIND_NEXT, &MainDialog::OnFindNext>(),
        On::Command<ID_RECORD_VIEW, &MainDialog::OnViewRecord>(),
    };
    static const MessageMap map(CDialog::GetThisMessageMap(), entries);
    return &map;
}

void MainDialog::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_EXIT, ExitButton);
    DDX_Control(dx, IDC_RECORDS, RecordList);
    DDX_Control(dx, IDC_EXPORT, ExportButton);
    DDX_Control(dx, IDC_OPEN, OpenButton);
    DDX_Text(dx, IDC_CAPTION, CaptionText);
}

BOOL MainDialog::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (HMENU menu = GetSystemMenu(FALSE)) {
        const CString about = LoadStringResource(IDS_ABOUTBOX);
        if (!about.IsEmpty()) {
            ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetIcon(Icon, TRUE);
    SetIcon(Icon, FALSE);

    // Measured against the outer window, frame and caption included.
    RECT list;
    RECT self;
    RecordList.GetWindowRect(&list);
    GetWindowRect(&self);
    RightMargin = self.right - list.right;
    BottomMargin = self.bottom - list.bottom;

    RecordList.SetExtendedStyle(RecordList.GetExtendedStyle() | LVS_EX_FULLROWSELECT);

    // Magenta is the bitmaps' transparent background.
    constexpr COLORREF kMagenta = RGB(255, 0, 255);
    OpenButton.SetBitmapResources(IDB_OPEN, kMagenta);
    OpenButton.SetAnchor(ImageButton::AnchorTopLeft);
    ExportButton.SetBitmapResources(IDB_EXPORT, kMagenta);
    ExportButton.SetAnchor(ImageButton::AnchorBottomLeft);
    ExitButton.SetBitmapResources(IDB_EXIT, kMagenta);
    ExitButton.SetAnchor(ImageButton::AnchorBottomRight);

    Keys.Attach(m_hWnd, IDR_RECORD_KEYS);
    Initialised = 1;
    return TRUE;
}

void MainDialog::OnSysCommand(UINT id, LPARAM)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        AboutDialog about;
        about.DoModal();
    } else {
        Default();
    }
}

void MainDialog::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, Icon);
}

HCURSOR MainDialog::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(Icon);
}

void MainDialog::OnOpen()
{
    CFileDialog dialog(TRUE, ".dbf", "dbf", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       "DBase files (*.dbf)|*.dbf||");
    if (dialog.DoModal() != IDOK)
        return;

    Table.Close();
    Memo.Close();
    MemoSought = false;
    int opened = 0;
    try {
        opened = Table.Open(dialog.GetPathName());
    } catch (const CFileException&) {
        // The framework reports the error; the list must not go on showing
        // the columns and caption of the table that was closed.
        ClearTableView();
        throw;
    }
    if (!opened) {
        ClearTableView();
        CString message;
        message.Format("No se encuentra el archivo %s.", dialog.GetFileName().GetString());
        AfxMessageBox(message, MB_OK | MB_ICONSTOP);
        return;
    }

    while (RecordList.DeleteColumn(0)) {
    }
    for (int i = 0; i < Table.GetFieldCount(); ++i)
        RecordList.InsertColumn(i, Table.GetField(i).Name, LVCFMT_LEFT, 70, i);
    RecordList.DeleteAllItems();
    // A list holds at most INT_MAX items, whatever a header claims.
    const std::uint32_t count = Table.GetRecordCount();
    RecordList.SetItemCountEx(static_cast<int>(std::min<std::uint32_t>(count, INT_MAX)),
                              LVSICF_NOINVALIDATEALL);
    CaptionText.Format("%s - %u registros", dialog.GetFileName().GetString(), count);
    UpdateData(FALSE);
}

void MainDialog::ClearTableView()
{
    while (RecordList.DeleteColumn(0)) {
    }
    RecordList.DeleteAllItems();
    CaptionText.Empty();
    UpdateData(FALSE);
}

void MainDialog::OnNextControl()
{
    SendMessage(WM_NEXTDLGCTL, 0, 0);
}

void MainDialog::OnExport()
{
    CFileDialog save(FALSE, "txt", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                     "Archivo de texto (*.txt)|*.txt||");
    if (save.DoModal() == IDOK) {
        ExportFormatDialog format;
        if (format.DoModal() == IDOK) {
            // A file error ends the command here, reported by the framework,
            // with the wait cursor ended and the incomplete file removed.
            CWaitCursor wait;
            TextExportWriter(static_cast<ExportFormat>(format.Layout), format.Separator)
                .Export(Table, save.GetPathName());
        }
    }
    AfxMessageBox("Done", MB_OK | MB_ICONEXCLAMATION);
}

void MainDialog::OnGetDispInfo(NMHDR* header, LRESULT* result)
{
    *result = 0;
    if (!Table.IsOpen())
        return;
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
    Table.GoTo(static_cast<std::uint32_t>(item.iItem) + 1);
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0)
        return;
    const CString text = Table.GetDisplayText(item.iSubItem);
    const int length = std::min(text.GetLength(), item.cchTextMax - 1);
    std::memcpy(item.pszText, text.GetString(), static_cast<size_t>(length));
    item.pszText[length] = '\0';
}

void MainDialog::OnExit()
{
    CDialog::OnCancel();
}

void MainDialog::OnSize(UINT, int, int)
{
    if (Initialised) {
        RECT list;
        RecordList.GetWindowRect(&list);
        ScreenToClient(&list);
        RECT client;
        GetClientRect(&client);
        const int width = static_cast<int>(client.right - RightMargin - list.left);
        const int height = static_cast<int>(client.bottom - BottomMargin - list.top);
        RecordList.SetWindowPos(nullptr, list.left, list.top, std::max(0, width), std::max(0, height),
                                SWP_NOZORDER | SWP_NOOWNERZORDER);
        // The open button stays where the template put it.
        ExportButton.ApplyAnchor();
        ExitButton.ApplyAnchor();
    }
    Default();
}

std::wstring MainDialog::CellText(std::uint32_t record, int field)
{
    if (!Table.GoTo(record))
        return std::wstring();
    std::string bytes;
    Table.AppendDisplayText(field, bytes);
    return Widened(bytes);
}

std::wstring MainDialog::FullText(std::uint32_t record, int field)
{
    if (field < 0 || field >= Table.GetFieldCount() || Table.GetField(field).Memo != MemoUse::Text ||
        !Table.GoTo(record))
        return CellText(record, field);
    if (!MemoSought) {
        MemoSought = true;
        try {
            Memo.Open(Table.GetPath(), Table.GetVersion());
        } catch (const CFileException&) {
            // Without its memo file a memo shows as the list shows it.
        }
    }
    std::uint64_t block = 0;
    MemoFile::Memo memo;
    if (!Memo.IsOpen() || Table.IsNullValue(field) || Table.GetMemoBlock(field, block) != MemoPointer::Block ||
        !Memo.Find(block, memo) || memo.Type != MemoFile::Content::Text)
        return CellText(record, field);
    std::string bytes;
    for (std::uint64_t from = 0; from < memo.Length;) {
        const std::string_view piece = Memo.Piece(memo, from);
        bytes.append(piece);
        from += piece.size();
    }
    return Widened(bytes);
}

std::uint32_t MainDialog::SelectedRecord() const
{
    const int item = RecordList.GetSelectedItem();
    return item >= 0 && static_cast<std::uint32_t>(item) < Table.GetRecordCount() ? static_cast<std::uint32_t>(item) + 1
                                                                                   : 0;
}

std::uint32_t MainDialog::SelectedRecordOrBeep() const
{
    const std::uint32_t record = SelectedRecord();
    if (record == 0)
        ::MessageBeep(MB_OK);
    return record;
}

bool MainDialog::HasRecordsOrBeep() const
{
    if (!HasRecords())
        ::MessageBeep(MB_OK);
    return HasRecords();
}

void MainDialog::ShowRecord(std::uint32_t record)
{
    RecordList.SelectItem(static_cast<int>(record - 1));
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(RecordList.GetSafeHwnd()), TRUE);
}

LRESULT MainDialog::OnContextMenu(WPARAM wParam, LPARAM lParam)
{
    HWND list = RecordList.GetSafeHwnd();
    if (reinterpret_cast<HWND>(wParam) != list)
        return Default();
    POINT at { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) };
    if (static_cast<DWORD>(lParam) == 0xFFFFFFFF) {
        // From the keyboard: under the selected row, or at the list's corner.
        RECT row {};
        const int item = RecordList.GetSelectedItem();
        if (item < 0 || !RecordList.GetItemRect(item, &row, LVIR_LABEL))
            row = RECT {};
        at = POINT { row.left + 8, std::max<LONG>(row.bottom, 8) };
        RecordList.ClientToScreen(&at);
    }
    const bool records = HasRecords();
    const UINT onRecord = SelectedRecord() != 0 ? MF_ENABLED : MF_GRAYED;
    const UINT onTable = records ? MF_ENABLED : MF_GRAYED;
    const std::unique_ptr<std::remove_pointer_t<HMENU>, decltype(&::DestroyMenu)> menu(::CreatePopupMenu(),
                                                                                     &::DestroyMenu);
    if (!menu)
        return 0;
    // Every item of the menu, in its order.
    ::AppendMenuW(menu.get(), MF_STRING | onRecord, ID_RECORD_COPY, L"Copiar\tCtrl+C");
    ::AppendMenuW(menu.get(), MF_STRING | onRecord, ID_RECORD_VIEW, L"Ver registro\u2026\tAlt+Intro");
    ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu.get(), MF_STRING | onTable, ID_RECORD_GOTO, L"Ir al registro\u2026\tCtrl+G");
    ::AppendMenuW(menu.get(), MF_STRING | onTable, ID_RECORD_FIND, L"Buscar\u2026\tCtrl+F");
    ::AppendMenuW(menu.get(), MF_STRING | (records && !FindText.empty() ? MF_ENABLED : MF_GRAYED),
                  ID_RECORD_FIND_NEXT, L"Buscar siguiente\tF3");
    ::TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
    return 0;
}

void MainDialog::OnCopyRecord()
{
    const std::uint32_t record = SelectedRecordOrBeep();
    if (record == 0)
        return;
    std::vector<std::wstring> titles;
    std::vector<std::wstring> values;
    for (int field = 0; field < Table.GetFieldCount(); ++field) {
        titles.push_back(RecordList.GetColumnTitle(field));
        values.push_back(Table.GetField(field).Memo == MemoUse::Text ? FullText(record, field)
                                                                     : CellText(record, field));
    }
    if (!RecordClipboard::Put(m_hWnd, RecordClipboard::Text(titles, values)))
        AfxMessageBox("No se pudo copiar el registro: otro programa tiene el portapapeles.", MB_OK | MB_ICONSTOP);
}

void MainDialog::OnGoToRecord()
{
    if (!HasRecordsOrBeep())
        return;
    GoToDialog box(Table.GetRecordCount(), SelectedRecord(), this);
    if (box.DoModal() == IDOK)
        ShowRecord(box.Record);
}

void MainDialog::OnFind()
{
    if (!HasRecordsOrBeep())
        return;
    FindDialog box(FindText, this);
    if (box.DoModal() != IDOK)
        return;
    FindText = box.Text;
    FindFromSelection();
}

void MainDialog::OnFindNext()
{
    if (FindText.empty())
        OnFind();
    else if (HasRecordsOrBeep())
        FindFromSelection();
}

void MainDialog::FindFromSelection()
{
    std::uint32_t found = 0;
    {
        CWaitCursor wait;
        SearchProgress progress(m_hWnd, FindText);
        RecordSearch search(Table, CP_ACP, FindText);
        found = search.FindAfter(SelectedRecord(), [&](std::uint32_t done, std::uint32_t total) {
            return progress.Continue(done, total);
        });
        if (search.Stopped())
            return;
    }
    if (found != 0)
        ShowRecord(found);
    else
        AfxMessageBox((L"No se encontr\u00F3 \u00AB" + FindText + L"\u00BB.").c_str(), MB_OK | MB_ICONINFORMATION);
}

void MainDialog::OnViewRecord()
{
    const std::uint32_t record = SelectedRecordOrBeep();
    if (record == 0)
        return;
    std::vector<RecordViewDialog::Field> fields;
    for (int field = 0; field < Table.GetFieldCount(); ++field)
        fields.push_back({ RecordList.GetColumnTitle(field), FullText(record, field) });
    wchar_t title[64];
    std::swprintf(title, std::size(title), L"Registro %u de %u", record, Table.GetRecordCount());
    RecordViewDialog box(title, std::move(fields), this);
    box.DoModal();
}
