// Undoing what the product changed in Windows.
#pragma once
#include <windows.h>

// Restores the start-up file, the Maintenance Wizard, the System Agent entry, the desktop
// channel, the Quick Launch shortcut and the scheduled jobs, as the removal selects them.
void RestoreConfiguration(HWND progressBar, const char* installDir);

// Writes a shell link at `shortcutPath` (with its ".lnk") that points at `targetPath`.
void CreateShortcut(const char* shortcutPath, const char* targetPath);

// Deletes the product's System Agent key with its sub-keys; 1 when deleted, else 0.
int DeleteSystemAgentJobsKey();
