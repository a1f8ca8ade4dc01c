#include "app/Resource.h"
#include "controls/ButtonPalette.h"
#include "tests/controls/ButtonHarness.h"
#include "tests/controls/GdiCounter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <utility>

using namespace buttons_test;

namespace {

constexpr COLORREF kUntouched = RGB(0x12, 0x34, 0x56);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// The frame of the rectangle (0, 0, 12, 10), columns 0 to 13: F face, 1 2 3
// the lights, d e the darks, s the shadow blend, h the shadow.
const char* const kPicture[] = {
    "FFddddddddddsh", "F1FFFFFFFFFesh", "F211111111desh", "F322222222desh", "F333333332desh",
    "F322222222desh", "F211111111desh", "F1FFFFFFFFdesh", "FFdddddddddesh", "Fdeeeeeeeeeesh",
};

COLORREF ColourOf(char member, const FrameColorSet& set)
{
    const char* const members = "F123deshx";
    const COLORREF colours[] = { set.face,  set.light1,      set.light2, set.light3, set.dark1,
                                 set.dark2, set.shadowBlend, set.shadow, kUntouched };
    return colours[std::strchr(members, member) - members];
}

// Draws the frame at (left, top) and compares every pixel of the canvas,
// those that must stay untouched included; the context's pen must be back.
void ExpectPicture(const FrameColorSet& set, int left, int top)
{
    const Canvas canvas(left + 16, top + 12, kUntouched);
    HPEN own = ::CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    const HGDIOBJ original = ::SelectObject(canvas.Dc(), own);
    CDC dc(canvas.Dc());
    ProbeButton().DrawFrame(&dc, RECT { left, top, left + 12, top + 10 }, set);
    EXPECT_EQ(::GetCurrentObject(canvas.Dc(), OBJ_PEN), own);
    ::DeleteObject(::SelectObject(canvas.Dc(), original));
    for (int y = 0; y < top + 12; ++y)
        for (int x = 0; x < left + 16; ++x) {
            const int row = y - top;
            const int column = x - left;
            const bool inside = row >= 0 && row < 10 && column >= 0 && column < 14;
            EXPECT_EQ(canvas.At(x, y), ColourOf(inside ? kPicture[row][column] : 'x', set))
                << "at column " << column << ", row " << row;
        }
}

TEST(FramedButtonFrameTest, DrawsThePictureInDistinctColoursAndInBothPaletteLooks)
{
    // Eight colours that all differ, so that any pixel in the wrong one shows.
    FrameColorSet distinct;
    ColorValue FrameColors::*const members[] = { &FrameColors::face,  &FrameColors::light1,      &FrameColors::light2,
                                               &FrameColors::light3, &FrameColors::dark1,       &FrameColors::dark2,
                                               &FrameColors::shadowBlend, &FrameColors::shadow };
    for (size_t i = 0; i < std::size(members); ++i)
        distinct.*members[i] = RGB(0x10 * (i + 1), 0x80, 0);
    distinct.facePen.CreatePen(PS_SOLID, 1, distinct.face);
    distinct.light1Pen.CreatePen(PS_SOLID, 1, distinct.light1);
    distinct.light2Pen.CreatePen(PS_SOLID, 1, distinct.light2);
    distinct.dark1Pen.CreatePen(PS_SOLID, 1, distinct.dark1);
    distinct.dark2Pen.CreatePen(PS_SOLID, 1, distinct.dark2);
    distinct.shadowBlendPen.CreatePen(PS_SOLID, 1, distinct.shadowBlend);
    distinct.shadowPen.CreatePen(PS_SOLID, 1, distinct.shadow);
    ExpectPicture(distinct, 0, 0);
    ExpectPicture(distinct, 3, 2);

    ButtonPalette::Create();
    ExpectPicture(ButtonPalette::Normal(), 0, 0);
    ExpectPicture(ButtonPalette::Hot(), 0, 0);
}

TEST(FramedButtonFrameTest, PalettePensAreSolidLinesInTheirColoursAndReplacedWithoutLeaking)
{
    GdiCounter counter;
    ASSERT_TRUE(counter.Installed());
    ButtonPalette::Create();
    const HGDIOBJ first = ButtonPalette::Normal().facePen.GetSafeHandle();
    ButtonPalette::Create();
    EXPECT_EQ(GdiCounter::pensMade, 28);
    EXPECT_EQ(GdiCounter::livePens.size(), 14u);
    EXPECT_EQ(::GetObjectType(first), 0u);
    for (const FrameColorSet* set : { &ButtonPalette::Normal(), &ButtonPalette::Hot() })
        for (const auto& [pen, colour] : { std::pair { &set->facePen, set->face }, { &set->light1Pen, set->light1 },
                                           { &set->light2Pen, set->light2 }, { &set->dark1Pen, set->dark1 },
                                           { &set->dark2Pen, set->dark2 },
                                           { &set->shadowBlendPen, set->shadowBlend },
                                           { &set->shadowPen, set->shadow } }) {
            LOGPEN info {};
            ASSERT_EQ(::GetObjectA(pen->GetSafeHandle(), sizeof info, &info), int(sizeof info));
            EXPECT_EQ(info.lopnStyle, UINT(PS_SOLID));
            EXPECT_EQ(info.lopnWidth.x, 1);
            EXPECT_EQ(info.lopnColor, colour);
        }
}

// A dialog with an edit field to hold the focus, a bare framed button and
// one with the exit image and a caption.
class FramedButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ButtonPalette::Create();
        MovePointer({ 2, 2 });
        ASSERT_TRUE(dialog.Attach(bare, 11));
        ASSERT_TRUE(dialog.Attach(captioned, 12));
        ASSERT_EQ(captioned.SetBitmapResources(IDB_EXIT, kMagenta), 0);
        ::SetFocus(dialog.Item(10));
        ::GetClientRect(bare.m_hWnd, &size);
    }

    static void Hover(ProbeButton& button) { button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)); }

    TestDialog dialog { { { 10, kEdit, "", WS_BORDER | WS_TABSTOP, 5, 5, 40, 12 },
                          { 11, kButton, "", BS_PUSHBUTTON | WS_TABSTOP, 5, 25, 60, 14 },
                          { 12, kButton, "Salir", BS_PUSHBUTTON | WS_TABSTOP, 70, 25, 60, 14 } },
                        140,
                        45 };
    ProbeButton bare;
    ProbeButton captioned;
    RECT size {};
};

