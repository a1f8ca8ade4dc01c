// Framed buttons in each of their looks, to be looked at or captured: at
// rest, focused, held pressed, one left for the pointer to hover (its screen
// centre is printed) and one with an image only.
//   orvalis_button_gallery [seconds, 30 by default] [classic]
// "classic" first sets the session's button colours to the classic greys.

#include "app/Resource.h"
#include "controls/ButtonPalette.h"
#include "tests/controls/ButtonHarness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace buttons_test;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    const int seconds = *commandLine ? std::atoi(commandLine) : 30;
    if (std::strstr(commandLine, "classic")) {
        const int elements[] = { COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_3DDKSHADOW };
        const COLORREF colours[] = { RGB(192, 192, 192), RGB(128, 128, 128), RGB(0, 0, 0) };
        ::SetSysColors(3, elements, colours);
    }
    ButtonPalette::Create();
    TestDialog dialog { { { 11, kButton, "Abrir dbf", BS_PUSHBUTTON, 7, 7, 68, 14 },
                          { 12, kButton, "Exportar a txt", BS_PUSHBUTTON, 82, 7, 68, 14 },
                          { 13, kButton, "Salir", BS_PUSHBUTTON, 157, 7, 50, 14 },
                          { 14, kButton, "Abrir dbf", BS_PUSHBUTTON, 214, 7, 68, 14 },
                          { 15, kButton, "", BS_PUSHBUTTON, 289, 7, 24, 14 },
                          { 21, kStatic, "reposo", SS_CENTER, 7, 25, 68, 8 },
                          { 22, kStatic, "foco", SS_CENTER, 82, 25, 68, 8 },
                          { 23, kStatic, "pulsado", SS_CENTER, 157, 25, 50, 8 },
                          { 24, kStatic, "rat\xF3n encima", SS_CENTER, 214, 25, 68, 8 },
                          { 25, kStatic, "sin texto", SS_CENTER, 282, 25, 38, 8 } },
                        320,
                        40 };
    FramedButton buttons[5];
    const UINT images[5] = { IDB_OPEN, IDB_EXPORT, IDB_EXIT, IDB_OPEN, IDB_EXIT };
    for (int i = 0; i < 5; ++i) {
        dialog.Attach(buttons[i], 11 + i);
        buttons[i].SetBitmapResources(images[i], RGB(255, 0, 255));
    }
    ::SetFocus(buttons[1].m_hWnd);
    buttons[2].SendMessage(BM_SETSTATE, TRUE);
    const POINT hover = CentreOf(buttons[3].m_hWnd);
    std::printf("hover %ld %ld\n", hover.x, hover.y);
    std::fflush(stdout);
    Pump(seconds * 1000);
    return 0;
}
