#include "controls/ColorMath.h"

#include <gtest/gtest.h>

namespace {

TEST(ColorMathTest, LightenStopsEachChannelAtWhite)
{
    EXPECT_EQ(LightenColor(0x10F0FA, 8), 0x18F8FFu);
    EXPECT_EQ(LightenColor(0xFFFFFF, 255), 0xFFFFFFu);
    EXPECT_EQ(LightenColor(0x000000, 255), 0xFFFFFFu);
    EXPECT_EQ(LightenColor(0x123456, 0), 0x123456u);
}

TEST(ColorMathTest, DarkenLeavesChannelsBelowTheAmountAlone)
{
    EXPECT_EQ(DarkenColor(0x10F0FA, 51), 0x10BDC7u);
    // A channel equal to the amount goes to zero, one below it stays.
    EXPECT_EQ(DarkenColor(0x333332, 51), 0x000032u);
    EXPECT_EQ(DarkenColor(0x000000, 51), 0x000000u);
}

TEST(ColorMathTest, OnlyTheLowByteOfTheAmountAndTheColourChannelsCount)
{
    EXPECT_EQ(LightenColor(0xFF101010, 8), 0x181818u);
    EXPECT_EQ(LightenColor(0x101010, 0x108), 0x181818u);
    EXPECT_EQ(DarkenColor(0xFF808080, 0x180), 0x000000u);
    // 0x1FF is 255 as a byte: nothing reaches it but 255 itself.
    EXPECT_EQ(DarkenColor(0xFF01FE, 0x1FF), 0x0001FEu);
}

TEST(ColorMathTest, BlendIsTheMeanRoundedDownInEitherOrder)
{
    EXPECT_EQ(BlendColors(0x808080, 0x000000), 0x404040u);
    EXPECT_EQ(BlendColors(0x000000, 0x808080), 0x404040u);
    EXPECT_EQ(BlendColors(0x000081, 0x000000), 0x000040u);
    EXPECT_EQ(BlendColors(0x000000, 0x000081), 0x000040u);
    // Channels do not carry into each other.
    EXPECT_EQ(BlendColors(0xFF00FF, 0x01FF00), 0x807F7Fu);
}

TEST(ColorMathTest, NormalFaceNeverBorrowsBetweenChannels)
{
    EXPECT_EQ(NormalFaceColor(0xC0C0C0), 0xACACACu);
    EXPECT_EQ(NormalFaceColor(0xD8E9EC), 0xC4D5D8u);
    EXPECT_EQ(NormalFaceColor(0x141414), 0x000000u);
    // Dark channels stay as they are; a plain subtraction would wrap the
    // blue one into the top byte and the others into their neighbours.
    EXPECT_EQ(NormalFaceColor(0x102030), 0x100C1Cu);
    EXPECT_EQ(NormalFaceColor(0x000000), 0x000000u);
    EXPECT_EQ(NormalFaceColor(0x13FF00), 0x13EB00u);
}

TEST(ColorMathTest, ClassicSchemeGivesBothLooks)
{
    FrameColors normal;
    FrameColors hot;
    normal.face = NormalFaceColor(0xC0C0C0);
    hot.face = HotFaceColor(0xC0C0C0);
    DeriveFrameColors(normal, hot, 0x808080, 0x000000);

    EXPECT_EQ(normal.face, 0xACACACu);
    EXPECT_EQ(normal.light1, 0xB4B4B4u);
    EXPECT_EQ(normal.light2, 0xBCBCBCu);
    EXPECT_EQ(normal.light3, 0xC4C4C4u);
    EXPECT_EQ(normal.dark1, 0x797979u);
    EXPECT_EQ(normal.dark2, 0x464646u);
    EXPECT_EQ(normal.shadowBlend, 0x404040u);
    EXPECT_EQ(normal.shadow, 0x808080u);

    EXPECT_EQ(hot.face, 0xC6C6C6u);
    EXPECT_EQ(hot.light1, 0xCECECEu);
    EXPECT_EQ(hot.light2, 0xD6D6D6u);
    EXPECT_EQ(hot.light3, 0xDEDEDEu);
    // The hot look shares the normal look's darks, not darks of its own face.
    EXPECT_EQ(hot.dark1, 0x797979u);
    EXPECT_EQ(hot.dark2, 0x464646u);
    EXPECT_EQ(hot.shadowBlend, 0x404040u);
    EXPECT_EQ(hot.shadow, 0x808080u);
}

TEST(ColorMathTest, BrightSchemeStopsTheHotLightsAtWhitePerChannel)
{
    FrameColors normal;
    FrameColors hot;
    normal.face = NormalFaceColor(0xD8E9EC);
    hot.face = HotFaceColor(0xD8E9EC);
    DeriveFrameColors(normal, hot, 0x99A8AC, 0x646F71);

    EXPECT_EQ(normal.face, 0xC4D5D8u);
    EXPECT_EQ(hot.light2, 0xEEFFFFu);
    EXPECT_EQ(hot.light3, 0xF6FFFFu);
    EXPECT_EQ(normal.shadowBlend, 0x7E8B8Eu);
    EXPECT_EQ(hot.shadow, 0x99A8ACu);
}

} // namespace
