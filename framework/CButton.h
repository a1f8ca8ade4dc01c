#pragma once

#include "framework/CWnd.h"

// A button control. An owner-drawn one paints itself in DrawItem, which the
// parent's WM_DRAWITEM reaches by reflection.
class CButton : public CWnd {
protected:
    virtual void DrawItem(DRAWITEMSTRUCT*) {}
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
