#include "app/Resource.h"
#include "controls/ButtonPalette.h"
#include "tests/controls/ButtonHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace buttons_test;

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);

// A bitmap like the ones loaded from the resources: compatible with the
// screen, one colour per pixel from the rows given.
HBITMAP MakeBitmap(const std::vector<std::vector<COLORREF>>& rows)
{
    const int height = static_cast<int>(rows.size());
    const int width = static_cast<int>(rows[0].size());
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HDC dc = ::CreateCompatibleDC(screen);
    const HGDIOBJ previous = ::SelectObject(dc, bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ::SetPixel(dc, x, y, rows[y][x]);
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return bitmap;
}

COLORREF PixelOf(HBITMAP bitmap, int x, int y)
{
    HDC dc = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = ::SelectObject(dc, bitmap);
    const COLORREF colour = ::GetPixel(dc, x, y);
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
    return colour;
}

bool IsBitmap(HGDIOBJ object)
{
    return ::GetObjectType(object) == OBJ_BITMAP;
}

// --- Image ---------------------------------------------------------------------

TEST(ImageButtonImageTest, MaskMarksExactlyTheTransparentPixelsAndBlacksThemOut)
{
    const COLORREF nearMagenta = RGB(254, 0, 255);
    const COLORREF red = RGB(255, 0, 0);
    const COLORREF white = RGB(255, 255, 255);
    const COLORREF black = RGB(0, 0, 0);
    const std::vector<std::vector<COLORREF>> rows = {
        { kMagenta, red, nearMagenta, kMagenta, white },
        { white, kMagenta, black, red, kMagenta },
        { kMagenta, kMagenta, kMagenta, nearMagenta, red },
    };
    HBITMAP bitmap = MakeBitmap(rows);
    CBitmap mask;
    ASSERT_TRUE(ProbeButton::BuildMask(bitmap, 5, 3, kMagenta, mask));

    BITMAP info {};
    ASSERT_EQ(::GetObjectA(mask.GetSafeHandle(), sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(info.bmWidth, 5);
    EXPECT_EQ(info.bmHeight, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool transparent = rows[y][x] == kMagenta;
            EXPECT_EQ(PixelOf(bitmap, x, y), transparent ? black : rows[y][x]) << x << ", " << y;
            EXPECT_EQ(PixelOf(static_cast<HBITMAP>(mask.GetSafeHandle()), x, y), transparent ? white : black)
                << x << ", " << y;
        }
    ::DeleteObject(bitmap);
}

TEST(ImageButtonImageTest, SetBitmapHandleOwnsBitmapsAndRefusesWhatIsNotOne)
{
    ProbeButton button;
    HBITMAP first = MakeBitmap({ { kMagenta, 0, 0, 0 }, { 0, 0, 0, 0 }, { 0, 0, 0, kMagenta } });
    ASSERT_EQ(button.SetBitmapHandle(first, kMagenta), 0);
    EXPECT_EQ(button.Image.width, 4);
    EXPECT_EQ(button.Image.height, 3);
    const HGDIOBJ firstMask = button.Image.mask.GetSafeHandle();
    EXPECT_TRUE(IsBitmap(firstMask));

    // A new image deletes the old one and its mask.
    HBITMAP second = MakeBitmap({ { 0, kMagenta } });
    ASSERT_EQ(button.SetBitmapHandle(second, kMagenta), 0);
    EXPECT_FALSE(IsBitmap(first));
    EXPECT_FALSE(IsBitmap(firstMask));
    // Setting the same image again keeps it.
    EXPECT_EQ(button.SetBitmapHandle(second, kMagenta), 0);
    EXPECT_TRUE(IsBitmap(second));
    EXPECT_EQ(button.Image.bitmap.GetSafeHandle(), second);

    // A pen is no bitmap: refused, and not deleted, for it is not the
    // button's; the image it had is gone all the same.
    HPEN pen = ::CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    EXPECT_EQ(button.SetBitmapHandle(reinterpret_cast<HBITMAP>(pen), kMagenta), 1);
    EXPECT_EQ(::GetObjectType(pen), DWORD(OBJ_PEN));
    EXPECT_EQ(button.Image.bitmap.GetSafeHandle(), nullptr);
    EXPECT_EQ(button.Image.mask.GetSafeHandle(), nullptr);
    EXPECT_FALSE(IsBitmap(second));
    ::DeleteObject(pen);
    // Nor is a handle that has been deleted.
    EXPECT_EQ(button.SetBitmapHandle(first, kMagenta), 1);

    HBITMAP third = MakeBitmap({ { 0 } });
    ASSERT_EQ(button.SetBitmapHandle(third, kMagenta), 0);
    EXPECT_EQ(button.SetBitmapHandle(nullptr, kMagenta), 0);
    EXPECT_EQ(button.Image.bitmap.GetSafeHandle(), nullptr);
    EXPECT_EQ(button.Image.width, 0);
    EXPECT_FALSE(IsBitmap(third));
}

TEST(ImageButtonImageTest, DestroyingTheButtonDeletesItsImage)
{
    HBITMAP bitmap = MakeBitmap({ { kMagenta, 0 } });
    HGDIOBJ mask = nullptr;
    {
        ProbeButton button;
        ASSERT_EQ(button.SetBitmapHandle(bitmap, kMagenta), 0);
        mask = button.Image.mask.GetSafeHandle();
    }
    EXPECT_FALSE(IsBitmap(bitmap));
    EXPECT_FALSE(IsBitmap(mask));
}

TEST(ImageButtonImageTest, LoadsTheProgramsBitmapsAndToleratesAMissingOne)
{
    struct Expected {
        UINT id;
        int width;
        int height;
    };
    for (const Expected& e : { Expected { IDB_OPEN, 16, 12 }, Expected { IDB_EXPORT, 12, 12 },
                               Expected { IDB_EXIT, 12, 12 } }) {
        ProbeButton button;
        EXPECT_EQ(button.SetBitmapResources(e.id, kMagenta), 0) << e.id;
        EXPECT_EQ(button.Image.width, e.width) << e.id;
        EXPECT_EQ(button.Image.height, e.height) << e.id;
        // Every bitmap has background in its top left corner.
        EXPECT_EQ(PixelOf(button.Image.bitmap, 0, 0), RGB(0, 0, 0)) << e.id;
    }
    ProbeButton button;
    EXPECT_EQ(button.SetBitmapResources(0x10000 | IDB_EXIT, kMagenta), 0);
    EXPECT_EQ(button.Image.width, 12);
    EXPECT_EQ(button.SetBitmapResources(4242, kMagenta), 0);
    EXPECT_EQ(button.Image.bitmap.GetSafeHandle(), nullptr);
}

// --- Anchoring -----------------------------------------------------------------

class ImageButtonAnchorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialog.Hwnd());
        ASSERT_TRUE(dialog.Attach(button, 11));
        RECT window;
        RECT client;
        ::GetWindowRect(dialog.Hwnd(), &window);
        ::GetClientRect(dialog.Hwnd(), &client);
        ::MapWindowPoints(dialog.Hwnd(), nullptr, reinterpret_cast<POINT*>(&client), 2);
        frame = { client.left - window.left, client.top - window.top, window.right - client.right,
                  window.bottom - client.bottom };
        ASSERT_GT(frame.top, frame.bottom); // the caption is part of the top
    }

    POINT Place() const
    {
        const RECT r = PlaceInParent(button.m_hWnd);
        return { r.left, r.top };
    }

    void Grow(int dx, int dy)
    {
        RECT window;
        ::GetWindowRect(dialog.Hwnd(), &window);
        ::SetWindowPos(dialog.Hwnd(), nullptr, 0, 0, window.right - window.left + dx,
                       window.bottom - window.top + dy, SWP_NOMOVE | SWP_NOZORDER);
    }

    TestDialog dialog { { { 11, kButtonClass, "Uno", BS_PUSHBUTTON, 60, 40, 50, 14 } },
                        170,
                        100,
                        kResizableDialog };
    ProbeButton button;
    RECT frame {}; // the parent's non-client thickness on each side
};

