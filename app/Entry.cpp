// Placeholder until the entry lands.
#include "app/Entry.h"
int RunProgram(HINSTANCE, const char*) { return 0; }
