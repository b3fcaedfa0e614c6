// Removal of one module of the manifest: files, trees, patterns, directory, registry entries.
#include "engine/ModuleRemover.h"
#include "engine/FaultGuard.h"
#include "engine/FileTree.h"
#include "engine/Manifest.h"
#include "engine/ManifestRules.h"
#include "engine/RegistryRemover.h"
#include <commctrl.h>
#include <cstring>
#include <string>

namespace {

const int kProgressBarId = 1000;

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

// Access denied is how Windows 95/98 refuse a file in use; the NT family says sharing
// violation. Either leaves the module for the retry run.
bool IsRefusal(DWORD code)
{
    return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
}

void PostProgress(const ModuleRun& run, uint32_t position)
{
    if (run.progressBar) PostMessageA(run.progressBar, PBM_SETPOS, position, 0);
}

void RemoveFiles(ModuleRun& run)
{
    for (uint32_t i = 1;;) {
        std::string value = Read(run, NumberedKey("File", i), "", kManifestValueLimit);
        std::string path;
        if (ComposeFileEntryPath(run.installDir, run.relativePath, value, run.systemDir, &path) &&
            !DeleteFileA(path.c_str()) && IsRefusal(GetLastError()))
            run.result = 0;
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
        if (IsRefusal(static_cast<DWORD>(DeleteDirectoryContents(tree.c_str())))) run.result = 0;
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

// The module's own directory goes when it is empty; a shared module's is the install directory.
void RemoveModuleDirectory(const ModuleRun& run, bool shared)
{
    if (shared) {
        RemoveDirectoryA(run.installDir.c_str());
        return;
    }
    std::string directory;
    if (!run.relativePath.empty() &&
        ComposeModuleDirectory(run.installDir, run.relativePath, &directory))
        RemoveDirectoryA(directory.c_str());
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
        run.progressBar = GetDlgItem(window, kProgressBarId);
        run.totalFiles = ProgressDivisor(Read(run, "TotalFiles", "10", kManifestTotalFilesLimit));
        PostProgress(run, 0);
    }
    RemoveFiles(run);
    RemoveTrees(run);
    RemovePatterns(run);
    RemoveModuleDirectory(run, shared);
    if (run.result) RemoveRegistryEntries(section, manifestPath);
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
