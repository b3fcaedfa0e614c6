// Removal of one module of the manifest: files, trees, patterns, directory, registry entries.
#include "engine/ModuleRemover.h"
#include "base/SystemDirectories.h"
#include "log/RemovalLog.h"
#include "base/FaultGuard.h"
#include "base/TestHooks.h"
#include "engine/FileTree.h"
#include "engine/Manifest.h"
#include "engine/ManifestRules.h"
#include "engine/InUse.h"
#include "engine/RegistryRemover.h"
#include "door/Door.h"
#include "base/Text.h"
#include "res/resource.h"
#include <commctrl.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The working values of one call.
struct ModuleRun {
    const char* section;
    std::string installDir;
    const char* manifestPath;
    std::string relativePath;
    std::string systemDir;
    const ModuleListing* listing = nullptr;
    HWND progressBar = NULL;  // only for a shared module given a window
    uint32_t totalFiles = 10;
    int result = 1;
    // Shared-file counts to lower or remove with the registry entries, once nothing was
    // refused: a retry run must find them as they were, or it would lower them twice.
    std::vector<SharedFileCount> counts;
};

std::string Read(const ModuleRun& run, const std::string& key, const char* defaultText,
                 unsigned limit)
{
    return ReadManifestValue(run.manifestPath, run.section, key, defaultText, limit);
}

void PostProgress(const ModuleRun& run, uint32_t position)
{
    if (run.progressBar) PostMessageA(run.progressBar, PBM_SETPOS, position, 0);
}

void RememberCount(ModuleRun& run, const SharedFileCount& count)
{
    for (const SharedFileCount& earlier : run.counts)
        if (UpperAscii(earlier.valueName) == UpperAscii(count.valueName)) return;
    run.counts.push_back(count);
}

// A file of the system directory that other programs still count on stays; its count is
// lowered instead, with the module's registry entries. Elsewhere, or without a count, the file
// is simply deleted.
void RemoveFile(ModuleRun& run, const std::string& path)
{
    SharedFileCount count;
    door::Outcome deleted = door::DeleteProductFile(path, door::FileOwner::kProduct, &count);
    if (deleted.result == door::Result::kFailed && IsInUse(deleted.error)) run.result = 0;
    // A retry run finds a file deleted already; its count goes all the same.
    bool gone = deleted.done() || deleted.result == door::Result::kMissing;
    if (count.decision.action == SharedFileAction::kKeepAndRelease ||
        (gone && count.decision.action == SharedFileAction::kDeleteAndForget))
        RememberCount(run, count);
}

// An entry that names nothing the program may delete: outside the install directory, a
// wildcard, or too long.
void LogUnusedEntry(const std::string& key, const std::string& value)
{
    LOG_LINE("ENTRY", "%s=%s not used: it names no single place below the install directory",
             key.c_str(), value.c_str());
}

// One reference per product: a file that a module still installed lists too stays, and its
// count with it, until the last module that lists it goes.
bool StillListed(const ModuleRun& run, const std::string& path)
{
    if (!run.listing || !run.listing->listings) return false;
    std::string holder = run.listing->listings->OtherHolder(run.section, run.listing->mask, path,
                                                            run.listing->installedModules);
    if (holder.empty()) return false;
    LOG_OUTCOME(kRefused, "FILE", "kept by rule %s: %s (the module %s, still installed, lists it too)",
                RefusalRuleName(RefusalRule::kStillListed), path.c_str(), holder.c_str());
    return true;
}

void RemoveFiles(ModuleRun& run)
{
    for (uint32_t i = 1;;) {
        std::string value = Read(run, NumberedKey("File", i), "", kManifestValueLimit);
        std::string path;
        if (ComposeFileEntryPath(run.installDir, run.relativePath, value, run.systemDir, &path)) {
            if (!StillListed(run, path)) RemoveFile(run, path);
        }
        else if (removal_log::on && !value.empty())
            LogUnusedEntry(NumberedKey("File", i), value);
        ++i;
        PostProgress(run, FileProgressPosition(i, run.totalFiles));
        if (value.empty()) break;
    }
}

