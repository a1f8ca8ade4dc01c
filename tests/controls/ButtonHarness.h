#pragma once

// Windows for the button tests: a modeless dialog built from an in-memory
// template, its parent object that counts the buttons' notifications, the
// buttons with their protected parts opened up, real pointer input, message
// pumping and rendering into memory bitmaps.

#include "controls/FramedButton.h"
#include "framework/CWnd.h"
#include "framework/Win32.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace buttons_test {

// The buttons with their state and internal steps readable by the tests.
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
    using ImageButton::FaceColour;
    using ImageButton::Image;
    using ImageButton::MouseOver;
};

class PlainProbeButton : public ImageButton {
public:
    using ImageButton::FaceColour;
    using ImageButton::MouseOver;
};

// The dialog's window object: counts the notifications of its controls and
// runs the test's own step, if any, when it is resized (before the default
// processing, as the main dialog lays out its controls).
class TestParent : public CWnd {
public:
    int Count(UINT id, UINT code) const;
    bool OnCmdMsg(UINT id, UINT code) override;

    std::function<void()> OnResized;

    static const MessageMap* GetThisMessageMap();
    const MessageMap* GetMessageMap() const override { return GetThisMessageMap(); }

private:
    void OnSize(UINT type, int cx, int cy);

    std::map<std::pair<UINT, UINT>, int> m_counts;
};

// One control of a test dialog; sizes in dialog units.
struct ControlSpec {
    WORD id;
    WORD classAtom; // 0x0080 button, 0x0081 edit
    std::string text;
    DWORD style;
    short x, y, cx, cy;
};

constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr DWORD kFixedDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kResizableDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

// A shown, active modeless dialog whose window is attached to a TestParent;
// destroyed with the object.
class TestDialog {
public:
    TestDialog(const std::vector<ControlSpec>& controls, short cx, short cy,
               DWORD style = kFixedDialog, POINT position = { 120, 120 });
    ~TestDialog();
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
    TestParent& Parent() { return m_parent; }
    // Attaches the object to the dialog's control, as the data exchange does.
    bool Attach(CWnd& control, int id) { return control.SubclassWindow(Item(id)) != FALSE; }

private:
    std::vector<WORD> m_template;
    HWND m_hwnd = nullptr;
    TestParent m_parent;
};

// Dispatches the thread's messages for the given time.
void Pump(int ms);
// Dispatches messages until the condition holds; false on timeout.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 3000);

// Real input, as from the mouse: moves the pointer to a point on the screen,
// or presses and releases the left button where the pointer is.
void MovePointer(POINT screen);
void LeftDown();
void LeftUp();
// The centre of a window, in screen coordinates.
POINT CentreOf(HWND window);
// A window's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND window);

// A 32-bit memory bitmap in a memory context, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    COLORREF At(int x, int y) const { return ::GetPixel(m_dc, x, y); }

private:
    int m_width;
    int m_height;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_previous;
};

// Paints the control into a canvas of its client size through the system's
// own paint (WM_PRINTCLIENT), with the control's present state.
void Render(HWND control, Canvas& canvas);

} // namespace buttons_test
