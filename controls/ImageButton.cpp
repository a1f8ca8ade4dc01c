#include "controls/ImageButton.h"

#include "controls/SelectionGuard.h"
#include "framework/CWinApp.h"

namespace {

// The bits of a button style that hold its type.
constexpr DWORD kTypeBits = 0x1F;
// Between the image and a caption beside it.
constexpr int kImageGap = 3;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

int Width(const RECT& r)
{
    return r.right - r.left;
}

int Height(const RECT& r)
{
    return r.bottom - r.top;
}

} // namespace

ImageButton::ImageButton()
    : FaceColour(::GetSysColor(COLOR_BTNFACE)), TextColour(::GetSysColor(COLOR_BTNTEXT))
{
}

ImageButton::~ImageButton()
{
    ReleaseImage();
}

const MessageMap* ImageButton::GetThisMessageMap()
{
    static const MessageEntry entries[] = {
        On::MouseMove<&ImageButton::OnMouseMove>(),
        On::KillFocus<&ImageButton::OnKillFocus>(),
        On::Activate<&ImageButton::OnActivate>(),
        On::CancelMode<&ImageButton::OnCancelMode>(),
        On::GetDlgCode<&ImageButton::OnGetDlgCode>(),
        On::CtlColorReflect<&ImageButton::CtlColor>(),
        On::Message<BM_SETSTYLE, &ImageButton::OnSetStyle>(),
        On::Message<WM_MOUSELEAVE, &ImageButton::OnMouseLeave>(),
    };
    static const MessageMap map(CWnd::GetThisMessageMap(), entries);
    return &map;
}

// --- Image ---------------------------------------------------------------------

int ImageButton::SetBitmapResources(UINT id, COLORREF transparent)
{
    HANDLE loaded = ::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(LOWORD(id)), IMAGE_BITMAP,
                                 0, 0, LR_DEFAULTCOLOR);
    return SetBitmapHandle(static_cast<HBITMAP>(loaded), transparent);
}

int ImageButton::SetBitmapHandle(HBITMAP bitmap, COLORREF transparent)
{
    // Setting the image it has already must not delete it.
    if (bitmap && bitmap == Image.bitmap.GetSafeHandle())
        return ImageSet;
    ReleaseImage();
    const int result = bitmap ? TakeImage(bitmap, transparent) : ImageSet;
    if (m_hWnd)
        Invalidate();
    return result;
}

int ImageButton::TakeImage(HBITMAP bitmap, COLORREF transparent)
{
    // Anything else (a pen, a brush, a stale handle) is not the button's to
    // own or delete. Reading a description is not enough to tell: a pen's
    // reads as well, only shorter.
    BITMAP description {};
    if (::GetObjectType(bitmap) != OBJ_BITMAP
        || ::GetObjectA(bitmap, sizeof description, &description) != sizeof description)
        return NotABitmap;

    Image.bitmap.Attach(bitmap);
    Image.transparent = transparent;
    Image.width = description.bmWidth;
    Image.height = description.bmHeight;
    if (!BuildMask(bitmap, Image.width, Image.height, transparent, Image.mask)) {
        ReleaseImage();
        return NoMask;
    }
    return ImageSet;
}

bool ImageButton::BuildMask(HBITMAP bitmap, int width, int height, COLORREF transparent, CBitmap& mask)
{
    CBitmap made;
    if (!made.Attach(::CreateBitmap(width, height, 1, 1, nullptr)))
        return false;
    {
        CDC image;
        CDC bits;
        image.CreateCompatibleDC(nullptr);
        bits.CreateCompatibleDC(nullptr);
        const SelectionGuard keepImage(image, OBJ_BITMAP);
        const SelectionGuard keepBits(bits, OBJ_BITMAP);
        image.SelectObject(bitmap);
        bits.SelectObject(made);

        // Colour to monochrome: 1 where a pixel has the background colour.
        image.SetBkColor(transparent);
        bits.BitBlt(0, 0, width, height, &image, 0, 0, SRCCOPY);
        // Monochrome to colour: set bits become the background (black), clear
        // ones the text colour (white), so the AND blacks out exactly the
        // transparent pixels.
        image.SetTextColor(kWhite);
        image.SetBkColor(kBlack);
        image.BitBlt(0, 0, width, height, &bits, 0, 0, SRCAND);
    }
    mask.Attach(made.Detach());
    return true;
}

