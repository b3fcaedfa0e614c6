// Removal of the registry keys and values that the manifest lists for one module.
#include "engine/RegistryRemover.h"
#include "engine/FaultGuard.h"
#include "engine/Handles.h"
#include "engine/KeyRules.h"
#include "engine/Manifest.h"
#include <string>

namespace {

// Deeper trees, or more sub-keys than this under one key, are left as they are.
const int kMaxKeyDepth = 64;
const int kMaxSubKeys = 100000;

HKEY RootKey(RegistryRoot root)
{
    static const HKEY roots[kRootCount] = {HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT,
                                           HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
                                           HKEY_USERS,          HKEY_PERFORMANCE_DATA,
                                           HKEY_DYN_DATA};
    return roots[root];
}

// Sub-key 0 is re-read until none is left; a sub-key that stays ends the walk of its parent.
bool DeleteTreeAt(HKEY parent, const char* path, int depth)
{
    if (depth > kMaxKeyDepth) return false;
    {
        RegKey key;
        if (key.Open(parent, path) != ERROR_SUCCESS) return false;
        for (int n = 0; n < kMaxSubKeys; ++n) {
            char name[256];
            DWORD size = sizeof name;
            if (RegEnumKeyExA(key.get(), 0, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                break;
            if (!DeleteTreeAt(key.get(), name, depth + 1)) break;  // index 0 would not move on
        }
    }
    return RegDeleteKeyA(parent, path) == ERROR_SUCCESS;
}

}  // namespace

bool DeleteKeyTree(HKEY parent, const char* path)
{
    return DeleteTreeAt(parent, path, 0);
}

namespace {

void RemoveEntry(const std::string& text)
{
    RegistryEntry entry;
    if (!SplitRegistryEntry(text, &entry)) return;
    // A value goes alone, even from a protected key: that is how a Run entry is taken out.
    if (entry.namesKey && CheckKeyDeletion(entry.root, entry.keyPath) != RefusalRule::kNone) return;
    HKEY root = RootKey(entry.root);
    RegKey key;
    if (key.Open(root, entry.keyPath.c_str()) != ERROR_SUCCESS) return;
    if (entry.namesKey) {
        key.Close();
        DeleteKeyTree(root, entry.keyPath.c_str());
    } else {
        RegDeleteValueA(key.get(), entry.valueName.c_str());
    }
}

}  // namespace

void RemoveRegistryEntries(const char* section, const char* manifestPath)
{
    // A fault ends the list; the caller goes on as after a normal end.
    Guarded([section, manifestPath] {
        std::string list = ReadManifestValue(manifestPath, section, "RegKeyDelSection", "",
                                             kManifestSectionLimit);
        if (list.empty()) return;
        for (unsigned long i = 1;; ++i) {
            std::string text = ReadManifestValue(manifestPath, list, NumberedKey("Key", i), "",
                                                 kManifestValueLimit);
            if (text.empty()) break;
            RemoveEntry(text);
        }
    });
}
