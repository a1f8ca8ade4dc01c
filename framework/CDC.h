#pragma once

#include "framework/CString.h"
#include "framework/Win32.h"

class CGdiObject;
class CWnd;

// A device context. One borrowed from the system (a paint or draw-item
// context) is only used; one this object creates is deleted with it.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC borrowed) : m_hDC(borrowed) {}
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // A memory context compatible with dc, or with the screen when dc is null.
    BOOL CreateCompatibleDC(const CDC* dc);
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    // Returns the object it replaces, to be selected back.
    HGDIOBJ SelectObject(const CGdiObject& object);
    HGDIOBJ SelectObject(HGDIOBJ object);

    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    COLORREF SetBkColor(COLORREF colour) { return ::SetBkColor(m_hDC, colour); }
    COLORREF SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }

    void FillRect(const RECT* rect, HBRUSH brush) { ::FillRect(m_hDC, rect, brush); }
    void FillSolidRect(const RECT* rect, COLORREF colour);
    void Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight);
    POINT MoveTo(int x, int y);
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    COLORREF SetPixel(int x, int y, COLORREF colour) { return ::SetPixel(m_hDC, x, y, colour); }
    // Draws text of the given length (-1: up to its NUL) into rect.
    int DrawText(const char* text, int length, RECT* rect, UINT format);
    BOOL BitBlt(int x, int y, int width, int height, const CDC* source, int sourceX, int sourceY,
                DWORD rop);
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }

protected:
    HDC m_hDC = nullptr;

private:
    bool m_owned = false;
};

// The context of a WM_PAINT: BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps {};

private:
    HWND m_hWnd;
};
