// Which modules of the manifest list which files.
#include "engine/FileListings.h"
#include "base/Text.h"
#include "engine/Manifest.h"
#include "engine/ManifestRules.h"

namespace {

const char kSharedSection[] = "Shared";

// Section names are compared as the profile reader compares them, without regard to case.
bool SameSection(const std::string& a, const std::string& b)
{
    return UpperAscii(a) == UpperAscii(b);
}

}  // namespace

void FileListings::Add(const char* manifestPath, const std::string& section,
                       const std::string& installDir, const std::string& systemDir)
{
    if (section.empty() || Find(section)) return;
    modules_.emplace_back();
    Module& module = modules_.back();
    ReadModuleEntries(manifestPath, section, installDir, systemDir, module.entries);
    module.shared = section == kSharedSection;
}

void FileListings::Read(const char* manifestPath, const std::string& apps, const std::string& installDir,
                        const std::string& systemDir)
{
    modules_.clear();
    for (const std::string& app : SplitList(apps)) {
        if (app.empty()) continue;
        std::string list = ReadManifestValue(manifestPath, app, "Modules", "", kManifestListLimit);
        for (const std::string& section : SplitList(list)) Add(manifestPath, section, installDir, systemDir);
    }
    Add(manifestPath, kSharedSection, installDir, systemDir);
}

ModuleEntries* FileListings::Find(const std::string& section)
{
    for (Module& module : modules_)
        if (SameSection(module.entries.section, section)) return &module.entries;
    return nullptr;
}

void FileListings::MarkRemoved(const std::string& section)
{
    for (Module& module : modules_)
        if (SameSection(module.entries.section, section)) module.removed = true;
}

std::string FileListings::OtherHolder(const std::string& section, uint32_t mask, const std::string& identity,
                                      int32_t installedModules) const
{
    if (identity.empty()) return std::string();
    const uint32_t remaining = static_cast<uint32_t>(installedModules) & ~mask;
    for (const Module& module : modules_) {
        if (module.removed || SameSection(module.entries.section, section)) continue;
        if (!module.shared && (module.entries.mask & remaining) == 0) continue;
        for (const ManifestEntry& listed : module.entries.files)
            if (listed.spellings.identity == identity) return module.entries.section;
    }
    return std::string();
}
