#include "app/TableApp.h"

#include "app/MainDialog.h"
#include "controls/ButtonPalette.h"

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
    // Before any window: the framed buttons paint from the palette's pens.
    ButtonPalette::Create();
    MainDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The dialog has closed: no message loop, the program ends.
    return FALSE;
}
