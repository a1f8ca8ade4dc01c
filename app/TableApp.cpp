#include "app/TableApp.h"

#include "app/MainDialog.h"
#include "controls/ButtonPalette.h"

#include <string_view>

// The one application object.
static TableApp theApp;

namespace {

// The table the program was started with: its one argument, in quotes or
// not, as Explorer's "Abrir con" and a double-click pass it; empty for none.
CString TableArgument(std::string_view arguments)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!arguments.empty() && blank(arguments.front()))
        arguments.remove_prefix(1);
    if (!arguments.empty() && arguments.front() == '"') {
        arguments.remove_prefix(1);
        arguments = arguments.substr(0, arguments.find('"'));
    }
    while (!arguments.empty() && blank(arguments.back()))
        arguments.remove_suffix(1);
    return CString(arguments);
}

} // namespace

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
    dialog.OpenAtStart(TableArgument(m_lpCmdLine.View()));
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The dialog has closed: no message loop, the program ends.
    return FALSE;
}
