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
    ModuleEntries* entries = nullptr;  // read once, with the listings of the run when it has them
    const ModuleListing* listing = nullptr;
    HWND progressBar = NULL;  // only for a shared module given a window
    uint32_t totalFiles = 10;
    WalkTally met;  // the first failure and the first "cannot tell" of every file, tree and pattern
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
void RemoveFile(ModuleRun& run, ManifestEntry& entry)
{
    SharedFileCount count;
    door::Outcome deleted = door::DeleteProductFile(entry.path, entry.spellings, door::FileOwner::kProduct, &count);
    run.met.Note(deleted);
    // A retry run finds a file deleted already; its count goes all the same.
    bool gone = deleted.done() || deleted.result == door::Result::kMissing;
    if (count.decision.action == SharedFileAction::kKeepAndRelease ||
        (gone && count.decision.action == SharedFileAction::kDeleteAndForget))
        RememberCount(run, count);
}

// An entry that names nothing the program may delete: outside the install directory, a
// wildcard, or too long.
void LogUnusedEntry(const char* kind, size_t index, const ManifestEntry& entry)
{
    LOG_LINE("ENTRY", "%s%lu=%s not used: it names no single place below the install directory", kind,
             static_cast<unsigned long>(index + 1), entry.value.c_str());
}

// One reference per product: a file that a module still installed lists too stays, and its
// count with it, until the last module that lists it goes.
bool StillListed(const ModuleRun& run, const ManifestEntry& entry)
{
    if (!run.listing || !run.listing->listings) return false;
    std::string holder = run.listing->listings->OtherHolder(run.section, run.listing->mask,
                                                            entry.spellings.identity,
                                                            run.listing->installedModules);
    if (holder.empty()) return false;
    LOG_OUTCOME(kRefused, "FILE", "kept by rule %s: %s (the module %s, still installed, lists it too)",
                RefusalRuleName(RefusalRule::kStillListed), entry.path.c_str(), holder.c_str());
    return true;
}

void RemoveFiles(ModuleRun& run)
{
    std::vector<ManifestEntry>& files = run.entries->files;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!files[i].path.empty()) {
            if (!StillListed(run, files[i])) RemoveFile(run, files[i]);
        }
        else if (removal_log::on)
            LogUnusedEntry("File", i, files[i]);
        PostProgress(run, FileProgressPosition(static_cast<uint32_t>(i + 2), run.totalFiles));
    }
    PostProgress(run, FileProgressPosition(static_cast<uint32_t>(files.size() + 2), run.totalFiles));
}

void RemoveTrees(ModuleRun& run)
{
    const std::vector<ManifestEntry>& trees = run.entries->trees;
    for (size_t i = 0; i < trees.size(); ++i) {
        const ManifestEntry& entry = trees[i];
        if (entry.path.empty()) {
            if (removal_log::on) LogUnusedEntry("DelDir", i, entry);
            continue;
        }
        door::Tree accepted;
        // -1: refused, or not there to list; a refused directory is not removed either, even
        // when it is empty. A failure at any depth is in the tally, whatever came after it.
        if (EmptyTree(entry.path.c_str(), door::Origin::kInstallation, &accepted, &run.met) == -1) continue;
        door::RemoveEmptyDirectory(accepted, entry.path.substr(0, entry.path.size() - 1));
    }
}

void RemovePatterns(ModuleRun& run)
{
    const std::vector<ManifestEntry>& patterns = run.entries->patterns;
    for (size_t i = 0; i < patterns.size(); ++i) {
        const ManifestEntry& entry = patterns[i];
        if (entry.path.empty()) {
            if (removal_log::on) LogUnusedEntry("DelExt", i, entry);
            continue;
        }
        DeleteMatchingFiles(entry.path.c_str(), run.entries->patternDirectory.c_str(), door::Origin::kInstallation,
                            &run.met);
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
    if (!run.entries->relativePath.empty() &&
        ComposeModuleDirectory(run.installDir, run.entries->relativePath, &directory))
        door::RemoveEmptyDirectory(door::Origin::kInstallation, directory);
}

int Remove(const char* section, const char* installDir, const char* manifestPath, HWND window,
           const ModuleListing* listing, RefusalRule* kept)
{
    ModuleRun run;
    run.listing = listing;
    run.section = section;
    run.installDir = installDir;
    run.manifestPath = manifestPath;
    ModuleEntries own;
    run.entries = listing && listing->listings ? listing->listings->Find(section) : nullptr;
    if (!run.entries) {
        ReadModuleEntries(manifestPath, section, installDir, SystemDirectory(), own);
        run.entries = &own;
    }
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
    if (run.met.inUse != 0) {
        LOG_LINE("MODULE", "%s has a file in use: its registry entries and shared counts stay for the retry run",
                 section);
        return 0;
    }
    if (run.met.cannotTell != RefusalRule::kNone) {
        // The item stays, and so does the module: nothing would tell the product it is gone.
        LOG_LINE("MODULE", "%s kept, cannot tell (rule %s): its registry entries and shared counts stay",
                 section, RefusalRuleName(run.met.cannotTell));
        if (kept) *kept = run.met.cannotTell;
        return 0;
    }
    for (const SharedFileCount& count : run.counts) door::ReleaseSharedCount(count);
    RemoveRegistryEntries(section, manifestPath);
    return 1;
}

}  // namespace

int RemoveModule(const char* section, const char* installDir, const char* manifestPath,
                 HWND window, const ModuleListing* listing, RefusalRule* kept)
{
    if (kept) *kept = RefusalRule::kNone;
    if (section == NULL || installDir == NULL || manifestPath == NULL) return 0;
    // A fault, exhausted memory included, leaves 0: the module counts as not removed and keeps
    // its registry entries.
    int result = 0;
    DWORD fault = GuardedFault([&] {
        test_hooks::ModuleRemovalBegins(section);
        result = Remove(section, installDir, manifestPath, window, listing, kept);
    });
    if (fault != 0 && kept) *kept = RefusalRule::kNone;  // a fault waits for the retry run
    if (fault != 0)
        LOG_LINE("MODULE", "%s ended by fault 0x%lx: it counts as not removed", section,
                 static_cast<unsigned long>(fault));
    return result;
}