TEST_F(ImageButtonAnchorTest, KeepsItsDistanceToEachCorner)
{
    struct Corner {
        int mode;
        bool right;
        bool bottom;
    };
    for (const Corner& corner : { Corner { 1, false, false }, Corner { 2, true, false },
                                  Corner { 3, true, true }, Corner { 4, false, true } }) {
        SCOPED_TRACE(corner.mode);
        const POINT start = Place();
        button.SetAnchor(corner.mode);
        EXPECT_EQ(button.AnchorMode, corner.mode);
        // Measured against the parent's window, applied to its client area:
        // the first move takes up the frame on the anchored sides.
        button.ApplyAnchor();
        const POINT first = Place();
        EXPECT_EQ(first.x, start.x + (corner.right ? -frame.right : frame.left));
        EXPECT_EQ(first.y, start.y + (corner.bottom ? -frame.bottom : frame.top));
        // From then on the button follows its corner.
        Grow(40, 30);
        button.ApplyAnchor();
        EXPECT_EQ(Place().x, first.x + (corner.right ? 40 : 0));
        EXPECT_EQ(Place().y, first.y + (corner.bottom ? 30 : 0));
        Grow(-40, -30);
        button.ApplyAnchor();
        EXPECT_EQ(Place().x, first.x);
        EXPECT_EQ(Place().y, first.y);
        // Back where it started, for the next corner.
        ::SetWindowPos(button.m_hWnd, nullptr, start.x, start.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
}

TEST_F(ImageButtonAnchorTest, WithoutACornerNothingMoves)
{
    const POINT start = Place();
    button.ApplyAnchor();
    EXPECT_EQ(Place().x, start.x);
    EXPECT_EQ(Place().y, start.y);

    button.SetAnchor(3);
    const int offsetX = button.AnchorOffsetX;
    const int offsetY = button.AnchorOffsetY;
    button.SetAnchor(7);
    EXPECT_EQ(button.AnchorMode, 7);
    EXPECT_EQ(button.AnchorOffsetX, offsetX);
    EXPECT_EQ(button.AnchorOffsetY, offsetY);
    Grow(40, 30);
    button.ApplyAnchor();
    EXPECT_EQ(Place().x, start.x);
    EXPECT_EQ(Place().y, start.y);
}

TEST_F(ImageButtonAnchorTest, PaintsItselfWhereTheParentsLayoutMovesIt)
{
    // Moved while the parent is maximised, the button must not be left with
    // the copied pixels of its old place, which the resize has done away with.
    ButtonPalette::Create();
    button.SetAnchor(3);
    dialog.Parent().OnResized = [this] { button.ApplyAnchor(); };
    ::ShowWindow(dialog.Hwnd(), SW_MAXIMIZE);
    Pump(300);
    dialog.Parent().OnResized = nullptr;
    RECT client;
    ::GetClientRect(dialog.Hwnd(), &client);
    ASSERT_GT(Place().y, client.bottom / 2);

    HDC dc = ::GetDC(button.m_hWnd);
    const COLORREF fill = ::GetPixel(dc, 4, 4);
    ::ReleaseDC(button.m_hWnd, dc);
    EXPECT_TRUE(fill == ButtonPalette::Normal().light3 || fill == ButtonPalette::Hot().light3)
        << std::hex << fill;
}

// --- Behaviour -----------------------------------------------------------------

// A dialog with an edit field, a default button and a plain one.
class ImageButtonBehaviourTest : public ::testing::Test {
protected:
    static constexpr int kEdit = 10;
    static constexpr int kFirst = 11;
    static constexpr int kSecond = 12;

    void SetUp() override
    {
        MovePointer({ 2, 2 });
        ASSERT_TRUE(dialog.Hwnd());
        ASSERT_TRUE(dialog.Attach(first, kFirst));
        ASSERT_TRUE(dialog.Attach(second, kSecond));
        ::SetFocus(dialog.Item(kEdit));
        Pump(20);
    }

    static void MoveOver(ProbeButton& button, UINT flags, int x, int y)
    {
        button.SendMessage(WM_MOUSEMOVE, flags, MAKELPARAM(x, y));
    }
    static void MoveOver(ProbeButton& button, UINT flags = 0) { MoveOver(button, flags, 5, 5); }

    static UINT DialogCode(const ProbeButton& button)
    {
        return static_cast<UINT>(button.SendMessage(WM_GETDLGCODE));
    }
    static DWORD Type(const ProbeButton& button) { return button.GetStyle() & 0x1F; }

    TestDialog dialog { {
                            { kEdit, kEditClass, "", WS_BORDER | WS_TABSTOP, 5, 5, 40, 12 },
                            { kFirst, kButtonClass, "Uno", BS_DEFPUSHBUTTON | WS_TABSTOP, 5, 25, 50, 14 },
                            { kSecond, kButtonClass, "Dos", BS_PUSHBUTTON | WS_TABSTOP, 60, 25, 50, 14 },
                        },
                        120,
                        50 };
    ProbeButton first;
    ProbeButton second;
};

TEST_F(ImageButtonBehaviourTest, StaysOwnerDrawnAndFollowsTheDefaultButton)
{
    EXPECT_EQ(Type(first), DWORD(BS_OWNERDRAW));
    EXPECT_EQ(Type(second), DWORD(BS_OWNERDRAW));
    EXPECT_EQ(first.DefaultButton, 1);
    EXPECT_EQ(second.DefaultButton, 0);
    EXPECT_TRUE(DialogCode(first) & DLGC_DEFPUSHBUTTON);
    EXPECT_TRUE(DialogCode(second) & DLGC_UNDEFPUSHBUTTON);

    // Focusing a push button makes it the dialog's default.
    dialog.Parent().SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(second.m_hWnd), TRUE);
    EXPECT_EQ(second.DefaultButton, 1);
    EXPECT_EQ(first.DefaultButton, 0);
    EXPECT_TRUE(DialogCode(second) & DLGC_DEFPUSHBUTTON);
    EXPECT_TRUE(DialogCode(first) & DLGC_UNDEFPUSHBUTTON);
    EXPECT_FALSE(DialogCode(first) & DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(Type(first), DWORD(BS_OWNERDRAW));
    EXPECT_EQ(Type(second), DWORD(BS_OWNERDRAW));

    dialog.Parent().SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first.m_hWnd), TRUE);
    EXPECT_EQ(first.DefaultButton, 1);
    EXPECT_EQ(second.DefaultButton, 0);
}

