// Removal of the program's own files after a run, and the retry after a restart.
#pragma once
#include <windows.h>

// Deletes the manifest and kolbex.dll from the install directory, then starts the hidden
// batch that deletes the executable and the install directory once the program has ended.
void RemoveSelf();

// Whether a run was cut short in RemoveSelf after it had deleted the manifest and the version
// manager, before the batch started: both are gone from the private install directory (the
// manifest as the command line names it). The batch (StartRemovalBatch) is then all that is
// left to do.
bool SelfRemovalCutShort();

// Writes and starts autodel.bat in the temporary directory.
void StartRemovalBatch();

// Registers the retry run under the machine's RunOnce key, value "QELUninstTry".
void ScheduleRetry();

// For a restart right after RemoveSelf: a restart may end the batch before it is done, so what
// the batch deletes (the executable, autodel.bat, then the install directory) is also handed to
// the system's deletion at its next start: NUL= lines in WININIT.INI's [rename] section, by
// short path and in the OEM code page (the real-mode WININIT.EXE reads them), on Windows 95/98,
// where WININIT.EXE deletes no directory, so that the RunOnce value "QELUninstDir" removes the
// directory, then empty, once Windows has started; MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT on
// the NT family. What is already gone is left out; what the batch deletes before the restart is
// simply gone by then.
void ScheduleRemovalAtRestart();

// The parts of StartRemovalBatch, apart so that they can be used on other paths.

// Forms the batch text for these paths, converts it to the OEM code page (the command
// interpreter reads batch files in it) and writes it to `batchPath`, replacing any file of
// that name. False, with no file created, when the text cannot be formed whole; false also
// when the file cannot be created or not all of it is written.
bool WriteRemovalBatch(const char* batchPath, const char* exePath, const char* installDir);

// Starts the batch hidden, suspended and at idle priority, with the root of the current
// drive as its current directory; raises the caller's own priorities; then lets the batch
// run. The command line is the batch path, quoted when it holds a blank. False when the
// batch could not be started (nothing else is then changed).
bool LaunchRemovalBatch(const char* batchPath);
