// The uninstall driver; the message pump that keeps the wizard alive meanwhile is in
// engine/MessagePump.h.
#pragma once
#include "engine/MessagePump.h"
#include <windows.h>

// What RunUninstall reports.
enum UninstallResult {
    kUninstallIncomplete = 0,      // no application or module list, or a fault ended the walk
    kUninstallWalked = 1,          // the walk ran to its end
    kUninstallMailClientBusy = 2,  // the e-mail client holds its library: nothing was removed
};

// Runs one uninstall, with the progress page's window or none; returns an UninstallResult.
int RunUninstall(HWND window);

