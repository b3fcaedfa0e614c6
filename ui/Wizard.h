// The two-page wizard of an interactive run.
#pragma once
#include <windows.h>

// Private message with which the progress page starts the uninstall.
const UINT WM_STARTUNINSTALL = WM_USER + 1000;

// Shows the wizard modally and returns when it has closed.
void RunWizard(HWND parent);

// Moves the window to the middle of the desktop work area, without resizing or activating it.
void CenterWindow(HWND window);

// The driver that the progress page runs: RunUninstall. Tests put a stand-in here to choose
// the result the page gets; nothing else assigns it.
typedef int (*UninstallProc)(HWND window);
extern UninstallProc wizardUninstall;
