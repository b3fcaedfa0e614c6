// Removal of the program's own files after a run, and the retry after a restart.
#include "app/SelfRemoval.h"
#include "app/Language.h"
#include "log/RemovalLog.h"
#include "app/RunContext.h"
#include "app/SelfRemovalText.h"
#include "base/Handles.h"
#include "base/SystemDirectories.h"
#include "engine/EntryPaths.h"
#include "base/Text.h"
#include "res/resource.h"
#include "door/Door.h"
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kRetryValueName[] = "QELUninstTry";
const char kDirectoryValueName[] = "QELUninstDir";

// The running executable's full path; false when the system cut it to the buffer.
bool ExecutablePath(std::string* path)
{
    char module[kPathSize] = "";
    DWORD length = GetModuleFileNameA(NULL, module, sizeof module);
    if (length == 0 || length >= sizeof module) return false;
    *path = module;
    return true;
}

bool RunningOnWindows9x()
{
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// The short form of an existing path; empty when the path is gone.
std::string ShortPath(const std::string& path)
{
    char shortPath[kPathSize] = "";
    DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath) return std::string();
    return std::string(shortPath, length);
}

// The same in the OEM code page, for the real-mode WININIT.EXE.
std::string ShortOemPath(const std::string& path)
{
    std::string shortPath = ShortPath(path);
    if (!shortPath.empty())
        CharToOemBuffA(shortPath.c_str(), &shortPath[0], static_cast<DWORD>(shortPath.size()));
    return shortPath;
}

// The whole file into `content`, empty when there is none; false when it exists but cannot
// be read whole.
bool ReadWholeFile(const std::string& path, std::string* content)
{
    content->clear();
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.valid()) return GetLastError() == ERROR_FILE_NOT_FOUND;
    DWORD size = GetFileSize(file.get(), NULL);
    if (size == INVALID_FILE_SIZE) return false;
    content->resize(size);
    DWORD read = 0;
    return size == 0 || (ReadFile(file.get(), &(*content)[0], size, &read, NULL) && read == size);
}

// True when WININIT.INI now lists the paths.
bool DeleteAtRestartByWininit(const std::vector<std::string>& paths)
{
    std::vector<std::string> shortPaths;
    for (const std::string& path : paths) {
        std::string shortPath = ShortOemPath(path);
        if (!shortPath.empty()) shortPaths.push_back(shortPath);
    }
    const std::string windowsDir = WindowsDirectory();
    std::string wininit;
    if (shortPaths.empty() || windowsDir.empty() ||
        !ComposeEntryPath(DirectoryBase(windowsDir), "WININIT.INI", &wininit))
        return false;
    std::string text;
    std::string updated;
    if (!ReadWholeFile(wininit, &text) || !AddWininitDeletions(text, shortPaths, &updated)) return false;
    const std::string what = std::to_string(shortPaths.size()) + " file(s) listed for deletion at the next start";
    return door::WriteTextFile("RESTART", door::Reach::kInstallDirectory, wininit, updated, true, what.c_str()).done();
}

// The install directory, once WININIT.EXE has deleted its files, by a RunOnce command.
void RemoveDirectoryAtRestart(const std::string& directory)
{
    char interpreter[kPathSize] = "";
    DWORD length = GetEnvironmentVariableA("COMSPEC", interpreter, sizeof interpreter);
    if (length == 0 || length >= sizeof interpreter) return;
    std::string command = RemoveDirectoryCommand(interpreter, ShortPath(directory));
    if (command.empty()) return;
    door::WriteTextValue("RESTART", door::Reach::kInstallDirectory, kRootLocalMachine, kRunOnceKey, kDirectoryValueName, command.c_str(),
                         static_cast<unsigned long>(command.size() + 1));
}

void DeleteAtRestartByMoveFileEx(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) door::DeleteAtRestart(path);
}

// The install directory from the run's record, with its trailing backslash.
const char* InstallDir()
{
    return door::TheInstallation().directory.c_str();
}

}  // namespace

