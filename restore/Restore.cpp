// Undoing what the product changed in Windows, step by step, best effort.
#include "restore/Restore.h"
#include "app/RunContext.h"
#include "engine/Driver.h"
#include "engine/FaultGuard.h"
#include "engine/FileTree.h"
#include "engine/Handles.h"
#include "engine/PathRules.h"
#include "engine/RegistryRemover.h"
#include "restore/BatchEditor.h"
#include "restore/RestorePlan.h"
#include <commctrl.h>
#include <cstring>
#include <string>

namespace {

const char kStartupFile[] = "c:\\autoexec.bat";
const char kCompanionFile[] = "c:\\autoexec.qel";
const char kStartupMarker[] = "QELCL";
const char kSubscriptionLibrary[] = "qelsubs.dll";
const char kTaskLibrary[] = "qeltask.dll";
const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kChannelUrl[] = "http://www.morwa.example/qelsig/Morwa_News.cdf";
const char kDesktopItemUrl[] = "http://www.morwa.example/qelsig/Morwa_DskItem.cdf";
const char kDesktopItemPage[] = "http://canales.morwa.example/canales/a.htm";
const char kChannelTitle[] = "Morwa de la semana";
const UINT kSystemAgentKeyString = 2;

typedef int(WINAPI* IE4InstalledProc)();
typedef int(WINAPI* RemoveChannelProc)(const char* channelUrl, const char* title, int flags);
typedef int(WINAPI* DesktopItemProc)(int action, const char* itemUrl, const char* itemPage,
                                     const char* title, int flags);
typedef int(WINAPI* JobCursorProc)(int* cursor);
typedef int(WINAPI* JobNumberProc)(int number);

// Posts the position to the bar, if any, and lets the wizard repaint either way.
void ReportProgress(HWND progressBar, int position)
{
    if (progressBar) PostMessageA(progressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    PumpMessages();
}

bool RunningOnMaintenanceWizardPlatform()
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return false;
    return IsMaintenanceWizardPlatform(version.dwPlatformId, version.dwMinorVersion);
}

std::string WindowsDirectory()
{
    char directory[kPathSize] = "";
    UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    return length > 0 && length < sizeof directory ? std::string(directory) : std::string();
}

// `base` + `name`, or "" when either is missing or the result exceeds 259 characters.
std::string Beside(const std::string& base, const char* name)
{
    std::string path;
    if (base.empty() || !ComposeEntryPath(base, name, &path)) return std::string();
    return path;
}

void DeleteIfNamed(const std::string& path)
{
    if (!path.empty()) DeleteFileA(path.c_str());
}

// The start-up line that names the install directory by its short form. A directory that
// is gone has no short form, and then the step is skipped.
void RemoveInstallDirLine(const char* installDir)
{
    std::string probe;
    if (!InstallDirProbe(installDir, &probe)) return;
    // An install directory that is a protected place (C:\WINDOWS) would take the system's own
    // lines, the PATH line among them.
    if (CheckTreeDeletion(probe.c_str()) != RefusalRule::kNone) return;
    char shortPath[kPathSize] = "";
    DWORD length = GetShortPathNameA(probe.c_str(), shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath) return;
    std::string marker;
    if (!InstallDirMarker(shortPath, &marker)) return;
    RemoveBatchLines(kStartupFile, marker.c_str());
}

void RemoveStartupLine()
{
    DeleteFileA(kCompanionFile);
    RemoveBatchLines(kStartupFile, kStartupMarker);
}

// Writes the maintenance shortcut again, now pointing at the Windows 98 wizard.
void RestoreMaintenanceShortcut()
{
    const char* linkPath = runContext.maintenanceLinkPath.get();
    if (!linkPath || !std::memchr(linkPath, '\0', kPathSize)) return;
    std::string shortcut;
    if (!MaintenanceShortcutPath(linkPath, &shortcut)) return;
    DeleteFileA(shortcut.c_str());
    std::string target;
    if (MaintenanceShortcutTarget(WindowsDirectory(), &target))
        CreateShortcut(shortcut.c_str(), target.c_str());
}

// Puts the saved Windows wizard back in place of the product's copy. The saved copy goes
// only once it has been copied over, so that a failed copy loses nothing.
void RestoreTuneupFiles()
{
    const std::string found = WindowsDirectory();
    const std::string windowsDir = found.empty() ? found : DirectoryBase(found);
    const std::string saved = Beside(windowsDir, "tuneupMS.exe");
    const std::string wizard = Beside(windowsDir, "tuneup.exe");
    if (saved.empty() || wizard.empty()) return;
    {
        FileHandle file(CreateFileA(saved.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, NULL));
        if (!file.valid()) return;
    }
    if (CopyFileA(saved.c_str(), wizard.c_str(), FALSE)) DeleteFileA(saved.c_str());
    DeleteIfNamed(Beside(windowsDir, "tuneupQEL.exe"));
}

void RestoreMaintenanceWizard(HWND progressBar)
{
    DeleteSystemAgentJobsKey();
    ReportProgress(progressBar, 33);
    Guarded([] {
        RestoreMaintenanceShortcut();
        RestoreTuneupFiles();
    });
}

// The calls into the product's libraries run under guards of their own, so that a library
// that faults is still released before its file is deleted (Windows 95/98 refuse to delete the
// file of a loaded library).

// A fault in the library answers "not installed".
bool InternetExplorer4Installed()
{
    Library library;
    if (!library.Load(kSubscriptionLibrary)) return false;
    IE4InstalledProc installed = library.Find<IE4InstalledProc>("SM_IE4Instalado");
    int answer = 0;
    if (installed) Guarded([&answer, installed] { answer = installed(); });
    return answer != 0;
}

// The channel and the desktop item are undone apart: a fault in one leaves the other to try.
void RemoveDesktopChannel(const char* installDir)
{
    {
        Library library;
        if (library.Load(kSubscriptionLibrary)) {
            RemoveChannelProc removeChannel = library.Find<RemoveChannelProc>("SM_EliminaCanalA");
            DesktopItemProc desktopItem = library.Find<DesktopItemProc>("SM_ManageDesktopItem");
            if (removeChannel)
                Guarded([removeChannel] { removeChannel(kChannelUrl, kChannelTitle, 0); });
            if (desktopItem)
                Guarded([desktopItem] {
                    desktopItem(0, kDesktopItemUrl, kDesktopItemPage, kChannelTitle, 1);
                });
        }
    }
    DeleteIfNamed(Beside(installDir, kSubscriptionLibrary));
}

// Only a path read whole as text from "AppData" is deleted.
void RemoveQuickLaunchShortcut()
{
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, kShellFoldersKey) != ERROR_SUCCESS) return;
    char data[kAppDataBufferSize];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), "AppData", NULL, &type, reinterpret_cast<BYTE*>(data),
                         &size) != ERROR_SUCCESS)
        return;
    std::string appData;
    std::string shortcut;
    if (RegistryValueText(data, size, sizeof data, type == REG_SZ || type == REG_EXPAND_SZ,
                          &appData) &&
        QuickLaunchShortcutPath(appData, &shortcut))
        Guarded([&shortcut] { DeleteFileA(shortcut.c_str()); });
}

