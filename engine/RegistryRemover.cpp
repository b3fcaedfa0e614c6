// Removal of the registry keys and values that the manifest lists for one module.
#include "engine/RegistryRemover.h"
#include "base/FaultGuard.h"
#include "engine/Manifest.h"
#include "engine/ManifestRules.h"
#include "log/RemovalLog.h"
#include "door/Door.h"
#include <string>

namespace {

void RemoveEntry(const std::string& text)
{
    RegistryEntry entry;
    if (!SplitRegistryEntry(text, &entry)) {
        LOG_LINE("KEY", "entry not used: %s (it names no key below a root)", text.c_str());
        return;
    }
    if (entry.namesKey) door::DeleteKey(entry.root, entry.keyPath, text);
    else door::DeleteValue(entry.root, entry.keyPath, entry.valueName, text);
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
