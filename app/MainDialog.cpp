#include "app/MainDialog.h"

#include "app/AboutDialog.h"
#include "app/Resource.h"
#include "app/ExportFormatDialog.h"
#include "export/TextExportWriter.h"
#include "framework/CDC.h"
#include "framework/CDataExchange.h"
#include "framework/CFileDialog.h"
#include "framework/CWinApp.h"

#include <algorithm>
#include <climits>
#include <cstring>

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
            // with the wait cursor ended and an earlier file kept as it was.
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
