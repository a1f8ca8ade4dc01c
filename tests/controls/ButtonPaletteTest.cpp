#include "controls/ButtonPalette.h"
#include "tests/controls/GdiCounter.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

using buttons_test::GdiCounter;

namespace {

TEST(ButtonPaletteTest, FollowsTheSystemColours)
{
    ButtonPalette::Create();
    const FrameColorSet& normal = ButtonPalette::Normal();
    const FrameColorSet& hot = ButtonPalette::Hot();
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF darkShadow = ::GetSysColor(COLOR_3DDKSHADOW);
    EXPECT_EQ(normal.face, NormalFaceColor(face));
    EXPECT_EQ(hot.face, HotFaceColor(face));
    EXPECT_EQ(normal.shadow, shadow);
    EXPECT_EQ(normal.shadowBlend, BlendColors(shadow, darkShadow));
    EXPECT_EQ(hot.light3, LightenColor(LightenColor(LightenColor(hot.face, 8), 8), 8));
}

TEST(ButtonPaletteTest, EveryPenIsASolidLineInItsMembersColour)
{
    ButtonPalette::Create();
    for (const FrameColorSet* set : { &ButtonPalette::Normal(), &ButtonPalette::Hot() }) {
        const std::pair<const CPen*, COLORREF> pens[] = {
            { &set->facePen, set->face },       { &set->light1Pen, set->light1 },
            { &set->light2Pen, set->light2 },   { &set->dark1Pen, set->dark1 },
            { &set->dark2Pen, set->dark2 },     { &set->shadowBlendPen, set->shadowBlend },
            { &set->shadowPen, set->shadow },
        };
        for (const auto& [pen, colour] : pens) {
            LOGPEN info {};
            ASSERT_EQ(::GetObjectA(pen->GetSafeHandle(), sizeof info, &info), int(sizeof info));
            EXPECT_EQ(info.lopnStyle, UINT(PS_SOLID));
            EXPECT_EQ(info.lopnWidth.x, 1);
            EXPECT_EQ(info.lopnColor, colour);
        }
    }
}

TEST(ButtonPaletteTest, CreatingAgainReplacesThePensWithoutLeaking)
{
    GdiCounter counter;
    ASSERT_TRUE(counter.Installed());
    ButtonPalette::Create();
    const HGDIOBJ first = ButtonPalette::Normal().facePen.GetSafeHandle();
    ButtonPalette::Create();
    EXPECT_EQ(counter.PensCreated(), 28);
    EXPECT_EQ(counter.LivePens(), 14);
    EXPECT_EQ(::GetObjectType(first), 0u);
    EXPECT_EQ(::GetObjectType(ButtonPalette::Normal().facePen.GetSafeHandle()), DWORD(OBJ_PEN));
}

} // namespace
