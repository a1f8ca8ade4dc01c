#include "tests/controls/GdiCounter.h"

#include <cstring>
#include <set>
#include <vector>

namespace buttons_test {

namespace {

struct Counts {
    std::set<HGDIOBJ> pens;
    std::set<HGDIOBJ> brushes;
    int pensCreated = 0;
    int brushesCreated = 0;
};

Counts counts;

using CreatePenFn = HPEN(WINAPI*)(int, int, COLORREF);
using CreateSolidBrushFn = HBRUSH(WINAPI*)(COLORREF);
using DeleteObjectFn = BOOL(WINAPI*)(HGDIOBJ);

CreatePenFn realCreatePen = nullptr;
CreateSolidBrushFn realCreateSolidBrush = nullptr;
DeleteObjectFn realDeleteObject = nullptr;

HPEN WINAPI CountedCreatePen(int style, int width, COLORREF colour)
{
    HPEN pen = realCreatePen(style, width, colour);
    if (pen) {
        counts.pens.insert(pen);
        ++counts.pensCreated;
    }
    return pen;
}

HBRUSH WINAPI CountedCreateSolidBrush(COLORREF colour)
{
    HBRUSH brush = realCreateSolidBrush(colour);
    if (brush) {
        counts.brushes.insert(brush);
        ++counts.brushesCreated;
    }
    return brush;
}

BOOL WINAPI CountedDeleteObject(HGDIOBJ object)
{
    const BOOL deleted = realDeleteObject(object);
    if (deleted) {
        counts.pens.erase(object);
        counts.brushes.erase(object);
    }
    return deleted;
}

// The program's import slots of a gdi32 function.
std::vector<void**> ImportSlots(const char* function)
{
    std::vector<void**> slots;
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress)
        return slots;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name; ++module) {
        if (::lstrcmpiA(reinterpret_cast<const char*>(base + module->Name), "gdi32.dll") != 0)
            continue;
        const DWORD namesOffset = module->OriginalFirstThunk ? module->OriginalFirstThunk : module->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesOffset);
        auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                slots.push_back(reinterpret_cast<void**>(&addresses->u1.Function));
        }
    }
    return slots;
}

// Puts the replacement into every slot of the function; the previous target
// goes to real. False when the program imports no such function.
template <class Fn>
bool Redirect(const char* function, Fn replacement, Fn& real)
{
    const std::vector<void**> slots = ImportSlots(function);
    for (void** slot : slots) {
        DWORD protection = 0;
        ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
        if (!real)
            real = reinterpret_cast<Fn>(*slot);
        *slot = reinterpret_cast<void*>(replacement);
        ::VirtualProtect(slot, sizeof *slot, protection, &protection);
    }
    return !slots.empty();
}

template <class Fn>
void Restore(const char* function, Fn& real)
{
    if (!real)
        return;
    for (void** slot : ImportSlots(function)) {
        DWORD protection = 0;
        ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
        *slot = reinterpret_cast<void*>(real);
        ::VirtualProtect(slot, sizeof *slot, protection, &protection);
    }
    real = nullptr;
}

} // namespace

GdiCounter::GdiCounter()
{
    counts = Counts();
    // DeleteObject first, so that nothing counted can be deleted unseen.
    m_installed = Redirect("DeleteObject", &CountedDeleteObject, realDeleteObject)
                  && Redirect("CreatePen", &CountedCreatePen, realCreatePen)
                  && Redirect("CreateSolidBrush", &CountedCreateSolidBrush, realCreateSolidBrush);
}

GdiCounter::~GdiCounter()
{
    Restore("CreateSolidBrush", realCreateSolidBrush);
    Restore("CreatePen", realCreatePen);
    Restore("DeleteObject", realDeleteObject);
}

int GdiCounter::LivePens() const
{
    return static_cast<int>(counts.pens.size());
}

int GdiCounter::LiveBrushes() const
{
    return static_cast<int>(counts.brushes.size());
}

int GdiCounter::PensCreated() const
{
    return counts.pensCreated;
}

int GdiCounter::BrushesCreated() const
{
    return counts.brushesCreated;
}

} // namespace buttons_test
