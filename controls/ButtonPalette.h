#pragma once

#include "controls/ColorMath.h"
#include "framework/CGdiObject.h"
#include "framework/Win32.h"

// One look of the frame: its eight colours and a pen for each colour but the
// fill, which a framed button paints with a brush of its own.
struct FrameColorSet : FrameColors {
    CPen facePen;
    CPen light1Pen;
    CPen light2Pen;
    CPen dark1Pen;
    CPen dark2Pen;
    CPen shadowBlendPen;
    CPen shadowPen;
};

// The colours and pens shared by every framed button, derived once from the
// system colours at start-up: the normal look at rest, the hot look while
// the mouse is over a button or it holds the focus. Changes of the system
// colours later in the run do not reach it.
class ButtonPalette {
public:
    ButtonPalette() = delete;

    // Works out both looks and makes their fourteen pens. Runs once, before
    // any framed button paints; running it again replaces the pens.
    static void Create();

    static const FrameColorSet& Normal() { return normal; }
    static const FrameColorSet& Hot() { return hot; }

private:
    // Given both faces, reads the shadow colours and sets every other colour.
    static void DeriveColors();
    // Deletes the pens that hold a handle and leaves them empty.
    static void DeletePens();
    static void CreatePens(FrameColorSet& set);

    static FrameColorSet normal;
    static FrameColorSet hot;
};
