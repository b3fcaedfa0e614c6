// Removal of the registry keys and values that the manifest lists for one module.
#pragma once
#include "engine/ManifestRules.h"  // LastPathComponent, SplitRegistryEntry

// Deletes the entries of the section named by the module's "RegKeyDelSection". A key entry
// goes with its whole sub-tree; entries that name no key below a root are skipped.
void RemoveRegistryEntries(const char* section, const char* manifestPath);
