#pragma once

#include "framework/CWnd.h"

// A button control. An owner-drawn one paints itself in DrawItem, which the
// parent's WM_DRAWITEM reaches by reflection.
class CButton : public CWnd {
public:
    UINT GetButtonStyle() const { return GetStyle() & 0xFFu; }
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }

protected:
    virtual void DrawItem(DRAWITEMSTRUCT*) {}
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
