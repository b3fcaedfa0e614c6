// Undoing what the product changed in Windows, step by step, best effort.
#include "restore/Restore.h"
#include "log/RemovalLog.h"
#include "app/RunContext.h"
#include "engine/MessagePump.h"
#include "base/FaultGuard.h"
#include "base/Handles.h"
#include "engine/EntryPaths.h"
#include "door/Door.h"
#include "restore/BatchEditor.h"
#include "restore/RestorePlan.h"
#include "base/RegistryText.h"
#include "base/SystemDirectories.h"
#include "base/Text.h"
#include "res/resource.h"
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

typedef int(WINAPI* IE4InstalledProc)();

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

// `base` + `name`, or "" when either is missing or the result exceeds 259 characters.
std::string Beside(const std::string& base, const char* name)
{
    std::string path;
    if (base.empty() || !ComposeEntryPath(base, name, &path)) return std::string();
    return path;
}

// The Windows directory with its trailing backslash, or "" when the system does not give it:
// names composed on it are then none, never names in the root of the current drive.
std::string WindowsBase()
{
    const std::string found = WindowsDirectory();
    return found.empty() ? found : DirectoryBase(found);
}

// Deletes the file when there is a path.
void DeleteIfNamed(const std::string& path, door::FileOwner owner)
{
    if (!path.empty()) door::DeleteProductFile(path, owner);
}

// A restore step under its guard; a fault ends the step and is noted.
template <typename Step> void GuardedStep(const char* name, Step step)
{
    if (!Guarded(step)) LOG_LINE("RESTORE", "%s: ended by a fault", name);
}

// The start-up line that names the install directory by its short form. A directory that
// is gone has no short form, and then the step is skipped.
void RemoveInstallDirLine(const char* installDir)
{
    std::string probe;
    if (!InstallDirProbe(installDir, &probe)) return;
    char shortPath[kPathSize] = "";
    DWORD length = GetShortPathNameA(probe.c_str(), shortPath, sizeof shortPath);
    std::string marker;
    if (length == 0 || length >= sizeof shortPath || !InstallDirMarker(shortPath, &marker)) {
        LOG_LINE("RESTORE", "the start-up line of %s is not looked for: it has no short form now", probe.c_str());
        return;
    }
    RemoveBatchLinesNaming(kStartupFile, marker.c_str());
}

void RemoveStartupLine()
{
    DeleteIfNamed(kCompanionFile, door::FileOwner::kProgram);
    RemoveBatchLines(kStartupFile, kStartupMarker);
}

// Writes the maintenance shortcut again, now pointing at the Windows 98 wizard.
void RestoreMaintenanceShortcut()
{
    const char* linkPath = runContext.maintenanceLinkPath.get();
    if (!linkPath || !std::memchr(linkPath, '\0', kPathSize)) return;
    std::string shortcut;
    if (!MaintenanceShortcutPath(linkPath, &shortcut)) {
        LOG_LINE("RESTORE", "maintenance shortcut: no usable path in QEL60Win98AM");
        return;
    }
    // Only the product's shortcut, one that points at its wizard, is written again: another
    // vendor's shortcut of that name stays as it is.
    const std::string windowsDir = WindowsBase();
    const std::vector<std::string> own = {Beside(windowsDir, "tuneupQEL.exe"), Beside(windowsDir, "tuneup.exe"),
                                          door::TheInstallation().PrivateDirectory()};
    if (!door::DeleteShortcut(shortcut, own).done()) return;
    std::string target;
    if (MaintenanceShortcutTarget(WindowsDirectory(), &target)) CreateShortcut(shortcut.c_str(), target.c_str());
}

// Puts the saved Windows wizard back in place of the product's copy. The saved copy goes
// only once it has been copied over, so that a failed copy loses nothing.
void RestoreTuneupFiles()
{
    const std::string windowsDir = WindowsBase();
    const std::string saved = Beside(windowsDir, "tuneupMS.exe");
    const std::string wizard = Beside(windowsDir, "tuneup.exe");
    if (saved.empty() || wizard.empty()) return;
    {
        FileHandle file(CreateFileA(saved.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, NULL));
        if (!file.valid()) {
            LOG_LINE("RESTORE", "%s does not open: the Maintenance Wizard's files stay as they are", saved.c_str());
            return;
        }
    }
    if (door::CopyOver(saved, wizard).done()) DeleteIfNamed(saved, door::FileOwner::kProgram);
    DeleteIfNamed(Beside(windowsDir, "tuneupQEL.exe"), door::FileOwner::kProgram);
}

