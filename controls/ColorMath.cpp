#include "controls/ColorMath.h"

#include <initializer_list>

namespace {

unsigned Channel(ColorValue color, int shift)
{
    return (color >> shift) & 0xFFu;
}

ColorValue FromChannels(unsigned red, unsigned green, unsigned blue)
{
    return static_cast<ColorValue>(red | (green << 8) | (blue << 16));
}

// Applies op to red, green and blue; the top byte is dropped.
template <class Op>
ColorValue PerChannel(ColorValue color, Op op)
{
    return FromChannels(op(Channel(color, 0)), op(Channel(color, 8)), op(Channel(color, 16)));
}

} // namespace

ColorValue LightenColor(ColorValue color, unsigned amount)
{
    const unsigned step = amount & 0xFFu;
    return PerChannel(color, [step](unsigned c) { return c + step > 0xFFu ? 0xFFu : c + step; });
}

ColorValue DarkenColor(ColorValue color, unsigned amount)
{
    const unsigned step = amount & 0xFFu;
    return PerChannel(color, [step](unsigned c) { return c < step ? c : c - step; });
}

ColorValue BlendColors(ColorValue first, ColorValue second)
{
    return FromChannels((Channel(first, 0) + Channel(second, 0)) / 2,
                        (Channel(first, 8) + Channel(second, 8)) / 2,
                        (Channel(first, 16) + Channel(second, 16)) / 2);
}

ColorValue NormalFaceColor(ColorValue buttonFace)
{
    return PerChannel(buttonFace, [](unsigned c) { return c >= 0x14u ? c - 0x14u : c; });
}

ColorValue HotFaceColor(ColorValue buttonFace)
{
    return LightenColor(buttonFace, 6);
}

void DeriveFrameColors(FrameColors& normal, FrameColors& hot, ColorValue buttonShadow,
                       ColorValue darkShadow)
{
    for (FrameColors* look : { &normal, &hot }) {
        look->light1 = LightenColor(look->face, 8);
        look->light2 = LightenColor(look->light1, 8);
        look->light3 = LightenColor(look->light2, 8);
    }
    normal.dark1 = DarkenColor(normal.face, 51);
    normal.dark2 = DarkenColor(normal.dark1, 51);
    normal.shadowBlend = BlendColors(buttonShadow, darkShadow);
    normal.shadow = buttonShadow;

    hot.dark1 = normal.dark1;
    hot.dark2 = normal.dark2;
    hot.shadowBlend = normal.shadowBlend;
    hot.shadow = normal.shadow;
}
