// Removal of one module of the manifest: files, trees, patterns, directory, registry entries.
#include "engine/ModuleRemover.h"
#include "log/RemovalLog.h"
#include "base/FaultGuard.h"
#include "base/TestHooks.h"
#include "engine/FileTree.h"
#include "engine/Manifest.h"
#include "engine/ManifestRules.h"
#include "engine/InUse.h"
#include "safety/PlaceRules.h"
#include "engine/RegistryRemover.h"
#include "safety/SharedFiles.h"
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

std::string SystemDirectory()
{
    char buffer[MAX_PATH] = "";
    UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
    return (length > 0 && length < sizeof buffer) ? std::string(buffer) : std::string();
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
// lowered instead. Elsewhere, or without a count, the file is simply deleted.
void RemoveFile(ModuleRun& run, const std::string& path)
{
    SharedFileCount count;
    if (IsAtOrBelow(path, run.systemDir)) count = LookUpSharedFile(path);
    switch (count.decision.action) {
    case SharedFileAction::kKeep:
        LOG_OUTCOME(kRefused, "FILE", "kept by rule %s: %s (its SharedDLLs count %s is not a number)",
                    RefusalRuleName(count.decision.rule), path.c_str(), count.valueName.c_str());
        return;
    case SharedFileAction::kKeepAndRelease:
        LOG_OUTCOME(kRefused, "FILE",
                    "kept by rule %s: %s (other programs count on it; its count is lowered to %lu "
                    "once the module is removed)",
                    RefusalRuleName(count.decision.rule), path.c_str(),
                    static_cast<unsigned long>(count.decision.newCount));
        RememberCount(run, count);
        return;
    default: break;
    }
    bool gone = DeleteFileA(path.c_str()) != 0;
    if (gone) {
        LOG_OUTCOME(kRemoved, "FILE", "deleted %s", path.c_str());
    } else {
        DWORD error = GetLastError();
        if (IsRefusal(error)) run.result = 0;
        gone = error == ERROR_FILE_NOT_FOUND;  // a retry run finds it deleted already
        if (gone || error == ERROR_PATH_NOT_FOUND)
            LOG_LINE("FILE", "not found: %s", path.c_str());
        else
            LOG_OUTCOME(kLeft, "FILE", "left %s " LOG_ERROR_FORMAT, path.c_str(), LOG_ERROR_ARGS(error));
    }
    if (gone && count.decision.action == SharedFileAction::kDeleteAndForget) RememberCount(run, count);
}

// An entry that names nothing the program may delete: outside the install directory, a
// wildcard, or too long.
void LogUnusedEntry(const std::string& key, const std::string& value)
{
    LOG_LINE("ENTRY", "%s=%s not used: it names no single place below the install directory",
             key.c_str(), value.c_str());
}

void RemoveFiles(ModuleRun& run)
{
    for (uint32_t i = 1;;) {
        std::string value = Read(run, NumberedKey("File", i), "", kManifestValueLimit);
        std::string path;
        if (ComposeFileEntryPath(run.installDir, run.relativePath, value, run.systemDir, &path))
            RemoveFile(run, path);
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
        int emptied = DeleteDirectoryContents(tree.c_str());
        // -1: refused, or not there to list; a refused directory is not removed either, even
        // when it is empty.
        if (emptied == -1) continue;
        if (IsRefusal(static_cast<DWORD>(emptied))) run.result = 0;
        tree.erase(tree.size() - 1);
        RemoveEmptiedDirectory(tree.c_str());
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
        if (IsRefusal(static_cast<DWORD>(DeleteMatchingFiles(value.c_str(), directory.c_str()))))
            run.result = 0;
    }
}

// The module's own directory goes when it is empty; a shared module's is the install directory.
// Either only where a tree could be emptied: an install directory in an odd place must not take
// an empty system folder with it.
void RemoveModuleDirectory(const ModuleRun& run, bool shared)
{
    if (shared) {
        RemoveEmptyDirectory(run.installDir.c_str());
        return;
    }
    std::string directory;
    if (!run.relativePath.empty() &&
        ComposeModuleDirectory(run.installDir, run.relativePath, &directory))
        RemoveEmptyDirectory(directory.c_str());
}

int Remove(const char* section, const char* installDir, const char* manifestPath, HWND window)
{
    ModuleRun run;
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
        for (const SharedFileCount& count : run.counts) {
            ApplySharedFileCount(count);
            if (count.decision.action == SharedFileAction::kKeepAndRelease)
                LOG_LINE("SHARED", "count %s lowered to %lu", count.valueName.c_str(),
                         static_cast<unsigned long>(count.decision.newCount));
            else
                LOG_LINE("SHARED", "count %s removed with its file", count.valueName.c_str());
        }
        RemoveRegistryEntries(section, manifestPath);
    } else {
        LOG_LINE("MODULE", "%s has a file in use: its registry entries and shared counts stay for the retry run",
                 section);
    }
    return run.result;
}

}  // namespace

int RemoveModule(const char* section, const char* installDir, const char* manifestPath,
                 HWND window)
{
    if (section == NULL || installDir == NULL || manifestPath == NULL) return 0;
    // A fault, exhausted memory included, leaves 0: the module counts as not removed and keeps
    // its registry entries.
    int result = 0;
    DWORD fault = GuardedFault([&] {
        test_hooks::ModuleRemovalBegins(section);
        result = Remove(section, installDir, manifestPath, window);
    });
    if (fault != 0)
        LOG_LINE("MODULE", "%s ended by fault 0x%lx: it counts as not removed", section,
                 static_cast<unsigned long>(fault));
    return result;
}
