#include "app/MainDialog.h"

#include "app/AboutDialog.h"
#include "app/CodePageMenu.h"
#include "app/ExportFormatDialog.h"
#include "app/Resource.h"
#include "app/WindowMessages.h"
#include "export/JsonLinesWriter.h"
#include "export/SqlScriptWriter.h"
#include "export/TextExportWriter.h"
#include "export/WorkbookWriter.h"
#include "framework/CDC.h"
#include "framework/CDataExchange.h"
#include "framework/CFileDialog.h"
#include "framework/CWinApp.h"
#include "framework/FilePath.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

// Posted to the dialog itself, so that each runs once the window is shown
// and outside the list's painting.
constexpr UINT WM_OPEN_START_PATH = WM_APP + 1;
constexpr UINT WM_REPORT_DAMAGE = WM_APP + 2;

// A memo's text in full, up to this much: a record view or a copy of more
// than this would be no use to anybody, and memory stays bounded.
constexpr size_t kWholeMemoLimit = 16 * 1024 * 1024;
// A memo's first line in a cell: the list shows at most 259 characters.
constexpr size_t kMemoCellLimit = 1024;

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
        On::Notify<IDC_RECORDS, LVN_GETDISPINFOW, &MainDialog::OnGetDispInfo>(),
        On::Clicked<IDC_EXIT, &MainDialog::OnExit>(),
        On::Size<&MainDialog::OnSize>(),
        On::Message<WM_CONTEXTMENU, &MainDialog::OnContextMenu>(),
        On::Message<WM_DROPFILES, &MainDialog::OnDropFiles>(),
        On::Message<WM_OPEN_START_PATH, &MainDialog::OnOpenStartPath>(),
        On::Message<WM_REPORT_DAMAGE, &MainDialog::OnReportDamage>(),
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
    // Cells and titles in Unicode, whatever the system's ANSI code page.
    RecordList.SetUnicodeFormat(TRUE);
    ::DragAcceptFiles(GetSafeHwnd(), TRUE);

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
    if (!StartPath.IsEmpty())
        PostMessage(WM_OPEN_START_PATH);
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
    CFileDialog dialog(TRUE, ".dbf", "dbf", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kOpenTypes);
    if (dialog.DoModal() != IDOK)
        return;

    OpenTable(dialog.GetPathName(), dialog.GetFileName());
}

void MainDialog::OpenTable(const CString& path, const CString& fileName)
{
    Table.Close();
    DamageReported = false;
    int opened = 0;
    try {
        opened = Table.Open(path);
    } catch (const CFileException&) {
        // The framework reports the error; the list must not go on showing
        // the columns and caption of the table that was closed.
        ClearTableView();
        throw;
    }
    if (!opened) {
        ClearTableView();
        CString message;
        message.Format(kFileNotFound, fileName);
        AfxMessageBox(message, MB_OK | MB_ICONSTOP);
        return;
    }
    // What cannot be read beside the table is told once the table shows:
    // a .cpg leaves its bytes as they are, a memo file its block numbers.
    std::vector<CString> unreadable;
    try {
        // A code page the system lacks leaves the bytes shown as they are.
        if (const unsigned codePage = Table.FindCodePage())
            Table.SetCodePage(codePage);
    } catch (const CFileException& e) {
        unreadable.push_back(e.GetErrorMessage());
    }
    Table.FindLongNames();
    if (Table.HasMemoFields(false)) {
        try {
            Table.OpenMemo();
        } catch (const CFileException& e) {
            unreadable.push_back(e.GetErrorMessage() + "\n" + kMemosShowBlocks);
        }
    }

    ShowColumns();
    RecordList.DeleteAllItems();
    // A list holds at most INT_MAX items, whatever a header claims.
    const std::uint32_t count = Table.Table().GetRecordCount();
    RecordList.SetItemCountEx(static_cast<int>(std::min<std::uint32_t>(count, INT_MAX)),
                              LVSICF_NOINVALIDATEALL);
    CaptionText.Format(kCaption, fileName, count);
    UpdateData(FALSE);

    ReportOpening();
    for (const CString& message : unreadable)
        AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
}

void MainDialog::ShowColumns()
{
    while (RecordList.DeleteColumn(0)) {
    }
    const mDBase& table = Table.Table();
    for (int i = 0; i < table.GetFieldCount(); ++i)
        RecordList.InsertColumn(i, Wide(Table.FieldName(i).View()).c_str(), LVCFMT_LEFT, 70, i);
}

