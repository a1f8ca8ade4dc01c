#include "controls/FramedButton.h"

#include "controls/SelectionGuard.h"

int FramedButton::PaintBackground(CDC* dc, const RECT* rect)
{
    const bool hot = MouseOver || DrawFocused;
    DrawFrame(dc, *rect, hot ? ButtonPalette::Hot() : ButtonPalette::Normal());
    return 0;
}

int FramedButton::PaintEdge(CDC*, const RECT*)
{
    return 0;
}

int FramedButton::DrawFrame(CDC* dc, RECT rect, const FrameColorSet& set)
{
    const int l = rect.left;
    const int t = rect.top;
    const int r = rect.right;
    const int b = rect.bottom;
    // A line paints from its start up to, not including, its end; a chain
    // goes on from where the last line stopped. Later steps paint over
    // earlier ones where they meet.
    const CBrush fill(set.light3);
    dc->FillRect(&rect, fill);

    // Whatever pen the context held goes back at the end; a palette pen that
    // could not be made is not selected, and its lines take the pen before.
    const SelectionGuard keepPen(*dc, OBJ_PEN);

    dc->SelectObject(set.light1Pen);
    dc->MoveTo(l + 2, b - 4);
    dc->LineTo(r - 2, b - 4);
    dc->MoveTo(l + 2, t + 2);
    dc->LineTo(r - 2, t + 2);
    dc->SetPixel(l + 1, b - 3, set.light1);
    dc->SetPixel(l + 1, t + 1, set.light1);

    dc->SelectObject(set.light2Pen);
    dc->MoveTo(l + 2, b - 5);
    dc->LineTo(r - 3, b - 5);
    dc->LineTo(r - 3, t + 3);
    dc->LineTo(l + 1, t + 3);
    dc->SetPixel(l + 1, b - 4, set.light2);
    dc->SetPixel(l + 1, t + 2, set.light2);

    dc->SelectObject(set.facePen);
    dc->MoveTo(l, b - 1);
    dc->LineTo(l, t);
    dc->LineTo(l + 2, t);
    dc->SetPixel(l + 1, b - 2, set.face);
    dc->MoveTo(l + 2, b - 3);
    dc->LineTo(r - 2, b - 3);
    dc->MoveTo(l + 2, t + 1);
    dc->LineTo(r - 1, t + 1);

    dc->SelectObject(set.dark1Pen);
    dc->MoveTo(l + 2, b - 2);
    dc->LineTo(r - 2, b - 2);
    dc->LineTo(r - 2, t + 1);
    dc->MoveTo(l + 2, t);
    dc->LineTo(r, t);
    dc->SetPixel(l + 1, b - 1, set.dark1);

    dc->SelectObject(set.dark2Pen);
    dc->MoveTo(l + 2, b - 1);
    dc->LineTo(r - 1, b - 1);
    dc->LineTo(r - 1, t);

    dc->SelectObject(set.shadowBlendPen);
    dc->MoveTo(r, t);
    dc->LineTo(r, b);

    dc->SelectObject(set.shadowPen);
    dc->MoveTo(r + 1, t);
    dc->LineTo(r + 1, b);
    return 0;
}
