// Placeholder until the configuration restore lands.
#include "restore/Restore.h"
void RestoreConfiguration(HWND, const char*) {}
void CreateShortcut(const char*, const char*) {}
int DeleteSystemAgentJobsKey() { return 0; }
