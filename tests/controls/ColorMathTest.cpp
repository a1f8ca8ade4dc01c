#include "controls/ColorMath.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

TEST(ColorMathTest, LightenAndDarkenWorkPerChannelOnTheLowBytes)
{
    EXPECT_EQ(LightenColor(0x10F0FA, 8), 0x18F8FFu); // red stops at 0xFF
    EXPECT_EQ(LightenColor(0xFF101010, 8), 0x181818u); // the top byte does not survive
    EXPECT_EQ(LightenColor(0x101010, 0x108), 0x181818u); // nor does the amount's
    EXPECT_EQ(DarkenColor(0x10F0FA, 51), 0x10BDC7u); // blue is below 51 and stays
    EXPECT_EQ(DarkenColor(0xFF333332, 51), 0x000032u); // equal to the amount: zero
    EXPECT_EQ(DarkenColor(0xFF01FE, 0x1FF), 0x0001FEu); // 0x1FF counts as 255
}

TEST(ColorMathTest, BlendAndNormalFaceKeepChannelsApart)
{
    EXPECT_EQ(BlendColors(0x808080, 0x000000), 0x404040u);
    EXPECT_EQ(BlendColors(0x000000, 0x810080), 0x400040u);
    EXPECT_EQ(BlendColors(0xFF00FF, 0x01FF00), 0x807F7Fu);
    EXPECT_EQ(NormalFaceColor(0xD8E9EC), 0xC4D5D8u);
    // A channel below 0x14 stays as it is; a plain subtraction would borrow
    // from its neighbour, or from the top byte for blue.
    EXPECT_EQ(NormalFaceColor(0x102030), 0x100C1Cu);
    EXPECT_EQ(NormalFaceColor(0x13FF00), 0x13EB00u);
}

struct Looks {
    FrameColors normal;
    FrameColors hot;
};

Looks Derive(ColorValue face, ColorValue shadow, ColorValue darkShadow)
{
    Looks looks;
    looks.normal.face = NormalFaceColor(face);
    looks.hot.face = HotFaceColor(face);
    DeriveFrameColors(looks.normal, looks.hot, shadow, darkShadow);
    return looks;
}

void ExpectColors(const FrameColors& got, const FrameColors& expected)
{
    const ColorValue FrameColors::*members[] = { &FrameColors::face,  &FrameColors::light1,
                                                 &FrameColors::light2, &FrameColors::light3,
                                                 &FrameColors::dark1,  &FrameColors::dark2,
                                                 &FrameColors::shadowBlend, &FrameColors::shadow };
    for (size_t i = 0; i < std::size(members); ++i)
        EXPECT_EQ(got.*members[i], expected.*members[i]) << "member " << i;
}

TEST(ColorMathTest, ClassicSchemeGivesBothLooks)
{
    const Looks looks = Derive(0xC0C0C0, 0x808080, 0x000000);
    ExpectColors(looks.normal, { 0xACACAC, 0xB4B4B4, 0xBCBCBC, 0xC4C4C4, 0x797979, 0x464646, 0x404040, 0x808080 });
    // The hot look shares the normal darks, not darks of its own face.
    ExpectColors(looks.hot, { 0xC6C6C6, 0xCECECE, 0xD6D6D6, 0xDEDEDE, 0x797979, 0x464646, 0x404040, 0x808080 });
}

TEST(ColorMathTest, BrightSchemeStopsTheHotLightsAtWhitePerChannel)
{
    const Looks looks = Derive(0xD8E9EC, 0x000000, 0x808080);
    EXPECT_EQ(looks.normal.face, 0xC4D5D8u);
    EXPECT_EQ(looks.hot.light2, 0xEEFFFFu);
    EXPECT_EQ(looks.hot.light3, 0xF6FFFFu);
    EXPECT_EQ(looks.hot.shadowBlend, 0x404040u);
}

} // namespace