void DeleteScheduledJobs()
{
    Library library;
    if (!library.Load(kTaskLibrary)) return;
    int cursor = 1;
    JobCursorProc findFirst = library.Find<JobCursorProc>("JOB_FindFirstJob");
    JobNumberProc deleteJob = library.Find<JobNumberProc>("JOB_DeleteJob");
    JobCursorProc findNext = library.Find<JobCursorProc>("JOB_FindNextJob");
    JobNumberProc findEnd = library.Find<JobNumberProc>("JOB_FindJobEnd");
    if (!findFirst || !deleteJob || !findNext || !findEnd) return;
    // A fault ends the enumeration without its closing call: the library's state is unknown.
    Guarded([&cursor, findFirst, deleteJob, findNext, findEnd] {
        for (int job = findFirst(&cursor); job > 0; job = findNext(&cursor)) deleteJob(job);
        findEnd(0);
    });
}

}  // namespace

void RestoreConfiguration(HWND progressBar, const char* installDir)
{
    if (!installDir) installDir = "";
    const RestorePlan plan = PlanRestore(runContext.actionFlags, runContext.productBit,
                                         RunningOnMaintenanceWizardPlatform());
    ReportProgress(progressBar, 0);
    if (plan.installDirLine) Guarded([installDir] { RemoveInstallDirLine(installDir); });
    if (plan.startupLine) Guarded(RemoveStartupLine);
    if (plan.maintenance) RestoreMaintenanceWizard(progressBar);

    bool ie4 = false;
    Guarded([&ie4] { ie4 = InternetExplorer4Installed(); });
    if (ie4) {
        if (plan.channel) Guarded([installDir] { RemoveDesktopChannel(installDir); });
        ReportProgress(progressBar, 50);
        if (plan.quickLaunch) Guarded(RemoveQuickLaunchShortcut);
        ReportProgress(progressBar, 75);
        if (plan.jobs) Guarded(DeleteScheduledJobs);
    }
    DeleteIfNamed(Beside(installDir, kTaskLibrary));
    ReportProgress(progressBar, 100);
}

int DeleteSystemAgentJobsKey()
{
    int deleted = 0;  // what a fault leaves
    Guarded([&deleted] {
        char keyName[kPathSize] = "";
        if (LoadStringA(runContext.instance, kSystemAgentKeyString, keyName, sizeof keyName) <= 0)
            return;
        {
            RegKey key;
            if (key.Open(HKEY_LOCAL_MACHINE, keyName) != ERROR_SUCCESS) return;
        }
        deleted = DeleteKeyTree(HKEY_LOCAL_MACHINE, keyName) ? 1 : 0;
    });
    return deleted;
}
