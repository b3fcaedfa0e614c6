// Placeholder until the driver lands.
#include "engine/Driver.h"
int RunUninstall(HWND) { return 1; }
void PumpMessages() {}
