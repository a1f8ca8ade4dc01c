// DialogAccelerators: an accelerator table for a modal dialog.
#pragma once

#include "framework/Win32.h"

// Gives a modal dialog the keys of an accelerator table. The dialog's
// message loop is the system's, so the keys are translated where that loop
// offers each message to the thread's filters, before the dialog manager
// sees it: only messages for the dialog or its controls, and only while the
// dialog is enabled (no box of its own is open over it). A translated key
// reaches the dialog as WM_COMMAND, as a menu item's command does.
class DialogAccelerators {
public:
    DialogAccelerators() = default;
    ~DialogAccelerators() { Detach(); }
    DialogAccelerators(const DialogAccelerators&) = delete;
    DialogAccelerators& operator=(const DialogAccelerators&) = delete;

    // Starts translating the keys of accelerator resource tableId for the dialog.
    void Attach(HWND dialog, UINT tableId);
    void Detach();

private:
    static LRESULT CALLBACK Filter(int code, WPARAM wParam, LPARAM lParam);
    bool Translate(MSG& message) const;

    HWND m_dialog = nullptr;
    HACCEL m_table = nullptr; // a resource: never destroyed
    HHOOK m_hook = nullptr;
    DialogAccelerators* m_outer = nullptr; // the one attached before, on this thread
};
