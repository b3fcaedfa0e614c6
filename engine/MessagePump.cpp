// The message pump that keeps the wizard alive while the removal runs on its thread.
#include "engine/MessagePump.h"
#include <windows.h>

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE)) {
        if (GetMessageA(&message, NULL, 0, 0) <= 0) return;  // the quit message, now taken
        DispatchMessageA(&message);  // untranslated: key presses make no characters here
    }
}
