#include "framework/CDC.h"

#include "framework/CGdiObject.h"
#include "framework/CWnd.h"

CDC::~CDC()
{
    if (m_owned && m_hDC)
        ::DeleteDC(m_hDC);
}

BOOL CDC::CreateCompatibleDC(const CDC* dc)
{
    HDC created = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    if (!created)
        return FALSE;
    if (m_owned && m_hDC)
        ::DeleteDC(m_hDC);
    m_hDC = created;
    m_owned = true;
    return TRUE;
}

HGDIOBJ CDC::SelectObject(const CGdiObject& object)
{
    return SelectObject(object.GetSafeHandle());
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object)
{
    // Selecting nothing fails and leaves the context as it was.
    return object ? ::SelectObject(m_hDC, object) : nullptr;
}

void CDC::FillSolidRect(const RECT* rect, COLORREF colour)
{
    const COLORREF old = ::SetBkColor(m_hDC, colour);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

void CDC::Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight)
{
    const int x = rect->left;
    const int y = rect->top;
    const int cx = rect->right - rect->left;
    const int cy = rect->bottom - rect->top;
    const RECT top = { x, y, x + cx - 1, y + 1 };
    const RECT left = { x, y, x + 1, y + cy - 1 };
    const RECT right = { x + cx - 1, y, x + cx, y + cy };
    const RECT bottom = { x, y + cy - 1, x + cx, y + cy };
    FillSolidRect(&top, topLeft);
    FillSolidRect(&left, topLeft);
    FillSolidRect(&right, bottomRight);
    FillSolidRect(&bottom, bottomRight);
}

POINT CDC::MoveTo(int x, int y)
{
    POINT previous = {};
    ::MoveToEx(m_hDC, x, y, &previous);
    return previous;
}

int CDC::DrawText(const char* text, int length, RECT* rect, UINT format)
{
    return ::DrawTextA(m_hDC, text, length, rect, format);
}

BOOL CDC::BitBlt(int x, int y, int width, int height, const CDC* source, int sourceX, int sourceY,
                 DWORD rop)
{
    return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sourceX, sourceY,
                    rop);
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->GetSafeHwnd())
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}
