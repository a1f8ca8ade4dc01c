#include "framework/CDialog.h"

#include "framework/CDataExchange.h"
#include "framework/CException.h"
#include "framework/CWinApp.h"

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParentWnd(parent) {}

const MessageMap* CDialog::GetThisMessageMap()
{
    static const MessageEntry entries[] = {
        On::Command<IDOK, &CDialog::OnOK>(),
        On::Command<IDCANCEL, &CDialog::OnCancel>(),
        On::Message<WM_HELP, &CDialog::OnHelpInfo>(),
    };
    static const MessageMap map(CWnd::GetThisMessageMap(), entries);
    return &map;
}

INT_PTR CDialog::DoModal()
{
    HWND owner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    if (!owner && AfxGetMainWnd() != this && AfxGetMainWnd())
        owner = AfxGetMainWnd()->GetSafeHwnd();
    return ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_templateId), owner,
                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

// The dialog manager's callback. Once the dialog is attached, every message
// goes through the framework's window procedure and reaches this callback
// only as the default processing, which it leaves to the dialog manager.
INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    INT_PTR result = TRUE;
    if (!GuardedCall([&] { result = dialog->HandleInitDialog(hwnd); }))
        ::EndDialog(hwnd, -1);
    return result;
}

INT_PTR CDialog::HandleInitDialog(HWND hwnd)
{
    SubclassWindow(hwnd);
    // A dialog that its template places at (0, 0) opens centred on its
    // owner, or on the screen without one.
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    POINT origin = { 0, 0 };
    if (owner)
        ::ClientToScreen(owner, &origin);
    RECT before;
    GetWindowRect(&before);
    const bool atOrigin = before.left == origin.x && before.top == origin.y;
    const BOOL focusDefault = OnInitDialog();
    RECT after;
    GetWindowRect(&after);
    if (atOrigin && after.left == before.left && after.top == before.top)
        CenterWindow();
    return focusDefault;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate);
    try {
        DoDataExchange(&exchange);
    } catch (const CUserException&) {
        return FALSE;
    }
    return TRUE;
}

bool CDialog::OnCmdMsg(UINT id, UINT code)
{
    // Commands the dialog does not handle go on to the application.
    return CWnd::OnCmdMsg(id, code) || (AfxGetApp() && AfxGetApp()->OnCmdMsg(id, code));
}

// F1: the standard help command.
LRESULT CDialog::OnHelpInfo(WPARAM, LPARAM)
{
    OnCmdMsg(ID_HELP, 0);
    return TRUE;
}
