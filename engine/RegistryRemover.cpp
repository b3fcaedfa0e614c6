// Removal of the registry keys and values that the manifest lists for one module.
#include "engine/RegistryRemover.h"
#include "log/RemovalLog.h"
#include "base/FaultGuard.h"
#include "base/Handles.h"
#include "safety/KeyRules.h"
#include "engine/Manifest.h"
#include "engine/ManifestRules.h"
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
    if (!SplitRegistryEntry(text, &entry)) {
        LOG_LINE("KEY", "entry not used: %s (it names no key below a root)", text.c_str());
        return;
    }
    const char* keyword = entry.namesKey ? "KEY" : "VALUE";
    // A value goes alone, even from a protected key: that is how a Run entry is taken out.
    if (entry.namesKey) {
        RefusalRule rule = CheckKeyDeletion(entry.root, entry.keyPath);
        if (rule != RefusalRule::kNone) {
            LOG_OUTCOME(kRefused, keyword, "refused by rule %s: %s", RefusalRuleName(rule), text.c_str());
            return;
        }
    }
    HKEY root = RootKey(entry.root);
    RegKey key;
    LONG opened = key.Open(root, entry.keyPath.c_str());
    if (opened != ERROR_SUCCESS) {
        if (opened == ERROR_FILE_NOT_FOUND)
            LOG_LINE(keyword, "missing: %s", text.c_str());
        else
            LOG_OUTCOME(kLeft, keyword, "left %s - its key does not open: " LOG_ERROR_FORMAT, text.c_str(),
                        LOG_ERROR_ARGS(opened));
        return;
    }
    if (entry.namesKey) {
        key.Close();
        if (DeleteKeyTree(root, entry.keyPath.c_str()))
            LOG_OUTCOME(kRemoved, keyword, "deleted %s", text.c_str());
        else
            LOG_OUTCOME(kLeft, keyword, "left %s (not every sub-key could be deleted)", text.c_str());
    } else {
        LONG deleted = RegDeleteValueA(key.get(), entry.valueName.c_str());
        if (deleted == ERROR_SUCCESS)
            LOG_OUTCOME(kRemoved, keyword, "deleted %s", text.c_str());
        else if (deleted == ERROR_FILE_NOT_FOUND)
            LOG_LINE(keyword, "missing: %s", text.c_str());
        else
            LOG_OUTCOME(kLeft, keyword, "left %s " LOG_ERROR_FORMAT, text.c_str(), LOG_ERROR_ARGS(deleted));
    }
}

}  // namespace

void RemoveRegistryEntries(const char* section, const char* manifestPath)
{
    // A fault ends the list; the caller goes on as after a normal end.
    bool completed = Guarded([section, manifestPath] {
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
    if (!completed) LOG_LINE("KEY", "the list of %s ended by a fault", section);
}
