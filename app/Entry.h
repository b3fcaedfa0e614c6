// The program's run: start-up, the interactive or silent road, and the final sequence.
#pragma once
#include <windows.h>

// Runs the uninstaller for the given command line; the exit code, which is always 0.
int RunProgram(HINSTANCE instance, const char* commandLine);
