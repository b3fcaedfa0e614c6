// Removal of one module of the manifest: files, trees, patterns, directory, registry entries.
#include "engine/ModuleRemover.h"
#include "engine/FaultGuard.h"
#include "engine/FileTree.h"
#include "engine/Manifest.h"
#include "engine/ManifestRules.h"
#include "engine/InUse.h"
#include "engine/PlaceRules.h"
#include "engine/RegistryRemover.h"
#include "engine/SharedFiles.h"
#include "engine/Text.h"
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
    case SharedFileAction::kKeep: return;
    case SharedFileAction::kKeepAndRelease: RememberCount(run, count); return;
    default: break;
    }
    bool gone = DeleteFileA(path.c_str()) != 0;
    if (!gone) {
        DWORD error = GetLastError();
        if (IsRefusal(error)) run.result = 0;
        gone = error == ERROR_FILE_NOT_FOUND;  // a retry run finds it deleted already
    }
    if (gone && count.decision.action == SharedFileAction::kDeleteAndForget) RememberCount(run, count);
}

void RemoveFiles(ModuleRun& run)
{
    for (uint32_t i = 1;;) {
        std::string value = Read(run, NumberedKey("File", i), "", kManifestValueLimit);
        std::string path;
        if (ComposeFileEntryPath(run.installDir, run.relativePath, value, run.systemDir, &path))
            RemoveFile(run, path);
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
        if (!ComposeTreeEntryPath(run.installDir, run.relativePath, value, &tree)) continue;
        int emptied = DeleteDirectoryContents(tree.c_str());
        // -1: refused, or not there to list; a refused directory is not removed either, even
        // when it is empty.
        if (emptied == -1) continue;
        if (IsRefusal(static_cast<DWORD>(emptied))) run.result = 0;
        tree.erase(tree.size() - 1);
        RemoveDirectoryA(tree.c_str());
    }
}

void RemovePatterns(ModuleRun& run)
{
    std::string directory;
    bool usable = ComposePatternDirectory(run.installDir, run.relativePath, &directory);
    for (unsigned long i = 1;; ++i) {
        std::string value = Read(run, NumberedKey("DelExt", i), "", kManifestValueLimit);
        if (value.empty()) break;
        if (!usable || !IsUsablePattern(value)) continue;
        if (IsRefusal(static_cast<DWORD>(DeleteMatchingFiles(value.c_str(), directory.c_str()))))
            run.result = 0;
    }
}

// An empty directory is removed only where a tree could be emptied: an install directory in
// an odd place must not take an empty system folder with it.
void RemoveEmptyDirectory(const std::string& directory)
{
    if (CheckTreeDeletion(directory.c_str()) == RefusalRule::kNone) RemoveDirectoryA(directory.c_str());
}

// The module's own directory goes when it is empty; a shared module's is the install directory.
void RemoveModuleDirectory(const ModuleRun& run, bool shared)
{
    if (shared) {
        RemoveEmptyDirectory(run.installDir);
        return;
    }
    std::string directory;
    if (!run.relativePath.empty() &&
        ComposeModuleDirectory(run.installDir, run.relativePath, &directory))
        RemoveEmptyDirectory(directory);
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
        for (const SharedFileCount& count : run.counts) ApplySharedFileCount(count);
        RemoveRegistryEntries(section, manifestPath);
    }
    return run.result;
}

}  // namespace

int RemoveModule(const char* section, const char* installDir, const char* manifestPath,
                 HWND window)
{
    if (section == NULL || installDir == NULL || manifestPath == NULL) return 0;
    // A fault or exception, exhausted memory included, leaves 0: the module counts as not
    // removed and keeps its registry entries.
    int result = 0;
    Guarded([&] { result = Remove(section, installDir, manifestPath, window); });
    return result;
}
