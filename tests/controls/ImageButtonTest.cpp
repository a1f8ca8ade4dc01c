#include "app/Resource.h"
#include "controls/ButtonPalette.h"
#include "tests/controls/ButtonHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <utility>

using namespace buttons_test;

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);

// A bitmap like those loaded from the resources, compatible with the screen.
HBITMAP MakeBitmap(const std::vector<std::vector<COLORREF>>& rows)
{
    HDC dc = ::CreateCompatibleDC(nullptr);
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, int(rows[0].size()), int(rows.size()));
    ::ReleaseDC(nullptr, screen);
    const HGDIOBJ previous = ::SelectObject(dc, bitmap);
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            ::SetPixel(dc, int(x), int(y), rows[y][x]);
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
    return bitmap;
}

COLORREF PixelOf(HGDIOBJ bitmap, int x, int y)
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
    const COLORREF almost = RGB(254, 0, 255);
    const COLORREF red = RGB(255, 0, 0);
    const COLORREF white = RGB(255, 255, 255);
    const std::vector<std::vector<COLORREF>> rows = { { kMagenta, red, almost, kMagenta, white },
                                                      { white, kMagenta, 0, red, kMagenta } };
    HBITMAP bitmap = MakeBitmap(rows);
    CBitmap mask;
    ASSERT_TRUE(ProbeButton::BuildMask(bitmap, 5, 2, kMagenta, mask));
    BITMAP info {};
    ::GetObjectA(mask.GetSafeHandle(), sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool transparent = rows[y][x] == kMagenta;
            EXPECT_EQ(PixelOf(bitmap, x, y), transparent ? 0 : rows[y][x]) << x << ", " << y;
            EXPECT_EQ(PixelOf(mask.GetSafeHandle(), x, y), transparent ? white : 0) << x << ", " << y;
        }
    ::DeleteObject(bitmap);
}

TEST(ImageButtonImageTest, OwnsItsBitmapsAndRefusesWhatIsNotOne)
{
    HBITMAP first = MakeBitmap({ { kMagenta, 0, 0, 0 }, { 0, 0, 0, kMagenta }, { 0, 0, 0, 0 } });
    HBITMAP second = MakeBitmap({ { 0, kMagenta } });
    HGDIOBJ firstMask = nullptr;
    HGDIOBJ secondMask = nullptr;
    {
        ProbeButton button;
        ASSERT_EQ(button.SetBitmapHandle(first, kMagenta), 0);
        EXPECT_EQ(button.Image.width, 4);
        EXPECT_EQ(button.Image.height, 3);
        firstMask = button.Image.mask.GetSafeHandle();
        // A new image deletes the old one and its mask; the same one again stays.
        ASSERT_EQ(button.SetBitmapHandle(second, kMagenta), 0);
        EXPECT_FALSE(IsBitmap(first) || IsBitmap(firstMask));
        EXPECT_EQ(button.SetBitmapHandle(second, kMagenta), 0);
        EXPECT_TRUE(IsBitmap(second));

        // A pen is no bitmap: refused and not deleted, for it is not the
        // button's; the image the button had is gone all the same. Nor is a
        // deleted handle a bitmap.
        HPEN pen = ::CreatePen(PS_SOLID, 1, 0);
        EXPECT_EQ(button.SetBitmapHandle(reinterpret_cast<HBITMAP>(pen), kMagenta), 1);
        EXPECT_EQ(::GetObjectType(pen), DWORD(OBJ_PEN));
        EXPECT_FALSE(button.Image.bitmap.GetSafeHandle() || button.Image.mask.GetSafeHandle());
        EXPECT_FALSE(IsBitmap(second));
        ::DeleteObject(pen);
        EXPECT_EQ(button.SetBitmapHandle(first, kMagenta), 1);

        second = MakeBitmap({ { 0 } });
        ASSERT_EQ(button.SetBitmapHandle(second, kMagenta), 0);
        secondMask = button.Image.mask.GetSafeHandle();
    }
    // The button took its image with it.
    EXPECT_FALSE(IsBitmap(second) || IsBitmap(secondMask));

    ProbeButton button;
    EXPECT_EQ(button.SetBitmapHandle(nullptr, kMagenta), 0);
    EXPECT_EQ(button.Image.bitmap.GetSafeHandle(), nullptr);
}

