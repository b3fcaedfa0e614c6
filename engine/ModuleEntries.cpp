// A module's entries, read and composed once.
#include "engine/ModuleEntries.h"
#include "engine/Manifest.h"
#include "engine/ManifestRules.h"

namespace {

enum class Kind { kFile, kTree, kPattern };

std::string Read(const std::string& manifestPath, const std::string& section, const std::string& key,
                 const char* defaultText, unsigned limit)
{
    return ReadManifestValue(manifestPath.c_str(), section, key, defaultText, limit);
}

bool Compose(Kind kind, const ModuleEntries& module, const std::string& installDir, const std::string& systemDir,
             ManifestEntry& entry)
{
    switch (kind) {
    case Kind::kFile:
        if (!ComposeFileEntryPath(installDir, module.relativePath, entry.value, systemDir, &entry.path)) return false;
        IdentityOf(entry.path, &entry.spellings);
        return true;
    case Kind::kTree:
        return ComposeTreeEntryPath(installDir, module.relativePath, entry.value, &entry.path);
    default:
        if (module.patternDirectory.empty() || !IsUsablePattern(entry.value)) return false;
        entry.path = entry.value;
        return true;
    }
}

void ReadEntries(const std::string& manifestPath, Kind kind, const std::string& installDir,
                 const std::string& systemDir, ModuleEntries& module, std::vector<ManifestEntry>& list)
{
    static const char* const kKeys[] = {"File", "DelDir", "DelExt"};
    for (unsigned long i = 1;; ++i) {
        std::string value = Read(manifestPath, module.section, NumberedKey(kKeys[static_cast<int>(kind)], i), "",
                                 kManifestValueLimit);
        if (value.empty()) return;
        list.emplace_back();
        ManifestEntry& entry = list.back();
        entry.value.swap(value);
        if (!Compose(kind, module, installDir, systemDir, entry)) entry.path.clear();
    }
}

}  // namespace

void ReadModuleEntries(const std::string& manifestPath, const std::string& section,
                       const std::string& installDir, const std::string& systemDir, ModuleEntries& module)
{
    module.section = section;
    module.mask = ParseMask(Read(manifestPath, section, "Mask", "0", kManifestMaskLimit));
    module.relativePath = Read(manifestPath, section, "RelativePath", "", kManifestValueLimit);
    if (!ComposePatternDirectory(installDir, module.relativePath, &module.patternDirectory))
        module.patternDirectory.clear();
    ReadEntries(manifestPath, Kind::kFile, installDir, systemDir, module, module.files);
    ReadEntries(manifestPath, Kind::kTree, installDir, systemDir, module, module.trees);
    ReadEntries(manifestPath, Kind::kPattern, installDir, systemDir, module, module.patterns);
}
