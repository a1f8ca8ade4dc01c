// The program's entry point: the framework's, given the command line.

#include "framework/CWinApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return AfxWinMain(instance, commandLine);
}
