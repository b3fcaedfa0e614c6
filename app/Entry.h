// The program's run: start-up, the interactive or silent road, and the final sequence.
#pragma once
#include <windows.h>
#include "base/Handles.h"

// Runs the uninstaller for the given command line; the exit code, which is always 0.
int RunProgram(HINSTANCE instance, const char* commandLine);

// The start-up of every run: fills runContext from the command line, binds kolbex.dll into
// `versionManager`, chooses the language and reads the install directory. False when the run
// ends here: an empty line, the library or one of its exports missing, a manifest name too
// long for the retry command line or for a path below the install directory, or no usable
// "Path" value.
bool StartUp(HINSTANCE instance, const char* commandLine, Library* versionManager);

// Reads the edition's own directory ("QEL60", "QEL60Exchange" or "QEL60Vantorix" as
// `productBit` says) into the run's record of the installation; StartUp does it once, after
// door::Begin.
void ReadEditionDirectory(DWORD productBit);

// Enables the shutdown privilege of the process's token; false when that cannot be done
// (always so on Windows 95/98, which have no tokens).
bool EnableShutdownPrivilege();

// Restarts Windows, first enabling the shutdown privilege that the NT family requires (on
// Windows 95/98 those calls fail and change nothing).
void RestartWindows();

const size_t kConfirmCaptionSize = 100;
const size_t kConfirmTextSize = 252;

// The caption and the text of the confirmation box: strings 9 and 10 in the run's language,
// filled with the name of runContext.productBit's edition, cut to their buffers.
void FormatConfirmation(char (&caption)[kConfirmCaptionSize], char (&text)[kConfirmTextSize]);