void RemoveSelf()
{
    // Every path below is the install directory and a name; without one they would name
    // files of the current directory.
    if (!EndsWithBackslash(InstallDir())) return;
    char manifestName[kPathSize] = "";
    LoadLocalizedString(runContext.instance, IDS_MANIFEST_NAME, manifestName, sizeof manifestName,
                        runContext.languageId);
    std::string path;
    // An empty name would make the "file" the install directory itself.
    if (manifestName[0] != '\0' && ComposeEntryPath(InstallDir(), manifestName, &path))
        door::DeleteProductFile(path, door::FileOwner::kProduct);
    if (ComposeEntryPath(InstallDir(), "kolbex.dll", &path))
        door::DeleteProductFile(path, door::FileOwner::kProduct);
    StartRemovalBatch();
}

void StartRemovalBatch()
{
    std::string batchPath = RemovalBatchPath(TemporaryDirectory());
    std::string exePath;
    if (batchPath.empty() || !ExecutablePath(&exePath)) {
        LOG_LINE("SELFREMOVAL", "no batch: the paths do not fit; the program and its directory stay");
        return;
    }
    if (!WriteRemovalBatch(batchPath.c_str(), exePath.c_str(), InstallDir())) {
        LOG_LINE("SELFREMOVAL", "the batch %s could not be written; the program and its directory stay",
                 batchPath.c_str());
        return;
    }
    // The batch's loop only ends once the executable can be deleted, which a read-only file
    // never can.
    door::ClearReadOnly(exePath);
    if (LaunchRemovalBatch(batchPath.c_str()))
        LOG_LINE("SELFREMOVAL", "it deletes %s and removes the install directory once the program has ended",
                 exePath.c_str());
    else
        LOG_LINE("SELFREMOVAL", "the program and its directory stay");
}

bool WriteRemovalBatch(const char* batchPath, const char* exePath, const char* installDir)
{
    std::string text;
    if (!FormatRemovalBatch(exePath, installDir, batchPath, &text)) return false;
    std::string oem(text.size(), '\0');
    CharToOemBuffA(text.c_str(), &oem[0], static_cast<DWORD>(text.size()));
    return door::WriteTextFile("SELFREMOVAL", door::Reach::kInstallDirectory, batchPath, oem, true,
                               "the self-removal batch").done();
}

bool LaunchRemovalBatch(const char* batchPath)
{
    return door::StartRemovalBatch(batchPath).done();
}

void ScheduleRetry()
{
    char text[kRetryTextSize];
    // The retry run of a logged run appends to the same log.
    bool withLog = false;
    if (!ComposeRetryTextWithLog(InstallDir(), runContext.retryCommandLine,
                                 removal_log::RetryPath(), text, sizeof text, &withLog)) {
        LOG_LINE("RETRY", "not scheduled: the retry command line does not fit a RunOnce value");
        return;
    }
    if (door::WriteTextValue("RETRY", door::Reach::kInstallDirectory, kRootLocalMachine, kRunOnceKey, kRetryValueName, text,
                             static_cast<unsigned long>(kRetryValueSize)).done() &&
        removal_log::RetryPath()[0] != '\0' && !withLog)
        LOG_LINE("RETRY", "the log switch did not fit the value and was left out");
}

void ScheduleRemovalAtRestart()
{
    std::string exePath;
    if (!ExecutablePath(&exePath)) exePath.clear();
    const std::vector<std::string> paths =
        RestartDeletions(exePath, RemovalBatchPath(TemporaryDirectory()), InstallDir());
    if (!RunningOnWindows9x()) {
        DeleteAtRestartByMoveFileEx(paths);
        return;
    }
    if (DeleteAtRestartByWininit(paths) && removal_log::on)
        for (const std::string& path : paths)
            LOG_LINE("RESTART", "%s is listed in WININIT.INI for deletion at the next start", path.c_str());
    const std::string installDir = InstallDir();
    if (!paths.empty() && paths.back() == installDir.substr(0, installDir.size() - 1))
        RemoveDirectoryAtRestart(paths.back());
}
