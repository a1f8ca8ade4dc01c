#pragma once

#include "framework/CCmdTarget.h"
#include "framework/CString.h"
#include "framework/Win32.h"

class CWnd;

// The framework's standard help command.
constexpr UINT ID_HELP = 57670;

// The application: one static object per program. The framework's entry
// point runs its start-up operation, InitInstance; when that returns false no
// message loop runs and the program ends.
class CWinApp : public CCmdTarget {
public:
    // Without a name the application takes the executable's file name
    // without its extension.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }
    // The message loop, entered only when InitInstance succeeded.
    virtual int Run();

    // The 3-D look of dialog controls: the common controls and, through the
    // program's manifest, the system's visual styles. False where unavailable.
    BOOL Enable3dControls();

    // Wait cursor, counted: 1 begins, -1 ends, 0 shows it again.
    void DoWaitCursor(int code);
    void BeginWaitCursor() { DoWaitCursor(1); }
    void EndWaitCursor() { DoWaitCursor(-1); }

    // The standard help command (ID_HELP): the program has no help content.
    void OnHelp() {}

    HINSTANCE m_hInstance;
    // The arguments the program was started with, as one text; empty when
    // it runs without WinMain (as the GUI tests run it).
    CString m_lpCmdLine;
    CWnd* m_pMainWnd = nullptr;
    CString m_pszAppName;

private:
    int m_waitCount = 0;
    HCURSOR m_restoreCursor = nullptr;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
CWnd* AfxGetMainWnd();

// A message box owned by the program's active window, titled with the
// application's name.
int AfxMessageBox(const char* text, UINT type = MB_OK);
// The same for a text in any script.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK);

// String resource id of the application's module; empty when there is none.
CString LoadStringResource(UINT id);

// Begins the wait cursor for as long as it exists.
class CWaitCursor {
public:
    CWaitCursor() { AfxGetApp()->BeginWaitCursor(); }
    ~CWaitCursor() { AfxGetApp()->EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// The framework's entry point, called by WinMain with the command line's
// arguments, the program's name left out.
int AfxWinMain(HINSTANCE instance, const char* commandLine);