void ImageButton::ReleaseImage()
{
    Image.bitmap.DeleteObject();
    Image.mask.DeleteObject();
    Image.width = 0;
    Image.height = 0;
    Image.transparent = 0;
}

// --- Anchoring -----------------------------------------------------------------

void ImageButton::SetAnchor(int mode)
{
    RECT button;
    RECT parent;
    GetWindowRect(&button);
    ::GetWindowRect(GetParent(), &parent);
    switch (mode) {
    case AnchorTopLeft:
        AnchorOffsetX = button.left - parent.left;
        AnchorOffsetY = button.top - parent.top;
        break;
    case AnchorTopRight:
        AnchorOffsetX = parent.right - button.left;
        AnchorOffsetY = button.top - parent.top;
        break;
    case AnchorBottomRight:
        AnchorOffsetX = parent.right - button.left;
        AnchorOffsetY = parent.bottom - button.top;
        break;
    case AnchorBottomLeft:
        AnchorOffsetX = button.left - parent.left;
        AnchorOffsetY = parent.bottom - button.top;
        break;
    default:
        break;
    }
    AnchorMode = mode;
}

void ImageButton::ApplyAnchor()
{
    RECT client;
    ::GetClientRect(GetParent(), &client);
    int x = 0;
    int y = 0;
    switch (AnchorMode) {
    case AnchorTopLeft:
        x = client.left + AnchorOffsetX;
        y = client.top + AnchorOffsetY;
        break;
    case AnchorTopRight:
        x = client.right - AnchorOffsetX;
        y = client.top + AnchorOffsetY;
        break;
    case AnchorBottomRight:
        x = client.right - AnchorOffsetX;
        y = client.bottom - AnchorOffsetY;
        break;
    case AnchorBottomLeft:
        x = client.left + AnchorOffsetX;
        y = client.bottom - AnchorOffsetY;
        break;
    default:
        return;
    }
    // Painted afresh where it lands: the parent's resize may already have
    // done away with the pixels of its old place, which a move would copy.
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOCOPYBITS);
}

// --- Behaviour -----------------------------------------------------------------

void ImageButton::PreSubclassWindow()
{
    if ((GetStyle() & kTypeBits) == BS_DEFPUSHBUTTON)
        DefaultButton = 1;
    ModifyStyle(kTypeBits, BS_OWNERDRAW, SWP_FRAMECHANGED);
    CButton::PreSubclassWindow();
}

LRESULT ImageButton::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // An owner-drawn control reports a double click instead of pressing
    // again; passed on as a second press it makes a second click.
    if (message == WM_LBUTTONDBLCLK)
        message = WM_LBUTTONDOWN;
    return CButton::DefWindowProc(message, wParam, lParam);
}

void ImageButton::OnMouseMove(UINT flags, POINT point)
{
    Default();
    ClientToScreen(&point);
    const HWND under = ::WindowFromPoint(point);
    // No highlight starts during a drag with the left button.
    if ((flags & MK_LBUTTON) && !MouseOver)
        return;
    // Only while the program is the active one.
    if (under == m_hWnd && ::GetActiveWindow()) {
        if (MouseOver)
            return;
        MouseOver = 1;
        Invalidate();
        TRACKMOUSEEVENT track {};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        ::_TrackMouseEvent(&track);
        return;
    }
    EndHover();
}

void ImageButton::EndHover()
{
    if (!MouseOver)
        return;
    MouseOver = 0;
    if (m_hWnd)
        Invalidate();
}

void ImageButton::OnKillFocus(HWND)
{
    Default();
    EndHover();
}

void ImageButton::OnActivate(UINT state, HWND, BOOL)
{
    Default();
    if (state == WA_INACTIVE)
        EndHover();
}

void ImageButton::OnCancelMode()
{
    Default();
    EndHover();
}

