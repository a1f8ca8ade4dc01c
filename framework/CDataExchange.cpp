#include "framework/CDataExchange.h"

#include "framework/AnsiText.h"
#include "framework/CDialog.h"
#include "framework/CException.h"
#include "framework/CWinApp.h"

#include <string>

namespace {

bool IsRadioButton(HWND control)
{
    if (!(::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
        return false;
    const LONG_PTR type = ::GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// The controls of the group that begins at first: up to, not including, the
// next control that starts a group.
template <class Visit>
void ForEachInGroup(HWND first, Visit visit)
{
    HWND control = first;
    do {
        visit(control);
        control = ::GetWindow(control, GW_HWNDNEXT);
    } while (control && !(::GetWindowLongPtrA(control, GWL_STYLE) & WS_GROUP));
}

} // namespace

HWND CDataExchange::PrepareCtrl(int id)
{
    m_lastControl = m_pDlgWnd->GetDlgItem(id);
    m_lastIsEdit = false;
    return m_lastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id)
{
    HWND control = PrepareCtrl(id);
    m_lastIsEdit = true;
    return control;
}

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && m_lastControl) {
        ::SetFocus(m_lastControl);
        if (m_lastIsEdit)
            ::SendMessageA(m_lastControl, EM_SETSEL, 0, -1);
    }
    throw CUserException();
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (!control.m_hWnd)
        control.SubclassWindow(dx->PrepareCtrl(id));
}

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate) {
        const int length = ::GetWindowTextLengthA(control);
        std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
        const int got = ::GetWindowTextA(control, text.data(), length + 1);
        value = CString(text.data(), got);
    } else {
        ::SetWindowTextA(control, value);
    }
}

void DDX_Radio(CDataExchange* dx, int id, int& value)
{
    HWND first = dx->PrepareCtrl(id);
    if (!first)
        return;
    if (dx->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    ForEachInGroup(first, [&](HWND control) {
        if (!IsRadioButton(control))
            return;
        if (dx->m_bSaveAndValidate) {
            if (::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED && value == -1)
                value = index;
        } else {
            ::SendMessageA(control, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++index;
    });
}

void DDV_MaxChars(CDataExchange* dx, const CString& value, int count)
{
    if (!dx->m_bSaveAndValidate) {
        if (HWND edit = dx->LastEditCtrl())
            ::SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(count), 0);
        return;
    }
    if (value.GetLength() <= count)
        return;
    CString message(ANSI_TEXT("No introduzca más de %1 caracteres."));
    CString number;
    number.Format("%d", count);
    message.Replace("%1", number.View());
    AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
    dx->Fail();
}