TEST_F(FramedButtonTest, HotWhileHoveredOrFocusedAndNeverAnEdge)
{
    const Canvas canvas(size.right, size.bottom, kUntouched);
    const FrameColorSet& normal = ButtonPalette::Normal();
    const FrameColorSet& hot = ButtonPalette::Hot();
    ASSERT_NE(normal.light3, hot.light3);
    // The fill in the middle; the frame's own corners, never a raised or
    // sunken edge.
    const auto expectLook = [&](const FrameColorSet& set) {
        canvas.Render(bare.m_hWnd);
        EXPECT_EQ(canvas.At(size.right / 2, size.bottom / 2), set.light3);
        EXPECT_EQ(canvas.At(0, 0), set.face);
        EXPECT_EQ(canvas.At(size.right - 1, size.bottom - 1), set.dark2);
    };
    expectLook(normal);
    Hover(bare);
    expectLook(hot);
    bare.SendMessage(WM_MOUSELEAVE);
    expectLook(normal);
    ::SetFocus(bare.m_hWnd);
    expectLook(hot);
    EXPECT_EQ(bare.DrawFocused, 1);
    // Pressed alone keeps the normal look.
    ::SetFocus(dialog.Item(10));
    bare.SendMessage(BM_SETSTATE, TRUE);
    expectLook(normal);
    EXPECT_EQ(bare.DrawPressed, 1);
    Hover(bare);
    expectLook(hot);
}

TEST_F(FramedButtonTest, ImageShowsTheFrameThroughItsBackgroundAndMovesWhenPressed)
{
    const Canvas canvas(size.right, size.bottom, kUntouched);
    const COLORREF cross = RGB(128, 0, 0);
    const COLORREF fill = ButtonPalette::Normal().light3;
    // Beside a caption the image starts 3 pixels from the left, centred
    // vertically; its corner pixel is background, the next one inside cross.
    const int left = 3;
    const int top = (size.bottom - 12) / 2;
    canvas.Render(captioned.m_hWnd);
    EXPECT_EQ(canvas.At(left, top), fill);
    EXPECT_EQ(canvas.At(left + 1, top + 1), cross);
    for (int y = 0; y < size.bottom; ++y)
        for (int x = 0; x < size.right; ++x)
            ASSERT_NE(canvas.At(x, y), kMagenta) << "at " << x << ", " << y;

    captioned.SendMessage(BM_SETSTATE, TRUE);
    canvas.Render(captioned.m_hWnd);
    EXPECT_EQ(canvas.At(left + 1, top + 1), fill);
    EXPECT_EQ(canvas.At(left + 2, top + 2), cross);
}

TEST_F(FramedButtonTest, PaintingAddsNoPensAndKeepsNoBrushes)
{
    GdiCounter counter;
    ASSERT_TRUE(counter.Installed());
    ButtonPalette::Create();
    const HGDIOBJ facePen = ButtonPalette::Hot().facePen.GetSafeHandle();
    for (int i = 0; i < 100; ++i)
        for (ProbeButton* button : { &bare, &captioned }) {
            if (i % 2)
                Hover(*button);
            else
                button->SendMessage(WM_MOUSELEAVE);
            ::RedrawWindow(button->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        }
    EXPECT_EQ(GdiCounter::pensMade, 14);
    EXPECT_EQ(GdiCounter::livePens.size(), 14u);
    EXPECT_GE(GdiCounter::brushesMade, 200);
    EXPECT_TRUE(GdiCounter::liveBrushes.empty());
    EXPECT_EQ(ButtonPalette::Hot().facePen.GetSafeHandle(), facePen);
}

} // namespace