UINT ImageButton::OnGetDlgCode()
{
    const UINT code = static_cast<UINT>(Default());
    return code | (DefaultButton ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

HBRUSH ImageButton::CtlColor(CDC*, UINT)
{
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

LRESULT ImageButton::OnSetStyle(WPARAM style, LPARAM redraw)
{
    // The dialog manager moves the default button with this message: follow
    // it, but keep the control owner-drawn.
    const DWORD type = static_cast<DWORD>(style) & kTypeBits;
    if (type == BS_DEFPUSHBUTTON)
        DefaultButton = 1;
    else if (type == BS_PUSHBUTTON)
        DefaultButton = 0;
    const WPARAM ownerDrawn = (style & ~static_cast<WPARAM>(kTypeBits)) | BS_OWNERDRAW;
    return CButton::DefWindowProc(BM_SETSTYLE, ownerDrawn, redraw);
}

LRESULT ImageButton::OnMouseLeave(WPARAM, LPARAM)
{
    EndHover();
    return 0;
}

// --- Painting ------------------------------------------------------------------

void ImageButton::DrawItem(DRAWITEMSTRUCT* item)
{
    CDC dc(item->hDC);
    DrawPressed = (item->itemState & ODS_SELECTED) ? 1 : 0;
    DrawFocused = (item->itemState & ODS_FOCUS) ? 1 : 0;

    RECT work = item->rcItem;
    dc.SetBkMode(TRANSPARENT);
    PaintBackground(&dc, &work);
    if (DrawPressed || MouseOver)
        PaintEdge(&dc, &work);

    const CString caption = GetWindowText();
    RECT captionArea = item->rcItem;
    if (Image.bitmap.GetSafeHandle()) {
        dc.SetBkColor(kWhite);
        DrawImage(dc, item->rcItem, !caption.IsEmpty(), captionArea);
    }
    if (!caption.IsEmpty())
        DrawCaption(dc, captionArea, caption);
}

int ImageButton::PaintBackground(CDC* dc, const RECT* rect)
{
    const CBrush face(FaceColour);
    dc->FillRect(rect, face);
    return 0;
}

int ImageButton::PaintEdge(CDC* dc, const RECT* rect)
{
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    if (DrawPressed)
        dc->Draw3dRect(rect, shadow, highlight);
    else
        dc->Draw3dRect(rect, highlight, shadow);
    return 0;
}

void ImageButton::DrawImage(CDC& dc, const RECT& item, bool besideCaption, RECT& caption) const
{
    RECT place = item;
    if (besideCaption) {
        place.left += kImageGap;
        caption.left += Image.width + kImageGap;
    } else {
        place.left += (Width(place) - Image.width) / 2;
    }
    place.top += (Height(place) - Image.height) / 2;
    if (DrawPressed)
        ::OffsetRect(&place, 1, 1);

    CDC image;
    CDC mask;
    image.CreateCompatibleDC(&dc);
    mask.CreateCompatibleDC(nullptr);
    const SelectionGuard keepImage(image, OBJ_BITMAP);
    const SelectionGuard keepMask(mask, OBJ_BITMAP);
    image.SelectObject(Image.bitmap);
    mask.SelectObject(Image.mask);

    // The mask's clear bits take the text colour: black, so that the OR of
    // the bitmap shows its own colours whatever the context carried.
    dc.SetTextColor(kBlack);
    dc.BitBlt(place.left, place.top, Image.width, Image.height, &mask, 0, 0, SRCAND);
    dc.BitBlt(place.left, place.top, Image.width, Image.height, &image, 0, 0, SRCPAINT);
}

void ImageButton::DrawCaption(CDC& dc, RECT area, const CString& text) const
{
    if (DrawPressed)
        ::OffsetRect(&area, 1, 1);
    RECT block = area;
    dc.DrawText(text, -1, &block, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    ::OffsetRect(&block, (Width(area) - Width(block)) / 2, (Height(area) - Height(block)) / 2);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(TextColour);
    dc.DrawText(text, -1, &block, DT_WORDBREAK | DT_CENTER);
}
