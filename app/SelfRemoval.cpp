// Removal of the program's own files after a run, and the retry after a restart.
#include "app/SelfRemoval.h"
#include "app/Language.h"
#include "log/RemovalLog.h"
#include "app/RunContext.h"
#include "app/SelfRemovalText.h"
#include "base/Handles.h"
#include "base/SystemDirectories.h"
#include "engine/PathRules.h"
#include "base/Text.h"
#include "res/resource.h"
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

// The batch's loop only ends once the executable can be deleted, which a read-only file
// never can.
void ClearReadOnly(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
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

void DeleteAtRestartByWininit(const std::vector<std::string>& paths)
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
        return;
    std::string text;
    std::string updated;
    if (!ReadWholeFile(wininit, &text) || !AddWininitDeletions(text, shortPaths, &updated)) return;
    FileHandle file(CreateFileA(wininit.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    DWORD written = 0;
    if (file.valid())
        WriteFile(file.get(), updated.data(), static_cast<DWORD>(updated.size()), &written, NULL);
}

// The install directory, once WININIT.EXE has deleted its files, by a RunOnce command.
void RemoveDirectoryAtRestart(const std::string& directory)
{
    char interpreter[kPathSize] = "";
    DWORD length = GetEnvironmentVariableA("COMSPEC", interpreter, sizeof interpreter);
    if (length == 0 || length >= sizeof interpreter) return;
    std::string command = RemoveDirectoryCommand(interpreter, ShortPath(directory));
    RegKey key;
    if (command.empty() || key.Open(HKEY_LOCAL_MACHINE, kRunOnceKey) != ERROR_SUCCESS) return;
    if (RegSetValueExA(key.get(), kDirectoryValueName, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1)) == ERROR_SUCCESS)
        LOG_LINE("RESTART", "RunOnce value %s written: %s", kDirectoryValueName, command.c_str());
}

void DeleteAtRestartByMoveFileEx(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            if (MoveFileExA(path.c_str(), NULL, MOVEFILE_DELAY_UNTIL_REBOOT))
                LOG_LINE("RESTART", "%s is deleted at the next start (MoveFileEx)", path.c_str());
            else
                LOG_LINE("RESTART", "%s could not be handed to the next start: " LOG_ERROR_FORMAT,
                         path.c_str(), LOG_ERROR_ARGS(GetLastError()));
        }
}

// The deletion of one of the program's own files, noted in the removal log.
void DeleteOwnFile(const std::string& path)
{
    if (DeleteFileA(path.c_str())) {
        LOG_OUTCOME(kRemoved, "FILE", "deleted %s", path.c_str());
        return;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND)
        LOG_LINE("FILE", "not found: %s", path.c_str());
    else
        LOG_OUTCOME(kLeft, "FILE", "left %s " LOG_ERROR_FORMAT, path.c_str(), LOG_ERROR_ARGS(error));
}

}  // namespace

void RemoveSelf()
{
    // Every path below is the install directory and a name; without one they would name
    // files of the current directory.
    if (!EndsWithBackslash(runContext.installDir)) return;
    char manifestName[kPathSize] = "";
    LoadLocalizedString(runContext.instance, IDS_MANIFEST_NAME, manifestName, sizeof manifestName,
                        runContext.languageId);
    std::string path;
    // An empty name would make the "file" the install directory itself.
    if (manifestName[0] != '\0' && ComposeEntryPath(runContext.installDir, manifestName, &path))
        DeleteOwnFile(path);
    if (ComposeEntryPath(runContext.installDir, "kolbex.dll", &path)) DeleteOwnFile(path);
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
    if (!WriteRemovalBatch(batchPath.c_str(), exePath.c_str(), runContext.installDir)) {
        LOG_LINE("SELFREMOVAL", "the batch %s could not be written; the program and its directory stay",
                 batchPath.c_str());
        return;
    }
    ClearReadOnly(exePath);
    if (LaunchRemovalBatch(batchPath.c_str()))
        LOG_LINE("SELFREMOVAL",
                 "batch %s started: it deletes %s and removes the install directory once the program has ended",
                 batchPath.c_str(), exePath.c_str());
    else
        LOG_LINE("SELFREMOVAL", "the batch %s did not start: " LOG_ERROR_FORMAT
                 " - the program and its directory stay", batchPath.c_str(), LOG_ERROR_ARGS(GetLastError()));
}

