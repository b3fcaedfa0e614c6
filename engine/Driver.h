// The uninstall driver and the message pump that keeps the wizard alive meanwhile.
#pragma once
#include <windows.h>

// What RunUninstall reports.
enum UninstallResult {
    kUninstallIncomplete = 0,      // no application or module list, or a fault ended the walk
    kUninstallWalked = 1,          // the walk ran to its end
    kUninstallMailClientBusy = 2,  // the e-mail client holds its library: nothing was removed
};

// Runs one uninstall, with the progress page's window or none; returns an UninstallResult.
int RunUninstall(HWND window);

// Dispatches every message waiting in the thread's queue, without translation; returns
// when the queue is empty or a quit message has been taken.
void PumpMessages();
