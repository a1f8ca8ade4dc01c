#include "controls/ButtonPalette.h"

#include <initializer_list>

// The pens exist without handles from static initialisation on, normal look
// first, and go away at exit in the reverse order, each deleting its handle.
FrameColorSet ButtonPalette::normal;
FrameColorSet ButtonPalette::hot;

void ButtonPalette::Create()
{
    const ColorValue buttonFace = ::GetSysColor(COLOR_BTNFACE);
    normal.face = NormalFaceColor(buttonFace);
    hot.face = HotFaceColor(buttonFace);
    DeriveColors();
    DeletePens();
    CreatePens(normal);
    CreatePens(hot);
}

void ButtonPalette::DeriveColors()
{
    const ColorValue darkShadow = ::GetSysColor(COLOR_3DDKSHADOW);
    const ColorValue buttonShadow = ::GetSysColor(COLOR_BTNSHADOW);
    DeriveFrameColors(normal, hot, buttonShadow, darkShadow);
}

void ButtonPalette::DeletePens()
{
    for (FrameColorSet* set : { &normal, &hot })
        for (CPen* pen : { &set->facePen, &set->light1Pen, &set->light2Pen, &set->dark1Pen,
                           &set->dark2Pen, &set->shadowBlendPen, &set->shadowPen })
            pen->DeleteObject();
}

void ButtonPalette::CreatePens(FrameColorSet& set)
{
    // A pen that cannot be made stays empty; the frame then draws its lines
    // with whatever pen the device context holds.
    set.light1Pen.CreatePen(PS_SOLID, 1, set.light1);
    set.light2Pen.CreatePen(PS_SOLID, 1, set.light2);
    set.facePen.CreatePen(PS_SOLID, 1, set.face);
    set.dark1Pen.CreatePen(PS_SOLID, 1, set.dark1);
    set.dark2Pen.CreatePen(PS_SOLID, 1, set.dark2);
    set.shadowBlendPen.CreatePen(PS_SOLID, 1, set.shadowBlend);
    set.shadowPen.CreatePen(PS_SOLID, 1, set.shadow);
}
