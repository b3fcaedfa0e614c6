// The registry roots a key entry may name (no Win32 here).
#pragma once

// In the order of their names' table, which is the order they are tested in.
enum RegistryRoot {
    kRootLocalMachine,
    kRootClassesRoot,
    kRootCurrentConfig,
    kRootCurrentUser,
    kRootUsers,
    kRootPerformanceData,
    kRootDynData,
    kRootCount
};

// The root names as they must stand at the start of an entry, by RegistryRoot.
extern const char* const kRegistryRootNames[kRootCount];
