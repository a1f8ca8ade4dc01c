#include "app/TableApp.h"

#include "app/MainDialog.h"

// The one application object.
static TableApp theApp;

const MessageMap* TableApp::GetThisMessageMap()
{
    static const MessageEntry entries[] = {
        On::Command<ID_HELP, &CWinApp::OnHelp>(),
    };
    static const MessageMap map(CCmdTarget::GetThisMessageMap(), entries);
    return &map;
}

BOOL TableApp::InitInstance()
{
    Enable3dControls();
    MainDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The dialog has closed: no message loop, the program ends.
    return FALSE;
}
