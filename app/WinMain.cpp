// The entry of uninstall.exe.
#include "app/Entry.h"
#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return RunProgram(instance, commandLine);
}