TEST(ImageButtonImageTest, LoadsTheProgramsBitmapsAndToleratesAMissingOne)
{
    for (const auto& [id, width] : { std::pair { IDB_OPEN, 16 }, { IDB_EXPORT, 12 }, { 0x10000 | IDB_EXIT, 12 } }) {
        ProbeButton button;
        EXPECT_EQ(button.SetBitmapResources(id, kMagenta), 0) << id;
        EXPECT_EQ(button.Image.width, width) << id;
        EXPECT_EQ(button.Image.height, 12) << id;
        EXPECT_EQ(PixelOf(button.Image.bitmap.GetSafeHandle(), 0, 0), 0u) << id; // background, blacked out
    }
    ProbeButton button;
    EXPECT_EQ(button.SetBitmapResources(4242, kMagenta), 0);
    EXPECT_EQ(button.Image.bitmap.GetSafeHandle(), nullptr);
}

// --- Anchoring -----------------------------------------------------------------

class ImageButtonAnchorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialog.Attach(button, 11));
        RECT window;
        ::GetWindowRect(dialog.Hwnd(), &window);
        RECT client;
        ::GetClientRect(dialog.Hwnd(), &client);
        ::MapWindowPoints(dialog.Hwnd(), nullptr, reinterpret_cast<POINT*>(&client), 2);
        frame = { client.left - window.left, client.top - window.top, window.right - client.right,
                  window.bottom - client.bottom };
    }

    POINT Place() const
    {
        RECT r;
        ::GetWindowRect(button.m_hWnd, &r);
        ::MapWindowPoints(nullptr, dialog.Hwnd(), reinterpret_cast<POINT*>(&r), 1);
        return { r.left, r.top };
    }

    void Grow(int dx, int dy) const
    {
        RECT r;
        ::GetWindowRect(dialog.Hwnd(), &r);
        ::SetWindowPos(dialog.Hwnd(), nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                       SWP_NOMOVE | SWP_NOZORDER);
    }

    TestDialog dialog { { { 11, kButton, "Uno", BS_PUSHBUTTON, 60, 40, 50, 14 } }, 170, 100, kResizableDialog };
    ProbeButton button;
    RECT frame {}; // the parent's non-client thickness on each side
};

TEST_F(ImageButtonAnchorTest, KeepsItsDistanceToEachCornerAndNoCornerMovesNothing)
{
    for (const auto& [mode, right, bottom] : { std::tuple { 1, false, false }, { 2, true, false },
                                               { 3, true, true }, { 4, false, true } }) {
        SCOPED_TRACE(mode);
        const POINT start = Place();
        button.SetAnchor(mode);
        // Measured against the parent's window, applied to its client area:
        // the first move takes up the frame on the anchored sides.
        button.ApplyAnchor();
        const POINT first = Place();
        EXPECT_EQ(first.x, start.x + (right ? -frame.right : frame.left));
        EXPECT_EQ(first.y, start.y + (bottom ? -frame.bottom : frame.top));
        // From then on it follows its corner.
        Grow(40, 30);
        button.ApplyAnchor();
        EXPECT_EQ(Place().x, first.x + (right ? 40 : 0));
        EXPECT_EQ(Place().y, first.y + (bottom ? 30 : 0));
        Grow(-40, -30);
        ::SetWindowPos(button.m_hWnd, nullptr, start.x, start.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    // Another mode is recorded, keeps the distances and moves nothing.
    const int offsetX = button.AnchorOffsetX;
    button.SetAnchor(7);
    EXPECT_EQ(button.AnchorMode, 7);
    EXPECT_EQ(button.AnchorOffsetX, offsetX);
    const POINT start = Place();
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
    dialog.parent.onResized = [this] { button.ApplyAnchor(); };
    ::ShowWindow(dialog.Hwnd(), SW_MAXIMIZE);
    Pump(300);
    dialog.parent.onResized = nullptr;
    HDC dc = ::GetDC(button.m_hWnd);
    const COLORREF fill = ::GetPixel(dc, 4, 4);
    ::ReleaseDC(button.m_hWnd, dc);
    EXPECT_TRUE(fill == ButtonPalette::Normal().light3 || fill == ButtonPalette::Hot().light3) << std::hex << fill;
}

// --- Behaviour -----------------------------------------------------------------

// An edit field, a default button and a plain one.
class ImageButtonBehaviourTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MovePointer({ 2, 2 });
        ASSERT_TRUE(dialog.Attach(first, 11)) << "dialog " << dialog.Hwnd() << ", button " << dialog.Item(11);
        ASSERT_TRUE(dialog.Attach(second, 12));
        ::SetFocus(dialog.Item(10));
        Pump(20);
    }

    static void MoveOver(ProbeButton& button, UINT flags = 0, int x = 5, int y = 5)
    {
        button.SendMessage(WM_MOUSEMOVE, flags, MAKELPARAM(x, y));
    }
    static UINT Code(const ProbeButton& button) { return UINT(button.SendMessage(WM_GETDLGCODE)); }
    static bool OwnerDrawn(const ProbeButton& button) { return (button.GetStyle() & 0x1F) == BS_OWNERDRAW; }

    TestDialog dialog { { { 10, kEdit, "", WS_BORDER | WS_TABSTOP, 5, 5, 40, 12 },
                          { 11, kButton, "Uno", BS_DEFPUSHBUTTON | WS_TABSTOP, 5, 25, 50, 14 },
                          { 12, kButton, "Dos", BS_PUSHBUTTON | WS_TABSTOP, 60, 25, 50, 14 } },
                        120,
                        50 };
    ProbeButton first;
    ProbeButton second;
};