TEST_F(ImageButtonBehaviourTest, HighlightsUnderThePointerUntilItLeaves)
{
    MovePointer(CentreOf(second.m_hWnd));
    EXPECT_TRUE(PumpUntil([&] { return second.MouseOver == 1; }));
    EXPECT_EQ(first.MouseOver, 0);
    MovePointer({ 2, 2 });
    EXPECT_TRUE(PumpUntil([&] { return second.MouseOver == 0; }));
}

TEST_F(ImageButtonBehaviourTest, NoHighlightStartsDuringADrag)
{
    MoveOver(first, MK_LBUTTON);
    EXPECT_EQ(first.MouseOver, 0);
    // Already highlighted, it stays so until the pointer is elsewhere.
    MoveOver(first);
    ASSERT_EQ(first.MouseOver, 1);
    MoveOver(first, MK_LBUTTON);
    EXPECT_EQ(first.MouseOver, 1);
    MoveOver(first, MK_LBUTTON, -8, -8);
    EXPECT_EQ(first.MouseOver, 0);
}

TEST_F(ImageButtonBehaviourTest, HighlightEndsOnFocusLossDeactivationAndCancelMode)
{
    ::SetFocus(first.m_hWnd);
    MoveOver(first);
    ASSERT_EQ(first.MouseOver, 1);
    ::SetFocus(dialog.Item(kEdit));
    EXPECT_EQ(first.MouseOver, 0);

    MoveOver(first);
    first.SendMessage(WM_ACTIVATE, WA_ACTIVE);
    EXPECT_EQ(first.MouseOver, 1);
    first.SendMessage(WM_ACTIVATE, WA_INACTIVE);
    EXPECT_EQ(first.MouseOver, 0);

    MoveOver(first);
    first.SendMessage(WM_CANCELMODE);
    EXPECT_EQ(first.MouseOver, 0);
}

