// Removal of the program's own files after a run, and the retry after a restart.
#pragma once

// Deletes the manifest and kolbex.dll from the install directory, then starts the hidden
// batch that deletes the executable and the install directory once the program has ended.
void RemoveSelf();

// Writes and starts autodel.bat in the temporary directory.
void StartRemovalBatch();

// Registers the retry run under the machine's RunOnce key, value "QELUninstTry".
void ScheduleRetry();
