// The box that asks for the text to find.
#include "app/FindDialog.h"

#include "app/Resource.h"
#include "app/WindowMessages.h"
#include "framework/CWinApp.h"

FindDialog::FindDialog(std::wstring text, CWnd* parent) : CDialog(IDD_FIND, parent), Text(std::move(text))
{
    m_unicodeControls = true;
}

BOOL FindDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    HWND edit = GetDlgItem(IDC_FIND_TEXT);
    ::SetWindowTextW(edit, Text.c_str());
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    return TRUE;
}

void FindDialog::OnOK()
{
    HWND edit = GetDlgItem(IDC_FIND_TEXT);
    std::wstring typed(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    typed.resize(static_cast<size_t>(::GetWindowTextW(edit, typed.data(), static_cast<int>(typed.size()))));
    if (typed.empty()) {
        AfxMessageBox(kFindNothingTyped, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(edit);
        return;
    }
    Text = std::move(typed);
    CDialog::OnOK();
}
