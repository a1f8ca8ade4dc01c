#pragma once

#include "framework/Win32.h"

// Remembers the object of one kind (OBJ_PEN, OBJ_BITMAP, ...) that a device
// context holds now and selects it back when the guard goes away, however
// many objects were selected in between and whether or not they could be.
class SelectionGuard {
public:
    SelectionGuard(HDC dc, UINT kind) : m_dc(dc), m_previous(::GetCurrentObject(dc, kind)) {}
    ~SelectionGuard()
    {
        if (m_previous)
            ::SelectObject(m_dc, m_previous);
    }
    SelectionGuard(const SelectionGuard&) = delete;
    SelectionGuard& operator=(const SelectionGuard&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};
