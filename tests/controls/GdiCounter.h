#pragma once

// Counts the pens and brushes that this program makes and deletes. Wine has
// no count of a process's GDI objects (GetGuiResources answers 0), so while
// a counter exists the program's own calls of CreatePen, CreateSolidBrush
// and DeleteObject are routed through it, by way of its import table.

#include "framework/Win32.h"

namespace buttons_test {

class GdiCounter {
public:
    GdiCounter();
    ~GdiCounter();
    GdiCounter(const GdiCounter&) = delete;
    GdiCounter& operator=(const GdiCounter&) = delete;

    // False when the import table could not be redirected.
    bool Installed() const { return m_installed; }
    // Made while counting and not deleted yet.
    int LivePens() const;
    int LiveBrushes() const;
    int PensCreated() const;
    int BrushesCreated() const;

private:
    bool m_installed = false;
};

} // namespace buttons_test
