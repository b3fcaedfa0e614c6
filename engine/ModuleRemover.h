// Removal of one module of the manifest: files, trees, patterns, directory, registry entries.
#pragma once
#include <windows.h>

// Returns 1 when every entry was processed and nothing was refused as in use, else 0.
int RemoveModule(const char* section, const char* installDir, const char* manifestPath,
                 HWND window);
