#pragma once

#include "framework/Win32.h"

// Owning wrappers of GDI objects: each deletes the handle it holds when it is
// given another one and when it goes away. They cannot be copied.
class CGdiObject {
public:
    CGdiObject() = default;
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    // Takes ownership of the handle, deleting the one held before; a null
    // handle is refused (FALSE) and nothing changes.
    BOOL Attach(HGDIOBJ handle);
    // Gives up ownership without deleting.
    HGDIOBJ Detach();
    BOOL DeleteObject();

    HGDIOBJ GetSafeHandle() const { return m_hObject; }

protected:
    HGDIOBJ m_hObject = nullptr;
};

class CPen : public CGdiObject {
public:
    BOOL CreatePen(int style, int width, COLORREF colour);
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    // A solid brush; raises CResourceException when it cannot be made.
    explicit CBrush(COLORREF colour);
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CBitmap : public CGdiObject {
public:
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};