TEST_F(ImageButtonBehaviourTest, NoHighlightWhileAnotherProgramIsActive)
{
    // Another thread's window in front stands for another program.
    std::atomic<HWND> other { nullptr };
    std::atomic<bool> done { false };
    std::thread thread([&] {
        HWND window = ::CreateWindowExA(0, "STATIC", "Otro", WS_POPUP | WS_VISIBLE | WS_CAPTION, 600, 500,
                                        150, 80, nullptr, nullptr, nullptr, nullptr);
        ::SetForegroundWindow(window);
        other = window;
        while (!done) {
            MSG message;
            while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageA(&message);
            ::Sleep(5);
        }
        ::DestroyWindow(window);
    });
    const bool inactive = PumpUntil([&] { return other && !::GetActiveWindow(); });
    if (inactive) {
        MoveOver(first);
        EXPECT_EQ(first.MouseOver, 0);
    }
    done = true;
    thread.join();
    ASSERT_TRUE(inactive) << "the other window did not become the active one";
}

TEST_F(ImageButtonBehaviourTest, DoubleClickMakesTwoClicks)
{
    MovePointer(CentreOf(second.m_hWnd));
    Pump(50);
    LeftDown();
    LeftUp();
    LeftDown();
    LeftUp();
    EXPECT_TRUE(PumpUntil([&] { return dialog.Parent().Count(kSecond, BN_CLICKED) == 2; }));
    Pump(50);
    EXPECT_EQ(dialog.Parent().Count(kSecond, BN_CLICKED), 2);
    EXPECT_EQ(dialog.Parent().Count(kSecond, BN_DOUBLECLICKED), 0);
    MovePointer({ 2, 2 });
}

