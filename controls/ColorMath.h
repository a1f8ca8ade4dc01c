#pragma once

// The colour arithmetic of the framed buttons, kept free of window code so
// that it builds and is tested on every platform.

#include <cstdint>

// A colour as the system stores it: 0x00BBGGRR, red in the low byte.
using ColorValue = std::uint32_t;

// Each channel rises by the low byte of amount and stops at 255. The top
// byte of the result is zero.
ColorValue LightenColor(ColorValue color, unsigned amount);

// Each channel of at least the low byte of amount drops by it; a smaller
// channel keeps its value (it is never clamped to zero). The top byte of the
// result is zero.
ColorValue DarkenColor(ColorValue color, unsigned amount);

// The channel-wise mean of two colours, rounded down.
ColorValue BlendColors(ColorValue first, ColorValue second);

// The face of the frame at rest: 0x14 less in each channel that has at least
// 0x14. A darker channel stays as it is rather than borrowing from the
// channel above it, which would tint the whole frame.
ColorValue NormalFaceColor(ColorValue buttonFace);

// The face of the frame while the button is hot.
ColorValue HotFaceColor(ColorValue buttonFace);

// The eight colours of one look of the frame.
struct FrameColors {
    ColorValue face = 0;
    ColorValue light1 = 0;
    ColorValue light2 = 0;
    ColorValue light3 = 0; // the fill
    ColorValue dark1 = 0;
    ColorValue dark2 = 0;
    ColorValue shadowBlend = 0;
    ColorValue shadow = 0;
};

// Given the two faces, works out every other colour of both looks. The
// lights follow each look's own face; the darks and shadows are the normal
// look's, shared by the hot one.
void DeriveFrameColors(FrameColors& normal, FrameColors& hot, ColorValue buttonShadow,
                       ColorValue darkShadow);
