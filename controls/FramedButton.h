#pragma once

#include "controls/ButtonPalette.h"
#include "controls/ImageButton.h"

// The command button of the main window: an image button whose face is a
// framed panel in the shared palette's colours, the normal look at rest and
// the hot look while the mouse is over it or it has the focus. It shows no
// separate edge: being pressed shows only through the image and caption
// moving by one pixel. The palette must have been created before it paints.
class FramedButton : public ImageButton {
protected:
    int PaintBackground(CDC* dc, const RECT* rect) override;
    int PaintEdge(CDC* dc, const RECT* rect) override;

    // Paints the frame within the rectangle and in the two columns right of
    // it, with the set's pens and a fill brush made for this paint.
    int DrawFrame(CDC* dc, RECT rect, const FrameColorSet& set);
};
