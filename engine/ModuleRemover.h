// Removal of one module of the manifest: files, trees, patterns, directory, registry entries.
#pragma once
#include "engine/FileListings.h"
#include "rules/Refusal.h"
#include <windows.h>
#include <cstdint>

// What the driver knows beside one module: which modules list which files, the module's own
// mask and the modules still installed. A file that another installed module lists stays.
struct ModuleListing {
    FileListings* listings = nullptr;
    uint32_t mask = 0;
    int32_t installedModules = 0;
};

// Returns 1 when the module is gone: every item it names is gone or proven another's. 0 when
// it stays installed: a file failed (in use, access denied; a retry is due), or an item stays
// that the program cannot tell about; *kept (when given) then names that rule, and kNone for
// a failure, which the retry run may overcome.
int RemoveModule(const char* section, const char* installDir, const char* manifestPath,
                 HWND window, const ModuleListing* listing = nullptr, RefusalRule* kept = nullptr);
