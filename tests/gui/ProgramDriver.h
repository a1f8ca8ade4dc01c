#pragma once

// Drives the real program in its real windows: the program's start-up runs
// on the test's thread, in its own modal loops, while a script on a second
// thread finds its windows and answers them through Win32 messages, as a
// user would.

#include "framework/Win32.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace gui {

constexpr int kTimeoutMs = 10000;

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string text;
    std::string caption;
    HICON icon = nullptr;
};

class ProgramDriver {
public:
    explicit ProgramDriver(DWORD uiThread) : m_uiThread(uiThread) {}

    // Waits for a visible top-level dialog of the program with this title.
    HWND WaitForDialog(const std::string& title, int timeoutMs = kTimeoutMs);
    // Waits for the condition, polling; false on timeout.
    static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kTimeoutMs);
    // The main dialog ("Orvalis").
    HWND Main();
    // The program's active window, as its own thread sees it.
    HWND Active() const;
    HWND Focus() const;
    // Visible top-level windows of the program's thread.
    int TopLevelCount() const;

    void Click(HWND dialog, int id);
    void PressKey(HWND target, UINT key, bool alt = false);
    void PostCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam = 0);
    // Types a key with modifiers (VK_CONTROL, VK_MENU, VK_SHIFT) held down,
    // as the keyboard does, into the program's foreground window: the
    // modifiers' state reaches the program, as a posted key's cannot.
    void Chord(std::initializer_list<UINT> modifiers, UINT key);
    // The clipboard's CF_UNICODETEXT and CF_TEXT; empty when it holds none.
    static std::wstring ClipboardText();
    static std::string ClipboardAnsiText();
    static void EmptyClipboard();
    // A window's text, in any script.
    std::wstring WideText(HWND window) const;
    std::string Text(HWND window) const;
    std::string ItemText(HWND dialog, int id) const;

    // The system's file dialog: types the name and presses its button, or
    // cancels it. Unless told not to, waits until the dialog has closed (it
    // stays open while it asks whether to replace a file).
    void AnswerFileDialog(const std::string& name, bool waitUntilClosed = true);
    // The file dialog's types, as its type box lists them; and the choice of
    // one (0 is the first), as a user makes it.
    std::vector<std::string> FileDialogTypes();
    void ChooseFileType(int index);
    void CancelFileDialog();
    MessageBoxInfo WaitForMessageBox();
    void PressOk(const MessageBoxInfo& box);

    // "Abrir dbf", then the file dialog answered with the path.
    void OpenTable(const std::string& path);
    // Opens and waits until the caption line shows the table.
    void OpenTableAndWait(const std::string& path);

    // The record list, read through the list itself.
    HWND List();
    int ColumnCount();
    std::string ColumnTitle(int column);
    int ItemCount();
    // A cell in the system's ANSI code page, read through a buffer of
    // bufferSize characters that the program must not write past.
    std::string Cell(int item, int subItem, int bufferSize = 1024);
    // The list's Unicode texts (LVM_GETITEMTEXTW, LVM_GETCOLUMNW), in UTF-8.
    std::string CellUtf8(int item, int subItem);
    std::string ColumnTitleUtf8(int column);
    std::string CaptionLine();

    // The list's context menu, opened as from the keyboard, and
    // the item whose text begins with each given text in turn, each a submenu
    // of the one before, chosen by keys as a user would.
    void ChooseFromListMenu(const std::vector<std::wstring>& path);

    // True once the main dialog has gone.
    bool WaitForProgramEnd(int timeoutMs = kTimeoutMs);
    // Cancels whatever the program shows until it ends; used after a script
    // so that a failed test cannot leave the program waiting.
    void CloseEverything(const std::function<bool()>& ended);

private:
    HWND FindTopLevel(const std::function<bool(HWND)>& match) const;
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const;
    HWND WaitForFileDialog();

    DWORD m_uiThread;
    HWND m_main = nullptr;
};

// Runs the program's start-up on this thread while the script drives it.
void RunProgram(const std::function<void(ProgramDriver&)>& script);

// Window rectangle of a child in its parent's client coordinates.
RECT ChildRect(HWND child);

} // namespace gui
