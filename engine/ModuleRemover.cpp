// Placeholder until the module remover lands.
#include "engine/ModuleRemover.h"
int RemoveModule(const char*, const char*, const char*, HWND) { return 1; }