void RemoveTrees(ModuleRun& run)
{
    for (unsigned long i = 1;; ++i) {
        std::string value = Read(run, NumberedKey("DelDir", i), "", kManifestValueLimit);
        if (value.empty()) break;
        std::string tree;
        if (!ComposeTreeEntryPath(run.installDir, run.relativePath, value, &tree)) {
            if (removal_log::on) LogUnusedEntry(NumberedKey("DelDir", i), value);
            continue;
        }
        door::Tree accepted;
        int emptied = EmptyTree(tree.c_str(), door::Origin::kInstallation, &accepted);
        // -1: refused, or not there to list; a refused directory is not removed either, even
        // when it is empty.
        if (emptied == -1) continue;
        if (IsInUse(static_cast<DWORD>(emptied))) run.result = 0;
        tree.erase(tree.size() - 1);
        door::RemoveEmptyDirectory(accepted, tree);
    }
}

void RemovePatterns(ModuleRun& run)
{
    std::string directory;
    bool usable = ComposePatternDirectory(run.installDir, run.relativePath, &directory);
    for (unsigned long i = 1;; ++i) {
        std::string value = Read(run, NumberedKey("DelExt", i), "", kManifestValueLimit);
        if (value.empty()) break;
        if (!usable || !IsUsablePattern(value)) {
            if (removal_log::on) LogUnusedEntry(NumberedKey("DelExt", i), value);
            continue;
        }
        if (IsInUse(static_cast<DWORD>(DeleteMatchingFiles(value.c_str(), directory.c_str(), door::Origin::kInstallation))))
            run.result = 0;
    }
}

// The module's own directory goes when it is empty; a shared module's is the install directory.
// Either only where a tree could be emptied: an install directory in an odd place must not take
// an empty system folder with it.
void RemoveModuleDirectory(const ModuleRun& run, bool shared)
{
    if (shared) {
        door::RemoveEmptyDirectory(door::Origin::kInstallation, run.installDir);
        return;
    }
    std::string directory;
    if (!run.relativePath.empty() &&
        ComposeModuleDirectory(run.installDir, run.relativePath, &directory))
        door::RemoveEmptyDirectory(door::Origin::kInstallation, directory);
}

int Remove(const char* section, const char* installDir, const char* manifestPath, HWND window,
           const ModuleListing* listing)
{
    ModuleRun run;
    run.listing = listing;
    run.section = section;
    run.installDir = installDir;
    run.manifestPath = manifestPath;
    run.relativePath = Read(run, "RelativePath", "", kManifestValueLimit);
    run.systemDir = SystemDirectory();
    bool shared = std::strstr(section, "Shared") != NULL;
    if (window && shared) {
        run.progressBar = GetDlgItem(window, IDC_PROGRESS_BAR);
        run.totalFiles = ProgressDivisor(Read(run, "TotalFiles", "10", kManifestTotalFilesLimit));
        PostProgress(run, 0);
    }
    RemoveFiles(run);
    RemoveTrees(run);
    RemovePatterns(run);
    RemoveModuleDirectory(run, shared);
    if (run.result) {
        for (const SharedFileCount& count : run.counts) door::ReleaseSharedCount(count);
        RemoveRegistryEntries(section, manifestPath);
    } else {
        LOG_LINE("MODULE", "%s has a file in use: its registry entries and shared counts stay for the retry run",
                 section);
    }
    return run.result;
}

}  // namespace

int RemoveModule(const char* section, const char* installDir, const char* manifestPath,
                 HWND window, const ModuleListing* listing)
{
    if (section == NULL || installDir == NULL || manifestPath == NULL) return 0;
    // A fault, exhausted memory included, leaves 0: the module counts as not removed and keeps
    // its registry entries.
    int result = 0;
    DWORD fault = GuardedFault([&] {
        test_hooks::ModuleRemovalBegins(section);
        result = Remove(section, installDir, manifestPath, window, listing);
    });
    if (fault != 0)
        LOG_LINE("MODULE", "%s ended by fault 0x%lx: it counts as not removed", section,
                 static_cast<unsigned long>(fault));
    return result;
}
