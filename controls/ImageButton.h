#pragma once

#include "framework/CButton.h"
#include "framework/CDC.h"
#include "framework/CGdiObject.h"
#include "framework/CString.h"

// A push button that paints itself: a flat face that shows an edge under the
// mouse and while pressed, one bitmap whose transparent colour lets the face
// show through, beside the caption or centred without one, and optionally a
// fixed distance to one corner of its parent. It is attached to an existing
// button control, which it turns into an owner-drawn one while keeping the
// control's part in the dialog's default-button handling.
class ImageButton : public CButton {
public:
    // Results of SetBitmapHandle and SetBitmapResources.
    enum { ImageSet = 0, NotABitmap = 1, NoMask = 2 };
    // Corners of the parent for SetAnchor.
    enum { AnchorTopLeft = 1, AnchorTopRight = 2, AnchorBottomRight = 3, AnchorBottomLeft = 4 };

    ImageButton();
    ~ImageButton() override;

    // Loads the bitmap resource from the program's module and sets it as by
    // SetBitmapHandle. A missing resource leaves the button without an image
    // and is not an error.
    int SetBitmapResources(UINT id, COLORREF transparent);
    // Makes the bitmap the button's image, replacing (and deleting) the one
    // it had; the button owns the bitmap from then on. A null handle just
    // removes the image. Returns ImageSet, NotABitmap (the handle is left to
    // the caller, who still owns whatever it is) or NoMask (the bitmap has
    // been deleted). Every failure leaves the button without an image.
    int SetBitmapHandle(HBITMAP bitmap, COLORREF transparent);

    // Records the button's distances to one corner of the parent window
    // (measured against the parent's whole window, frame and caption
    // included). A mode outside 1-4 is recorded and changes no distance.
    void SetAnchor(int mode);
    // Moves the button so that it keeps those distances inside the parent's
    // present client area; does nothing unless anchored to a corner.
    void ApplyAnchor();

    static const MessageMap* GetThisMessageMap();
    const MessageMap* GetMessageMap() const override { return GetThisMessageMap(); }

protected:
    struct BitmapEntry {
        CBitmap bitmap; // its transparent pixels are black once the mask is built
        int width = 0;
        int height = 0;
        CBitmap mask; // set where the bitmap had the transparent colour
        COLORREF transparent = 0;
    };

    void PreSubclassWindow() override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawItem(DRAWITEMSTRUCT* item) override;

    // The two steps of the paint that a subclass may replace; both return 0.
    // The face, filled in FaceColour.
    virtual int PaintBackground(CDC* dc, const RECT* rect);
    // The one-pixel edge of a hot (raised) or pressed (sunken) button.
    virtual int PaintEdge(CDC* dc, const RECT* rect);

    // Builds the monochrome mask of the bitmap, set exactly where a pixel has
    // the transparent colour, and turns those pixels black in the bitmap
    // itself. False, with the bitmap unchanged, when the mask cannot be made.
    static bool BuildMask(HBITMAP bitmap, int width, int height, COLORREF transparent, CBitmap& mask);
    // Deletes the image and its mask and clears the entry.
    void ReleaseImage();
    // Ends the hover highlight, repainting the button if it had one.
    void EndHover();

    int MouseOver = 0;
    int DrawPressed = 0; // as seen by the paint in progress or the last one
    int DrawFocused = 0; // as seen by the paint in progress or the last one
    int DefaultButton = 0;
    // Read once, when the button is made.
    COLORREF FaceColour;
    COLORREF TextColour;
    int AnchorOffsetX = 0;
    int AnchorOffsetY = 0;
    int AnchorMode = 0;
    BitmapEntry Image;

private:
    void OnMouseMove(UINT flags, POINT point);
    void OnKillFocus(HWND newFocus);
    void OnActivate(UINT state, HWND other, BOOL minimized);
    void OnCancelMode();
    UINT OnGetDlgCode();
    HBRUSH CtlColor(CDC* dc, UINT ctlColor);
    LRESULT OnSetStyle(WPARAM style, LPARAM redraw);
    LRESULT OnMouseLeave(WPARAM, LPARAM);

    // Takes a bitmap for the empty image entry; the result of SetBitmapHandle.
    int TakeImage(HBITMAP bitmap, COLORREF transparent);
    // Draws the image for the item rectangle and narrows the caption's
    // rectangle to the part beside it.
    void DrawImage(CDC& dc, const RECT& item, bool besideCaption, RECT& caption) const;
    void DrawCaption(CDC& dc, RECT area, const CString& text) const;
};