void MainDialog::ReportOpening()
{
    for (const OpenedTable::Warning& warning : Table.TakeWarnings()) {
        CString message;
        switch (warning.What) {
        case OpenedTable::Warning::UnknownCpg:
            message.Format(kUnknownCpg, warning.File.c_str());
            break;
        case OpenedTable::Warning::UnsupportedCodePage:
            message.Format(kUnsupportedCodePage, warning.File.c_str(), warning.CodePage);
            break;
        case OpenedTable::Warning::NoLongNames:
            message.Format(kNoLongNames, warning.File.c_str(), warning.Detail);
            break;
        case OpenedTable::Warning::AssumedWindows1252:
            continue; // the window shows such a table in the system's code page
        }
        AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
    }
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

namespace {

// The save dialog's types (kSaveTypes), numbered as its filter counts them:
// the text layouts first, then the typed outputs, each written as
// orvalis-export writes it with its option (--xlsx, --jsonl, --sql=...). The
// dialog gives a name typed without an extension the chosen type's.
enum SaveType : DWORD { kTextType = 1, kWorkbookType, kJsonLinesType, kPostgreSqlType, kSqliteType, kMySqlType };

} // namespace

void MainDialog::OnExport()
{
    CFileDialog save(FALSE, "txt", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kSaveTypes);
    if (save.DoModal() == IDOK) {
        // A file error ends the command here, reported by the framework,
        // with the wait cursor ended and an earlier file kept as it was.
        if (save.m_ofn.nFilterIndex > kTextType) {
            if (!Table.IsOpen()) {
                AfxMessageBox(kNothingToExport, MB_OK | MB_ICONSTOP);
                return;
            }
            CWaitCursor wait;
            ExportTyped(save.m_ofn.nFilterIndex, save.GetPathName());
        } else {
            ExportFormatDialog format;
            if (format.DoModal() == IDOK) {
                CWaitCursor wait;
                TextExportWriter(static_cast<ExportFormat>(format.Layout), format.Separator)
                    .Export(Table.Table(), save.GetPathName());
            }
        }
    }
    AfxMessageBox(kExportDone, MB_OK | MB_ICONEXCLAMATION);
}

void MainDialog::ExportTyped(DWORD type, const CString& path)
{
    // What orvalis-export decides for the table: texts in UTF-8 from the
    // code page shown (the one the table declares, or the one chosen, as
    // --utf8=CP would), or else 1252; the names its database gives it; its
    // memo file, for binary memos too.
    mDBase& table = Table.Table();
    const CodePageConverter converter(Table.CodePage() != 0 ? Table.CodePage() : kCodePageWindows1252);
    std::string name;
    if (Table.HasLongNames()) {
        converter.AppendUtf8(Table.LongNames().Table.View(), name);
    } else {
        const std::string file(table.GetPath().View());
        CodePageConverter(::GetACP()).AppendUtf8(WithExtension(file.substr(NameStart(file)), ""), name);
    }
    if (Table.HasMemoFields(true) && !Table.Memo()) {
        try {
            Table.OpenMemo();
        } catch (const CFileException&) {
            // A workbook leaves the memos' cells empty, JSON Lines writes
            // null; a script cannot load what is not there.
            if (type != kWorkbookType && type != kJsonLinesType)
                throw;
        }
    }
    std::unique_ptr<ExportWriter> writer;
    if (type == kWorkbookType) {
        writer = std::make_unique<WorkbookWriter>(name, converter);
    } else if (type == kJsonLinesType) {
        writer = std::make_unique<JsonLinesWriter>();
        writer->SetConverter(&converter);
    } else {
        const char* const database = type == kPostgreSqlType ? "postgresql" : type == kSqliteType ? "sqlite" : "mysql";
        writer = std::make_unique<SqlScriptWriter>(SqlDialect::Named(database), name, converter);
    }
    if (Table.HasLongNames())
        writer->SetFieldNames(Table.LongNames().Fields);
    writer->SetMemoFile(Table.Memo());
    writer->Export(table, path);
}

void MainDialog::OnGetDispInfo(NMHDR* header, LRESULT* result)
{
    *result = 0;
    if (!Table.IsOpen())
        return;
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
    const bool wantsText = (item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0;
    if (wantsText)
        item.pszText[0] = L'\0';
    const auto record = static_cast<std::uint32_t>(item.iItem) + 1;
    try {
        if (!wantsText) {
            Table.Table().GoTo(record);
            return;
        }
        const std::wstring text = CellText(record, item.iSubItem);
        const size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
        std::wmemcpy(item.pszText, text.data(), length);
        item.pszText[length] = L'\0';
    } catch (const CFileException& e) {
        // Reached while painting: the cell stays empty, and the damage is
        // told once, after the painting.
        if (!DamageReported) {
            DamageReported = true;
            DamageMessage = e.GetErrorMessage();
            PostMessage(WM_REPORT_DAMAGE);
        }
    }
}

std::wstring MainDialog::CellText(std::uint32_t record, int field)
{
    if (!Table.IsOpen() || !Table.Table().GoTo(record))
        return {};
    return FieldText(field, false);
}

std::wstring MainDialog::FullText(std::uint32_t record, int field)
{
    if (!Table.IsOpen() || !Table.Table().GoTo(record))
        return {};
    return FieldText(field, true);
}

std::wstring MainDialog::FieldText(int i, bool whole)
{
    std::string memo;
    if (Table.ReadMemoText(i, whole ? kWholeMemoLimit : kMemoCellLimit, memo)) {
        if (!whole) {
            // One line in a cell.
            const size_t end = memo.find_first_of("\r\n");
            if (end != std::string::npos)
                memo.resize(end);
        }
        return Wide(memo);
    }
    return Wide(Table.Table().GetDisplayText(i).View());
}

std::wstring MainDialog::Wide(std::string_view bytes) const
{
    UINT from = CP_ACP;
    if (const CodePageConverter* converter = Table.Converter()) {
        Utf8.clear();
        converter->AppendUtf8(bytes, Utf8);
        bytes = Utf8;
        from = CP_UTF8;
    }
    std::wstring wide;
    if (bytes.empty() || bytes.size() > INT_MAX)
        return wide;
    const int size = static_cast<int>(bytes.size());
    wide.resize(static_cast<size_t>(::MultiByteToWideChar(from, 0, bytes.data(), size, nullptr, 0)));
    if (!wide.empty())
        ::MultiByteToWideChar(from, 0, bytes.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

LRESULT MainDialog::OnReportDamage(WPARAM, LPARAM)
{
    AfxMessageBox(DamageMessage, MB_OK | MB_ICONSTOP);
    return 0;
}

LRESULT MainDialog::OnOpenStartPath(WPARAM, LPARAM)
{
    const CString path = StartPath;
    StartPath.Empty();
    const std::string_view view = path.View();
    OpenTable(path, CString(view.substr(NameStart(view))));
    return 0;
}

LRESULT MainDialog::OnDropFiles(WPARAM wParam, LPARAM)
{
    const auto drop = reinterpret_cast<HDROP>(wParam);
    // The first file dropped; a table at a time.
    CString path;
    const UINT length = ::DragQueryFileA(drop, 0, nullptr, 0);
    if (length != 0) {
        std::string name(length + 1, '\0');
        ::DragQueryFileA(drop, 0, name.data(), length + 1);
        name.resize(length);
        path = CString(std::string_view(name));
    }
    ::DragFinish(drop);
    if (!path.IsEmpty()) {
        const std::string_view view = path.View();
        OpenTable(path, CString(view.substr(NameStart(view))));
    }
    return 0;
}

HMENU MainDialog::CreateListMenu()
{
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_POPUP | (Table.IsOpen() ? MF_ENABLED : MF_GRAYED),
                  reinterpret_cast<UINT_PTR>(CodePageMenu::Create(Table.CodePage())), kMenuCodePage);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    Records.AppendMenuItems(menu);
    return menu;
}

LRESULT MainDialog::OnContextMenu(WPARAM window, LPARAM point)
{
    if (reinterpret_cast<HWND>(window) != RecordList.GetSafeHwnd()) {
        Default();
        return 0;
    }
    POINT at { static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point)) };
    if (point == -1) {
        // From the keyboard: below the selected row, or at the list's corner.
        RECT place {};
        const int selected = RecordList.GetSelectionMark();
        place.left = LVIR_BOUNDS;
        if (selected < 0 ||
            !RecordList.SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&place)))
            place = {};
        at = { place.left + 8, place.bottom };
        ::ClientToScreen(RecordList.GetSafeHwnd(), &at);
    }
    HMENU menu = CreateListMenu();
    const UINT command = static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0,
                                                            GetSafeHwnd(), nullptr));
    ::DestroyMenu(menu);
    unsigned codePage = 0;
    if (CodePageMenu::CodePageOf(command, codePage))
        ShowInCodePage(codePage);
    else if (command != 0)
        SendMessage(WM_COMMAND, command);
    return 0;
}

void MainDialog::ShowInCodePage(unsigned codePage)
{
    if (!Table.IsOpen())
        return;
    try {
        Table.SetCodePage(codePage);
    } catch (const CCodePageException& e) {
        CString message;
        message.Format(kCodePageMissing, e.CodePage());
        AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // The titles change, the widths the user gave the columns stay.
    for (int i = 0; i < Table.Table().GetFieldCount(); ++i)
        RecordList.SetColumnTitle(i, Wide(Table.FieldName(i).View()).c_str());
    RecordList.Invalidate();
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

void MainDialog::OnCopyRecord()
{
    Records.Copy();
}

void MainDialog::OnGoToRecord()
{
    Records.GoTo();
}

void MainDialog::OnFind()
{
    Records.Find();
}

void MainDialog::OnFindNext()
{
    Records.FindNext();
}

void MainDialog::OnViewRecord()
{
    Records.View();
}
