// The program's entry point. It takes nothing from the command line.

#include "framework/CWinApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return AfxWinMain(instance);
}
