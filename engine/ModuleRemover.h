// Removal of one module of the manifest: files, trees, patterns, directory, registry entries.
#pragma once
#include "engine/FileListings.h"
#include <windows.h>
#include <cstdint>

// What the driver knows beside one module: which modules list which files, the module's own
// mask and the modules still installed. A file that another installed module lists stays.
struct ModuleListing {
    FileListings* listings = nullptr;
    uint32_t mask = 0;
    int32_t installedModules = 0;
};

// Returns 1 when every entry was processed and nothing was refused as in use, else 0.
int RemoveModule(const char* section, const char* installDir, const char* manifestPath,
                 HWND window, const ModuleListing* listing = nullptr);