TEST_F(ImageButtonBehaviourTest, StaysOwnerDrawnAndFollowsTheDefaultButton)
{
    EXPECT_TRUE(OwnerDrawn(first) && OwnerDrawn(second));
    EXPECT_EQ(first.DefaultButton, 1);
    EXPECT_TRUE(Code(first) & DLGC_DEFPUSHBUTTON);
    EXPECT_TRUE(Code(second) & DLGC_UNDEFPUSHBUTTON);
    // Focusing a push button makes it the dialog's default, and back.
    for (ProbeButton* target : { &second, &first }) {
        ProbeButton* other = target == &first ? &second : &first;
        dialog.parent.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target->m_hWnd), TRUE);
        EXPECT_EQ(target->DefaultButton, 1);
        EXPECT_EQ(other->DefaultButton, 0);
        EXPECT_TRUE(Code(*target) & DLGC_DEFPUSHBUTTON);
        EXPECT_EQ(Code(*other) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON), UINT(DLGC_UNDEFPUSHBUTTON));
        EXPECT_TRUE(OwnerDrawn(first) && OwnerDrawn(second));
    }
}

TEST_F(ImageButtonBehaviourTest, HighlightsUnderThePointerUntilItLeaves)
{
    MovePointer(CentreOf(second.m_hWnd));
    EXPECT_TRUE(PumpUntil([&] { return second.MouseOver == 1; }));
    EXPECT_EQ(first.MouseOver, 0);
    MovePointer({ 2, 2 });
    EXPECT_TRUE(PumpUntil([&] { return second.MouseOver == 0; }));
}

TEST_F(ImageButtonBehaviourTest, NoHighlightStartsInADragAndAnyEndingEndsIt)
{
    MoveOver(first, MK_LBUTTON);
    EXPECT_EQ(first.MouseOver, 0);
    // Already highlighted, it stays so in a drag until the pointer is elsewhere.
    MoveOver(first);
    MoveOver(first, MK_LBUTTON);
    EXPECT_EQ(first.MouseOver, 1);
    MoveOver(first, MK_LBUTTON, -8, -8);
    EXPECT_EQ(first.MouseOver, 0);

    ::SetFocus(first.m_hWnd);
    MoveOver(first);
    ::SetFocus(dialog.Item(10));
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
    std::atomic<bool> shown { false };
    std::atomic<bool> done { false };
    std::thread other([&] {
        HWND window = ::CreateWindowExA(0, "STATIC", "Otro", WS_POPUP | WS_VISIBLE | WS_CAPTION, 600, 500, 150, 80,
                                        nullptr, nullptr, nullptr, nullptr);
        ::SetForegroundWindow(window);
        shown = true;
        while (!done)
            PumpUntil([] { return true; });
        ::DestroyWindow(window);
    });
    const bool inactive = PumpUntil([&] { return shown && !::GetActiveWindow(); });
    MoveOver(first);
    done = true;
    other.join();
    ASSERT_TRUE(inactive) << "the other window did not become the active one";
    EXPECT_EQ(first.MouseOver, 0);
}

TEST_F(ImageButtonBehaviourTest, DoubleClickMakesTwoClicks)
{
    MovePointer(CentreOf(second.m_hWnd));
    Pump(50);
    ClickLeft(2);
    EXPECT_TRUE(PumpUntil([&] { return dialog.parent.clicks == 2; }));
    Pump(50);
    EXPECT_EQ(dialog.parent.clicks, 2);
    EXPECT_EQ(dialog.parent.doubleClicks, 0);
    MovePointer({ 2, 2 });
}

} // namespace
