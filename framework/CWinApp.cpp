#include "framework/CWinApp.h"

#include "framework/CWnd.h"

#include <algorithm>
#include <string>

namespace {

CWinApp* theApplication = nullptr;

CString ModuleBaseName(HINSTANCE instance)
{
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(instance, path, MAX_PATH);
    std::string name(path, length);
    const size_t slash = name.find_last_of("\\/:");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return CString(name);
}

} // namespace

CWinApp::CWinApp(const char* appName) : m_hInstance(::GetModuleHandleA(nullptr))
{
    theApplication = this;
    m_pszAppName = appName ? CString(appName) : ModuleBaseName(m_hInstance);
}

CWinApp::~CWinApp()
{
    if (theApplication == this)
        theApplication = nullptr;
}

int CWinApp::Run()
{
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return ExitInstance();
}

BOOL CWinApp::Enable3dControls()
{
    INITCOMMONCONTROLSEX controls {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
    return ::InitCommonControlsEx(&controls);
}

void CWinApp::DoWaitCursor(int code)
{
    if (code > 0 && m_waitCount++ == 0)
        m_restoreCursor = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    else if (code < 0 && m_waitCount > 0 && --m_waitCount == 0)
        ::SetCursor(m_restoreCursor ? m_restoreCursor : ::LoadCursorA(nullptr, IDC_ARROW));
    else if (code == 0 && m_waitCount > 0)
        ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}

CWinApp* AfxGetApp()
{
    return theApplication;
}

HINSTANCE AfxGetInstanceHandle()
{
    return theApplication ? theApplication->m_hInstance : ::GetModuleHandleA(nullptr);
}

CWnd* AfxGetMainWnd()
{
    return theApplication ? theApplication->m_pMainWnd : nullptr;
}

namespace {

// The box belongs to whatever window of the program is active (a modal
// dialog, say), so that window stays disabled while the box is up.
HWND MessageBoxOwner(UINT& type)
{
    HWND owner = ::GetActiveWindow();
    if (!owner && AfxGetMainWnd())
        owner = AfxGetMainWnd()->GetSafeHwnd();
    if (!owner)
        type |= MB_TASKMODAL;
    return owner;
}

} // namespace

int AfxMessageBox(const char* text, UINT type)
{
    HWND owner = MessageBoxOwner(type);
    const CString title = theApplication ? theApplication->m_pszAppName : CString();
    return ::MessageBoxA(owner, text, title, type);
}

int AfxMessageBox(const wchar_t* text, UINT type)
{
    HWND owner = MessageBoxOwner(type);
    const CString name = theApplication ? theApplication->m_pszAppName : CString();
    // The name is the executable's, in the system's code page.
    std::wstring title(static_cast<size_t>(name.GetLength()) + 1, L'\0');
    const int length = ::MultiByteToWideChar(CP_ACP, 0, name.GetString(), name.GetLength(), title.data(),
                                             static_cast<int>(title.size()));
    title.resize(static_cast<size_t>(std::max(length, 0)));
    return ::MessageBoxW(owner, text, title.c_str(), type);
}

CString LoadStringResource(UINT id)
{
    // A string resource holds at most 65535 characters.
    std::string text(65536, '\0');
    const int length = ::LoadStringA(AfxGetInstanceHandle(), id, text.data(), static_cast<int>(text.size()));
    return CString(text.data(), length > 0 ? length : 0);
}

int AfxWinMain(HINSTANCE instance, const char* commandLine)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = commandLine ? commandLine : "";
    BOOL started = FALSE;
    GuardedCall([&] { started = app->InitInstance(); });
    if (!started)
        return app->ExitInstance();
    return app->Run();
}
