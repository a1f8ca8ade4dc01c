#include "app/Resource.h"
#include "controls/ButtonPalette.h"
#include "tests/controls/ButtonHarness.h"
#include "tests/controls/GdiCounter.h"

#include <gtest/gtest.h>

using namespace buttons_test;

namespace {

constexpr COLORREF kUntouched = RGB(0x12, 0x34, 0x56);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// The frame of the rectangle (0, 0, 12, 10), columns 0 to 13: F face, 1 2 3
// the lights, d e the darks, s the shadow blend, h the shadow.
const char* const kPicture[] = {
    "FFddddddddddsh",
    "F1FFFFFFFFFesh",
    "F211111111desh",
    "F322222222desh",
    "F333333332desh",
    "F322222222desh",
    "F211111111desh",
    "F1FFFFFFFFdesh",
    "FFdddddddddesh",
    "Fdeeeeeeeeeesh",
};

COLORREF ColourOf(char member, const FrameColorSet& set)
{
    switch (member) {
    case 'F': return set.face;
    case '1': return set.light1;
    case '2': return set.light2;
    case '3': return set.light3;
    case 'd': return set.dark1;
    case 'e': return set.dark2;
    case 's': return set.shadowBlend;
    case 'h': return set.shadow;
    default: return kUntouched;
    }
}

// Draws the 12 x 10 frame at (left, top) and compares every pixel of the
// canvas, those that must stay untouched included.
void ExpectPicture(const FrameColorSet& set, int left, int top)
{
    Canvas canvas(left + 16, top + 12, kUntouched);
    ProbeButton button;
    CDC dc(canvas.Dc());
    button.DrawFrame(&dc, RECT { left, top, left + 12, top + 10 }, set);
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            const int row = y - top;
            const int column = x - left;
            const bool inside = row >= 0 && row < 10 && column >= 0 && column < 14;
            const COLORREF expected = inside ? ColourOf(kPicture[row][column], set) : kUntouched;
            EXPECT_EQ(canvas.At(x, y), expected) << "at column " << column << ", row " << row;
        }
}

// A set whose eight colours all differ, so that any pixel in the wrong
// colour shows.
struct DistinctSet : FrameColorSet {
    DistinctSet()
    {
        face = RGB(0x10, 0, 0);
        light1 = RGB(0x20, 0, 0);
        light2 = RGB(0x30, 0, 0);
        light3 = RGB(0x40, 0, 0);
        dark1 = RGB(0, 0x50, 0);
        dark2 = RGB(0, 0x60, 0);
        shadowBlend = RGB(0, 0, 0x70);
        shadow = RGB(0, 0, 0x80);
        facePen.CreatePen(PS_SOLID, 1, face);
        light1Pen.CreatePen(PS_SOLID, 1, light1);
        light2Pen.CreatePen(PS_SOLID, 1, light2);
        dark1Pen.CreatePen(PS_SOLID, 1, dark1);
        dark2Pen.CreatePen(PS_SOLID, 1, dark2);
        shadowBlendPen.CreatePen(PS_SOLID, 1, shadowBlend);
        shadowPen.CreatePen(PS_SOLID, 1, shadow);
    }
};

TEST(FramedButtonFrameTest, DrawsThePictureRelativeToTheRectangle)
{
    const DistinctSet set;
    ExpectPicture(set, 0, 0);
    ExpectPicture(set, 3, 2);
}

TEST(FramedButtonFrameTest, DrawsThePictureInBothPaletteLooks)
{
    ButtonPalette::Create();
    ExpectPicture(ButtonPalette::Normal(), 0, 0);
    ExpectPicture(ButtonPalette::Hot(), 0, 0);
}

TEST(FramedButtonFrameTest, PutsBackThePenTheContextHeld)
{
    const DistinctSet set;
    Canvas canvas(20, 20, kUntouched);
    HPEN own = ::CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    const HGDIOBJ original = ::SelectObject(canvas.Dc(), own);
    ProbeButton button;
    CDC dc(canvas.Dc());
    button.DrawFrame(&dc, RECT { 0, 0, 12, 10 }, set);
    EXPECT_EQ(::GetCurrentObject(canvas.Dc(), OBJ_PEN), own);
    ::SelectObject(canvas.Dc(), original);
    ::DeleteObject(own);
}

// A dialog with an edit field that can take the focus away and three
// framed buttons: a bare one, one with a caption and an image, one image
// only.
class FramedButtonTest : public ::testing::Test {
protected:
    static constexpr int kEdit = 10;
    static constexpr int kBare = 11;
    static constexpr int kCaptioned = 12;
    static constexpr int kImageOnly = 13;

    void SetUp() override
    {
        ButtonPalette::Create();
        MovePointer({ 2, 2 });
        ASSERT_TRUE(dialog.Hwnd());
        ASSERT_TRUE(dialog.Attach(bare, kBare));
        ASSERT_TRUE(dialog.Attach(captioned, kCaptioned));
        ASSERT_TRUE(dialog.Attach(imageOnly, kImageOnly));
        captioned.SetBitmapResources(IDB_EXIT, kMagenta);
        imageOnly.SetBitmapResources(IDB_OPEN, kMagenta);
        ::SetFocus(dialog.Item(kEdit));
        Pump(20);
    }

    void Hover(ProbeButton& button)
    {
        RECT client;
        ::GetClientRect(button.m_hWnd, &client);
        button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(client.right / 2, client.bottom / 2));
    }

    TestDialog dialog { {
                            { kEdit, kEditClass, "", WS_BORDER | WS_TABSTOP, 5, 5, 40, 12 },
                            { kBare, kButtonClass, "", BS_PUSHBUTTON | WS_TABSTOP, 5, 25, 60, 14 },
                            { kCaptioned, kButtonClass, "Salir", BS_PUSHBUTTON | WS_TABSTOP, 70, 25, 60, 14 },
                            { kImageOnly, kButtonClass, "", BS_PUSHBUTTON | WS_TABSTOP, 135, 25, 30, 14 },
                        },
                        200,
                        50 };
    ProbeButton bare;
    ProbeButton captioned;
    ProbeButton imageOnly;
};

