// Removal of the registry keys and values that the manifest lists for one module.
#pragma once

// Deletes the entries of the section named by the module's "RegKeyDelSection".
void RemoveRegistryEntries(const char* section, const char* manifestPath);

// The position just after the text's last backslash, or NULL when it has none.
const char* LastPathComponent(const char* text);
