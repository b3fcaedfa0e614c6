// Removal of the registry keys and values that the manifest lists for one module.
#pragma once
#include <windows.h>

// Deletes the entries of the section named by the module's "RegKeyDelSection". A key entry
// goes with its whole sub-tree unless CheckKeyDeletion refuses it (a root's child, one of
// the system's keys or an ancestor of one, a vendor's key); entries that name no key below a
// root are skipped. A value entry deletes its value whatever key holds it.
void RemoveRegistryEntries(const char* section, const char* manifestPath);

// Deletes the key `path` below `parent` with its whole sub-tree, depth first; true when the key
// itself went. The NT family refuses a key that still has sub-keys, and Wine's win95/98
// RegDeleteKeyA deletes such a tree only partly, so every key is emptied before it goes.
bool DeleteKeyTree(HKEY parent, const char* path);