TEST_F(FramedButtonTest, HotWhileHoveredOrFocusedAndNeverAnEdge)
{
    RECT client;
    ::GetClientRect(bare.m_hWnd, &client);
    Canvas canvas(client.right, client.bottom, kUntouched);
    const int right = client.right - 1;
    const int bottom = client.bottom - 1;
    const int middleX = client.right / 2;
    const int middleY = client.bottom / 2;
    const FrameColorSet& normal = ButtonPalette::Normal();
    const FrameColorSet& hot = ButtonPalette::Hot();
    ASSERT_NE(normal.light3, hot.light3);

    Render(bare.m_hWnd, canvas);
    EXPECT_EQ(canvas.At(middleX, middleY), normal.light3);
    EXPECT_EQ(canvas.At(0, 0), normal.face);

    Hover(bare);
    ASSERT_EQ(bare.MouseOver, 1);
    Render(bare.m_hWnd, canvas);
    EXPECT_EQ(canvas.At(middleX, middleY), hot.light3);
    // The frame's own corners, not the image button's raised edge.
    EXPECT_EQ(canvas.At(0, 0), hot.face);
    EXPECT_EQ(canvas.At(right, bottom), hot.dark2);
    bare.SendMessage(WM_MOUSELEAVE);
    Render(bare.m_hWnd, canvas);
    EXPECT_EQ(canvas.At(middleX, middleY), normal.light3);

    ::SetFocus(bare.m_hWnd);
    Render(bare.m_hWnd, canvas);
    EXPECT_EQ(bare.DrawFocused, 1);
    EXPECT_EQ(canvas.At(middleX, middleY), hot.light3);

    // Pressed alone keeps the normal look, and shows no sunken edge.
    ::SetFocus(dialog.Item(kEdit));
    bare.SendMessage(BM_SETSTATE, TRUE);
    Render(bare.m_hWnd, canvas);
    EXPECT_EQ(bare.DrawPressed, 1);
    EXPECT_EQ(bare.DrawFocused, 0);
    EXPECT_EQ(canvas.At(middleX, middleY), normal.light3);
    EXPECT_EQ(canvas.At(0, 0), normal.face);
    EXPECT_EQ(canvas.At(right, bottom), normal.dark2);
    bare.SendMessage(BM_SETSTATE, FALSE);
}

TEST_F(FramedButtonTest, ImageShowsTheFrameThroughItsBackgroundAndMovesWhenPressed)
{
    ASSERT_EQ(captioned.Image.width, 12);
    RECT client;
    ::GetClientRect(captioned.m_hWnd, &client);
    Canvas canvas(client.right, client.bottom, kUntouched);
    const COLORREF cross = RGB(128, 0, 0);
    const COLORREF fill = ButtonPalette::Normal().light3;
    // Beside a caption the image starts 3 pixels from the left, centred
    // vertically; its corner pixel is background, the one inside it cross.
    const int left = 3;
    const int top = (client.bottom - 12) / 2;

    Render(captioned.m_hWnd, canvas);
    EXPECT_EQ(canvas.At(left, top), fill);
    EXPECT_EQ(canvas.At(left + 1, top + 1), cross);
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            ASSERT_NE(canvas.At(x, y), kMagenta) << "at " << x << ", " << y;

    captioned.SendMessage(BM_SETSTATE, TRUE);
    Render(captioned.m_hWnd, canvas);
    EXPECT_EQ(canvas.At(left + 1, top + 1), fill);
    EXPECT_EQ(canvas.At(left + 2, top + 2), cross);
    captioned.SendMessage(BM_SETSTATE, FALSE);
}

TEST_F(FramedButtonTest, ImageWithoutCaptionIsCentred)
{
    ASSERT_EQ(imageOnly.Image.width, 16);
    RECT client;
    ::GetClientRect(imageOnly.m_hWnd, &client);
    Canvas canvas(client.right, client.bottom, kUntouched);
    Render(imageOnly.m_hWnd, canvas);
    // The folder's top left: background at (0, 0), outline at (0, 2).
    const int left = (client.right - 16) / 2;
    const int top = (client.bottom - 12) / 2;
    EXPECT_EQ(canvas.At(left, top), ButtonPalette::Normal().light3);
    EXPECT_EQ(canvas.At(left, top + 2), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(left + 1, top + 3), RGB(128, 128, 0));
}

TEST_F(FramedButtonTest, PaintingAddsNoPensAndKeepsNoBrushes)
{
    GdiCounter counter;
    ASSERT_TRUE(counter.Installed());
    ButtonPalette::Create();
    const HGDIOBJ facePen = ButtonPalette::Hot().facePen.GetSafeHandle();
    for (int i = 0; i < 100; ++i)
        for (ProbeButton* button : { &bare, &captioned, &imageOnly }) {
            if (i % 2)
                Hover(*button);
            else
                button->SendMessage(WM_MOUSELEAVE);
            ::RedrawWindow(button->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        }
    EXPECT_EQ(counter.PensCreated(), 14);
    EXPECT_EQ(counter.LivePens(), 14);
    EXPECT_GE(counter.BrushesCreated(), 300);
    EXPECT_EQ(counter.LiveBrushes(), 0);
    EXPECT_EQ(ButtonPalette::Hot().facePen.GetSafeHandle(), facePen);
}

} // namespace
