// The names of the registry roots.
#include "rules/RegistryRoot.h"

const char* const kRegistryRootNames[kRootCount] = {
    "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG", "HKEY_CURRENT_USER",
    "HKEY_USERS",         "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA"};
