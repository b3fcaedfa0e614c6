// The entry of uninstall.exe.
#include "app/Entry.h"
#include "base/TestHooks.h"
#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    // 0 in uninstall.exe; the test variant may report the changes it made.
    return test_hooks::ExitCode(RunProgram(instance, commandLine));
}

