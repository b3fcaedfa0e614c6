// The uninstall driver and the message pump that keeps the wizard alive meanwhile.
#pragma once
#include <windows.h>

// Runs one uninstall, with the progress page's window or none. Returns 2 when the e-mail
// client holds its library (nothing removed), 1 when the walk ran to its end, 0 when the
// manifest gave no application or module list or a fault ended the walk.
int RunUninstall(HWND window);

// Dispatches every message waiting in the thread's queue, without translation; returns
// when the queue is empty or a quit message has been taken.
void PumpMessages();
