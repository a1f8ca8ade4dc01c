#pragma once

// Windows for the button tests: a dialog built from an in-memory template,
// the buttons with their protected parts opened up, real pointer input,
// message pumping and memory canvases to paint into.

#include "controls/FramedButton.h"
#include "framework/CWnd.h"

#include <functional>
#include <vector>

namespace buttons_test {

class ProbeButton : public FramedButton {
public:
    using FramedButton::DrawFrame;
    using ImageButton::AnchorMode;
    using ImageButton::AnchorOffsetX;
    using ImageButton::AnchorOffsetY;
    using ImageButton::BuildMask;
    using ImageButton::DefaultButton;
    using ImageButton::DrawFocused;
    using ImageButton::DrawPressed;
    using ImageButton::Image;
    using ImageButton::MouseOver;
};

// The dialog's window object: counts its buttons' clicks and runs the test's
// step on WM_SIZE before the default processing, as the main dialog lays out
// its controls.
class TestParent : public CWnd {
public:
    int clicks = 0;
    int doubleClicks = 0;
    std::function<void()> onResized;

    bool OnCmdMsg(UINT id, UINT code) override;
    static const MessageMap* GetThisMessageMap();
    const MessageMap* GetMessageMap() const override { return GetThisMessageMap(); }

private:
    void OnSize(UINT type, int cx, int cy);
};

// One control of a test dialog; position and size in dialog units.
struct ControlItem {
    WORD id;
    WORD classAtom;
    const char* text;
    DWORD style;
    short x, y, cx, cy;
};
constexpr WORD kButton = 0x0080;
constexpr WORD kEdit = 0x0081;
constexpr WORD kStatic = 0x0082;
constexpr DWORD kFixedDialog = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kResizableDialog = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

// A shown, active modeless dialog attached to its TestParent; destroyed
// with the object.
class TestDialog {
public:
    TestDialog(const std::vector<ControlItem>& items, short cx, short cy, DWORD style = kFixedDialog);
    ~TestDialog();
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
    // Attaches the object to the control, as the dialog's data exchange does.
    bool Attach(CWnd& control, int id) { return control.SubclassWindow(Item(id)) != FALSE; }

    TestParent parent;

private:
    std::vector<WORD> m_template;
    HWND m_hwnd = nullptr;
};

// Dispatches the thread's messages until the condition holds (false on
// timeout), or for the given time.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 3000);
inline void Pump(int ms)
{
    PumpUntil([] { return false; }, ms);
}

// Input as from the mouse: the pointer moved to a point of the screen; the
// left button pressed and released where the pointer is.
void MovePointer(POINT screen);
void ClickLeft(int times);
POINT CentreOf(HWND window);

// A 32-bit memory bitmap in a memory context, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return m_dc; }
    COLORREF At(int x, int y) const { return ::GetPixel(m_dc, x, y); }
    // Paints the control into the canvas through its own paint
    // (WM_PRINTCLIENT), with its present state.
    void Render(HWND control) const;

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_previous;
};

} // namespace buttons_test