bool WriteRemovalBatch(const char* batchPath, const char* exePath, const char* installDir)
{
    std::string text;
    if (!FormatRemovalBatch(exePath, installDir, batchPath, &text)) return false;
    std::vector<char> oem(text.size() + 1, '\0');
    CharToOemBuffA(text.c_str(), oem.data(), static_cast<DWORD>(text.size()));
    FileHandle file(CreateFileA(batchPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    if (!file.valid()) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file.get(), oem.data(), static_cast<DWORD>(text.size()), &written, NULL);
    return ok && written == text.size();
}

bool LaunchRemovalBatch(const char* batchPath)
{
    std::string quoted = QuoteIfBlank(batchPath);
    std::vector<char> commandLine(quoted.begin(), quoted.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    if (!CreateProcessA(NULL, commandLine.data(), NULL, NULL, FALSE,
                        CREATE_SUSPENDED | IDLE_PRIORITY_CLASS, NULL, "\\", &startup, &process))
        return false;
    FileHandle processHandle(process.hProcess);
    FileHandle threadHandle(process.hThread);
    // The batch gets the processor only once this program waits or has ended.
    SetThreadPriority(threadHandle.get(), THREAD_PRIORITY_IDLE);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    processHandle.Close();
    ResumeThread(threadHandle.get());
    return true;
}

void ScheduleRetry()
{
    RegKey key;
    LONG opened = key.Open(HKEY_LOCAL_MACHINE, kRunOnceKey);
    if (opened != ERROR_SUCCESS) {
        LOG_LINE("RETRY", "not scheduled: the RunOnce key does not open, " LOG_ERROR_FORMAT,
                 LOG_ERROR_ARGS(opened));
        return;
    }
    char text[kRetryTextSize];
    // The retry run of a logged run appends to the same log.
    bool withLog = false;
    if (!ComposeRetryTextWithLog(runContext.installDir, runContext.retryCommandLine,
                                 removal_log::Path(), text, sizeof text, &withLog)) {
        LOG_LINE("RETRY", "not scheduled: the retry command line does not fit a RunOnce value");
        return;
    }
    LONG written = RegSetValueExA(key.get(), kRetryValueName, 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(text),
                                  static_cast<DWORD>(kRetryValueSize));
    if (written == ERROR_SUCCESS) {
        LOG_LINE("RETRY", "RunOnce value %s written: %s", kRetryValueName, text);
        if (removal_log::on && !withLog)
            LOG_LINE("RETRY", "the log switch did not fit the value and was left out");
    } else {
        LOG_LINE("RETRY", "RunOnce value %s not written, " LOG_ERROR_FORMAT, kRetryValueName,
                 LOG_ERROR_ARGS(written));
    }
}

void ScheduleRemovalAtRestart()
{
    std::string exePath;
    if (!ExecutablePath(&exePath)) exePath.clear();
    const std::vector<std::string> paths =
        RestartDeletions(exePath, RemovalBatchPath(TemporaryDirectory()), runContext.installDir);
    if (!RunningOnWindows9x()) {
        DeleteAtRestartByMoveFileEx(paths);
        return;
    }
    DeleteAtRestartByWininit(paths);
    if (removal_log::on)
        for (const std::string& path : paths)
            LOG_LINE("RESTART", "%s is listed in WININIT.INI for deletion at the next start", path.c_str());
    const std::string installDir = runContext.installDir;
    if (!paths.empty() && paths.back() == installDir.substr(0, installDir.size() - 1))
        RemoveDirectoryAtRestart(paths.back());
}
