#include "tests/controls/GdiCounter.h"

#include <cstring>

namespace buttons_test {

std::set<HGDIOBJ> GdiCounter::livePens;
std::set<HGDIOBJ> GdiCounter::liveBrushes;
int GdiCounter::pensMade = 0;
int GdiCounter::brushesMade = 0;

namespace {

decltype(&::CreatePen) realCreatePen = nullptr;
decltype(&::CreateSolidBrush) realCreateSolidBrush = nullptr;
decltype(&::DeleteObject) realDeleteObject = nullptr;

HPEN WINAPI CountedCreatePen(int style, int width, COLORREF colour)
{
    HPEN pen = realCreatePen(style, width, colour);
    if (pen && GdiCounter::livePens.insert(pen).second)
        ++GdiCounter::pensMade;
    return pen;
}

HBRUSH WINAPI CountedCreateSolidBrush(COLORREF colour)
{
    HBRUSH brush = realCreateSolidBrush(colour);
    if (brush && GdiCounter::liveBrushes.insert(brush).second)
        ++GdiCounter::brushesMade;
    return brush;
}

BOOL WINAPI CountedDeleteObject(HGDIOBJ object)
{
    const BOOL deleted = realDeleteObject(object);
    if (deleted) {
        GdiCounter::livePens.erase(object);
        GdiCounter::liveBrushes.erase(object);
    }
    return deleted;
}

// Points the program's import slots of the gdi32 function at target; returns
// what they held, or null when the program does not import it.
void* Redirect(const char* function, void* target)
{
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    void* previous = nullptr;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); imports && module->Name;
         ++module) {
        if (::lstrcmpiA(reinterpret_cast<const char*>(base + module->Name), "gdi32.dll") != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (module->OriginalFirstThunk ? module->OriginalFirstThunk : module->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)
                || std::strcmp(reinterpret_cast<const char*>(
                                   reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name),
                               function) != 0)
                continue;
            auto* slot = reinterpret_cast<void**>(&slots->u1.Function);
            DWORD protection = 0;
            ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
            previous = *slot;
            *slot = target;
            ::VirtualProtect(slot, sizeof *slot, protection, &protection);
        }
    }
    return previous;
}

template <class Fn>
bool Install(const char* function, Fn counted, Fn& real)
{
    real = reinterpret_cast<Fn>(Redirect(function, reinterpret_cast<void*>(counted)));
    return real != nullptr;
}

template <class Fn>
void Uninstall(const char* function, Fn& real)
{
    if (real)
        Redirect(function, reinterpret_cast<void*>(real));
    real = nullptr;
}

} // namespace

GdiCounter::GdiCounter()
{
    livePens.clear();
    liveBrushes.clear();
    pensMade = brushesMade = 0;
    // DeleteObject first, so that nothing counted can be deleted unseen.
    m_installed = Install("DeleteObject", &CountedDeleteObject, realDeleteObject)
                  && Install("CreatePen", &CountedCreatePen, realCreatePen)
                  && Install("CreateSolidBrush", &CountedCreateSolidBrush, realCreateSolidBrush);
}

GdiCounter::~GdiCounter()
{
    Uninstall("CreateSolidBrush", realCreateSolidBrush);
    Uninstall("CreatePen", realCreatePen);
    Uninstall("DeleteObject", realDeleteObject);
}

} // namespace buttons_test
