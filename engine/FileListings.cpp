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
    if (section.empty()) return;
    for (const Module& module : modules_)
        if (SameSection(module.section, section)) return;
    Module module;
    module.section = section;
    module.shared = section == kSharedSection;
    module.mask = ParseMask(ReadManifestValue(manifestPath, section, "Mask", "0", kManifestMaskLimit));
    const std::string relative = ReadManifestValue(manifestPath, section, "RelativePath", "", kManifestValueLimit);
    for (unsigned long i = 1;; ++i) {
        std::string value = ReadManifestValue(manifestPath, section, NumberedKey("File", i), "", kManifestValueLimit);
        if (value.empty()) break;
        std::string path;
        if (ComposeFileEntryPath(installDir, relative, value, systemDir, &path))
            module.files.push_back(UpperAscii(path));
    }
    modules_.push_back(module);
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

void FileListings::MarkRemoved(const std::string& section)
{
    for (Module& module : modules_)
        if (SameSection(module.section, section)) module.removed = true;
}

std::string FileListings::OtherHolder(const std::string& section, uint32_t mask, const std::string& path,
                                      int32_t installedModules) const
{
    const std::string file = UpperAscii(path);
    const uint32_t remaining = static_cast<uint32_t>(installedModules) & ~mask;
    for (const Module& module : modules_) {
        if (module.removed || SameSection(module.section, section)) continue;
        if (!module.shared && (module.mask & remaining) == 0) continue;
        for (const std::string& listed : module.files)
            if (listed == file) return module.section;
    }
    return std::string();
}
