// The two-page wizard of an interactive run.
#pragma once
#include "engine/Driver.h"
#include <windows.h>

// Private message with which the progress page starts the uninstall.
const UINT WM_STARTUNINSTALL = WM_USER + 1000;

// The driver that the progress page runs, with the page's window.
typedef int (*UninstallProc)(HWND window);

// Shows the wizard modally and returns when it has closed. The progress page runs `uninstall`,
// which is RunUninstall but in the wizard's own tests, which choose the result the page gets.
void RunWizard(HWND parent, UninstallProc uninstall = RunUninstall);

// Moves the window to the middle of the desktop work area, without resizing or activating it.
void CenterWindow(HWND window);
