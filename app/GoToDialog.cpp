// The box that asks for a record number.
#include "app/GoToDialog.h"

#include "app/Resource.h"
#include "app/WindowMessages.h"
#include "framework/CWinApp.h"

GoToDialog::GoToDialog(std::uint32_t recordCount, std::uint32_t current, CWnd* parent)
    : CDialog(IDD_GOTO, parent), Record(current), m_count(recordCount)
{
}

std::uint32_t GoToDialog::Parse(const CString& text, std::uint32_t count)
{
    const std::string_view all = text.View();
    const size_t first = all.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return 0;
    const std::string_view digits = all.substr(first, all.find_last_not_of(' ') + 1 - first);
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > count)
            return 0;
    }
    return static_cast<std::uint32_t>(value);
}

BOOL GoToDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    CString prompt;
    prompt.Format(kGoToPrompt, m_count);
    ::SetDlgItemTextA(m_hWnd, IDC_GOTO_PROMPT, prompt);
    if (Record > 0)
        ::SetDlgItemInt(m_hWnd, IDC_GOTO_NUMBER, Record, FALSE);
    // The number shown is selected, so that typing replaces it.
    ::SendDlgItemMessageA(m_hWnd, IDC_GOTO_NUMBER, EM_SETSEL, 0, -1);
    return TRUE;
}

void GoToDialog::OnOK()
{
    HWND edit = GetDlgItem(IDC_GOTO_NUMBER);
    char typed[64] = {};
    ::GetWindowTextA(edit, typed, sizeof typed);
    const std::uint32_t record = Parse(typed, m_count);
    if (record == 0) {
        CString message;
        if (CString(typed).View().find_first_not_of(' ') == std::string_view::npos)
            message.Format(kGoToNothingTyped, m_count);
        else
            message.Format(kGoToNoSuchRecord, typed, m_count);
        AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(edit);
        ::SendMessageA(edit, EM_SETSEL, 0, -1);
        return;
    }
    Record = record;
    CDialog::OnOK();
}
