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
    if (m_unicodeControls)
        return ::DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_templateId), owner,
                                 &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
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

namespace {

// Whether the dialog template places the dialog at (0, 0) and leaves its
// position to the program (no centring or absolute-placement style).
bool TemplateAtOrigin(UINT templateId)
{
    HINSTANCE module = AfxGetInstanceHandle();
    HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5));
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const auto* bytes = static_cast<const unsigned char*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!bytes || ::SizeofResource(module, resource) < 22)
        return false;
    const auto word = [&](size_t at) { return static_cast<unsigned>(bytes[at] | (bytes[at + 1] << 8)); };
    const auto dword = [&](size_t at) { return word(at) | (word(at + 2) << 16); };
    // DLGTEMPLATEEX begins with version 1 and signature 0xFFFF; DLGTEMPLATE with its style.
    const bool extended = word(0) == 1 && word(2) == 0xFFFF;
    const DWORD style = extended ? dword(12) : dword(0);
    const size_t position = extended ? 18 : 10;
    return word(position) == 0 && word(position + 2) == 0 &&
           !(style & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN));
}

} // namespace

INT_PTR CDialog::HandleInitDialog(HWND hwnd)
{
    SubclassWindow(hwnd);
    RECT before;
    GetWindowRect(&before);
    const BOOL focusDefault = OnInitDialog();
    // A dialog that its template places at (0, 0) opens centred on its
    // owner, or on the screen without one, unless it placed itself.
    RECT after;
    GetWindowRect(&after);
    if (after.left == before.left && after.top == before.top && TemplateAtOrigin(m_templateId))
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
