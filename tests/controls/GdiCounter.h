#pragma once

// Counts the pens and brushes that this program makes and deletes. Wine
// keeps no count of a process's GDI objects (GetGuiResources answers 0), so
// while a counter exists the program's own calls of CreatePen,
// CreateSolidBrush and DeleteObject go through it, by way of its import table.

#include "framework/Win32.h"

#include <set>

namespace buttons_test {

class GdiCounter {
public:
    GdiCounter();
    ~GdiCounter();
    GdiCounter(const GdiCounter&) = delete;
    GdiCounter& operator=(const GdiCounter&) = delete;

    bool Installed() const { return m_installed; }

    // Made while counting and, for the live ones, not deleted yet.
    static std::set<HGDIOBJ> livePens;
    static std::set<HGDIOBJ> liveBrushes;
    static int pensMade;
    static int brushesMade;

private:
    bool m_installed = false;
};

} // namespace buttons_test