TEST_F(ImageButtonBehaviourTest, ColourMessageAnswersTheNullBrush)
{
    HDC dc = ::GetDC(second.m_hWnd);
    const LRESULT brush = dialog.Parent().SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(second.m_hWnd));
    ::ReleaseDC(second.m_hWnd, dc);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), ::GetStockObject(NULL_BRUSH));
}

// --- The image button's own paint ----------------------------------------------

TEST(ImageButtonPaintTest, EdgeIsRaisedWhenHotAndSunkenWhenPressed)
{
    TestDialog dialog { { { 11, kButtonClass, "", BS_PUSHBUTTON, 5, 5, 50, 14 } }, 60, 24 };
    PlainProbeButton button;
    ASSERT_TRUE(dialog.Attach(button, 11));
    RECT client;
    ::GetClientRect(button.m_hWnd, &client);
    Canvas canvas(client.right, client.bottom, RGB(1, 2, 3));
    const int right = client.right - 1;
    const int bottom = client.bottom - 1;
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    ASSERT_NE(highlight, shadow);

    Render(button.m_hWnd, canvas);
    EXPECT_EQ(canvas.At(0, 0), button.FaceColour);
    EXPECT_EQ(canvas.At(right, bottom), button.FaceColour);

    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ASSERT_EQ(button.MouseOver, 1);
    Render(button.m_hWnd, canvas);
    EXPECT_EQ(canvas.At(0, 0), highlight);
    EXPECT_EQ(canvas.At(right, bottom), shadow);
    EXPECT_EQ(canvas.At(right / 2, bottom / 2), button.FaceColour);

    button.SendMessage(WM_MOUSELEAVE);
    button.SendMessage(BM_SETSTATE, TRUE);
    Render(button.m_hWnd, canvas);
    EXPECT_EQ(canvas.At(0, 0), shadow);
    EXPECT_EQ(canvas.At(right, bottom), highlight);
}

} // namespace
