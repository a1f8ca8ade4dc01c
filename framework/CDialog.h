#pragma once

#include "framework/CWnd.h"

class CDataExchange;

// A modal dialog built from a dialog template resource.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog; returns the value passed to EndDialog, or -1 when the
    // dialog could not be created. The owner is the given parent or else the
    // application's main window.
    virtual INT_PTR DoModal();
    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }

    // Runs the data exchange: towards the controls (FALSE) or from them into
    // the members, with validation (TRUE). False when a validation failed.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    static const MessageMap* GetThisMessageMap();
    const MessageMap* GetMessageMap() const override { return GetThisMessageMap(); }
    bool OnCmdMsg(UINT id, UINT code) override;

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange*) {}

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleInitDialog(HWND hwnd);
    LRESULT OnHelpInfo(WPARAM, LPARAM);

    UINT m_templateId;
    CWnd* m_pParentWnd;

protected:
    // Its controls are made Unicode windows, for texts in any script; the
    // dialog itself still receives its messages in the system's code page.
    bool m_unicodeControls = false;
};
