#pragma once

#include "framework/CString.h"
#include "framework/Win32.h"

class CDialog;
class CWnd;

// One run of a dialog's data exchange, in one direction: towards the
// controls, or from the controls into the members with validation.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate)
    {
    }

    // The control about to be exchanged; a failed validation returns the
    // focus to it. Returns its window.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Ends the exchange after a validation message: focus goes back to the
    // last prepared control, whose text is selected when it is an edit.
    [[noreturn]] void Fail();
    // The edit field exchanged last, or null.
    HWND LastEditCtrl() const { return m_lastIsEdit ? m_lastControl : nullptr; }

    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;

private:
    HWND m_lastControl = nullptr;
    bool m_lastIsEdit = false;
};

// Attaches the control object to control id, the first time only.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// The text of control id.
void DDX_Text(CDataExchange* dx, int id, CString& value);
// The index of the checked button in the radio group that starts at id;
// -1 when none is checked.
void DDX_Radio(CDataExchange* dx, int id, int& value);
// At most count characters: towards the controls it limits the edit field
// exchanged last; from them a longer text is refused with a message.
void DDV_MaxChars(CDataExchange* dx, const CString& value, int count);