void RestoreMaintenanceWizard(HWND progressBar)
{
    DeleteSystemAgentJobsKey();
    ReportProgress(progressBar, 33);
    GuardedStep("Maintenance Wizard", [] {
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
    if (!library.Load(kSubscriptionLibrary)) {
        LOG_LINE("RESTORE", "Internet Explorer 4: qelsubs.dll does not load, taken as absent");
        return false;
    }
    IE4InstalledProc installed = library.Find<IE4InstalledProc>("SM_IE4Instalado");
    int answer = 0;
    if (!installed)
        LOG_LINE("RESTORE", "Internet Explorer 4: qelsubs.dll has no SM_IE4Instalado, taken as absent");
    else if (!Guarded([&answer, installed] { answer = installed(); }))
        LOG_LINE("RESTORE", "Internet Explorer 4: SM_IE4Instalado faulted, taken as absent");
    else
        LOG_LINE("RESTORE", "Internet Explorer 4: %s", answer != 0 ? "installed" : "not installed");
    return answer != 0;
}

// The channel and the desktop item are undone apart: a fault in one leaves the other to try.
void RemoveDesktopChannel(const char* installDir)
{
    {
        Library library;
        if (library.Load(kSubscriptionLibrary)) {
            door::RemoveChannel(library.Find<door::RemoveChannelProc>("SM_EliminaCanalA"), kChannelUrl, kChannelTitle);
            door::RemoveDesktopItem(library.Find<door::DesktopItemProc>("SM_ManageDesktopItem"), kDesktopItemUrl,
                                    kDesktopItemPage, kChannelTitle);
        } else {
            LOG_LINE("RESTORE", "desktop channel: qelsubs.dll does not load");
        }
    }
    DeleteIfNamed(Beside(installDir, kSubscriptionLibrary), door::FileOwner::kProduct);
}

// Only a path read whole as text from "AppData" is deleted.
void RemoveQuickLaunchShortcut()
{
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, kShellFoldersKey) != ERROR_SUCCESS) {
        LOG_LINE("RESTORE", "Quick Launch shortcut: the shell folders key does not open");
        return;
    }
    std::string appData;
    std::string shortcut;
    if (ReadRegistryText(key.get(), "AppData", kAppDataBufferSize, &appData) &&
        QuickLaunchShortcutPath(appData, &shortcut))
        // Only a shortcut into the install directory is the product's.
        Guarded([&shortcut] { door::DeleteShortcut(shortcut, {door::TheInstallation().PrivateDirectory()}); });
    else
        LOG_LINE("RESTORE", "Quick Launch shortcut: no usable AppData folder");
}

void DeleteScheduledJobs()
{
    Library library;
    if (!library.Load(kTaskLibrary)) {
        LOG_LINE("RESTORE", "scheduled jobs: qeltask.dll does not load");
        return;
    }
    door::DeleteJobs(library.Find<door::JobCursorProc>("JOB_FindFirstJob"),
                     library.Find<door::JobNumberProc>("JOB_DeleteJob"),
                     library.Find<door::JobCursorProc>("JOB_FindNextJob"),
                     library.Find<door::JobNumberProc>("JOB_FindJobEnd"));
}

}  // namespace

void RestoreConfiguration(HWND progressBar, const char* installDir)
{
    if (!installDir) installDir = "";
    const RestorePlan plan = PlanRestore(runContext.actionFlags, runContext.productBit,
                                         RunningOnMaintenanceWizardPlatform());
    LOG_LINE("RESTORE", "steps: %s%s%s%s%s%sqeltask.dll", plan.installDirLine ? "install-directory line, " : "",
             plan.startupLine ? "QELCL line, " : "", plan.maintenance ? "Maintenance Wizard, " : "",
             plan.channel ? "channel, " : "", plan.quickLaunch ? "Quick Launch, " : "",
             plan.jobs ? "scheduled jobs, " : "");
    ReportProgress(progressBar, 0);
    if (plan.installDirLine) GuardedStep("install-directory line", [installDir] { RemoveInstallDirLine(installDir); });
    if (plan.startupLine) GuardedStep("QELCL line", RemoveStartupLine);
    if (plan.maintenance) RestoreMaintenanceWizard(progressBar);

    bool ie4 = false;
    GuardedStep("Internet Explorer 4 test", [&ie4] { ie4 = InternetExplorer4Installed(); });
    if (ie4) {
        if (plan.channel) GuardedStep("desktop channel", [installDir] { RemoveDesktopChannel(installDir); });
        ReportProgress(progressBar, 50);
        if (plan.quickLaunch) GuardedStep("Quick Launch shortcut", RemoveQuickLaunchShortcut);
        ReportProgress(progressBar, 75);
        if (plan.jobs) GuardedStep("scheduled jobs", DeleteScheduledJobs);
    }
    DeleteIfNamed(Beside(installDir, kTaskLibrary), door::FileOwner::kProduct);
    ReportProgress(progressBar, 100);
}

int DeleteSystemAgentJobsKey()
{
    int deleted = 0;  // what a fault leaves
    bool completed = Guarded([&deleted] {
        char keyName[kPathSize] = "";
        if (LoadStringA(runContext.instance, IDS_SYSTEM_AGENT_KEY, keyName, sizeof keyName) <= 0)
            return;
        const std::string shown = std::string("HKEY_LOCAL_MACHINE\\") + keyName + " (System Agent)";
        deleted = door::DeleteKey(kRootLocalMachine, keyName, shown).done() ? 1 : 0;
    });
    if (!completed) LOG_LINE("RESTORE", "System Agent key: ended by a fault");
    return deleted;
}
