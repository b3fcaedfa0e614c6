// Removal of the registry keys and values that the manifest lists for one module.
#pragma once

// Deletes the entries of the section named by the module's "RegKeyDelSection": a key entry with
// its whole sub-tree, a value entry its value, each through the door (which refuses the
// system's own keys); entries that name no key below a root are skipped.
void RemoveRegistryEntries(const char* section, const char* manifestPath);
