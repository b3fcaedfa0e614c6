// The uninstall driver: masks, e-mail client check, the walk of the manifest, restore, retry.
#include "engine/Driver.h"
#include "app/Language.h"
#include "app/Selection.h"
#include "log/RemovalLog.h"
#include "app/RunContext.h"
#include "app/SelfRemoval.h"
#include "base/FaultGuard.h"
#include "engine/FileTree.h"
#include "base/Handles.h"
#include "base/RegistryText.h"
#include "base/SystemDirectories.h"
#include "app/ProductKeys.h"
#include "engine/Manifest.h"
#include "engine/ManifestRules.h"
#include "engine/ModuleRemover.h"
#include "engine/InUse.h"
#include "rules/PlaceRules.h"
#include "door/Door.h"
#include "base/Text.h"
#include "base/TestHooks.h"
#include "res/resource.h"
#include "restore/Restore.h"
#include <commctrl.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const DWORD kModulePauseMs = 200;  // lets the bar advance visibly, one pause per module name
const int kMaskTextSize = 80;
const int kWarningTextSize = 260;
const int kWarningCaptionSize = 25;

// The working values of one run.
struct DriverRun {
    HWND window = NULL;
    const char* installDir = "";  // the run's record's, with its trailing backslash
    bool controls = false;  // a window was given and the run is not silent mode 0
    int32_t installedProducts = 0;
    int32_t installedModules = 0;
    char productsText[kMaskTextSize] = "";
    char modulesText[kMaskTextSize] = "";
    bool failed = false;  // a module was refused: retry after a restart
    bool kept = false;    // an item stays that the program cannot tell about: its module and
                          // edition stay installed, with no retry for it alone
    FileListings listings;  // which modules list which files
};

// What the module remover is told of the run beside the module of `mask`.
ModuleListing ListingFor(DriverRun& run, uint32_t mask)
{
    ModuleListing listing;
    listing.listings = &run.listings;
    listing.mask = mask;
    listing.installedModules = run.installedModules;
    return listing;
}

void PostPosition(const DriverRun& run, int position)
{
    if (!run.controls) return;
    HWND bar = GetDlgItem(run.window, IDC_PROGRESS_BAR);
    if (bar) PostMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void ShowStepMark(const DriverRun& run, int id)
{
    if (!run.controls) return;
    HWND mark = GetDlgItem(run.window, id);
    if (mark) ShowWindow(mark, SW_SHOWNORMAL);
}

// A text value of at most size - 1 characters; empty when missing, of another type or too long.
void ReadTextInto(HKEY key, const char* name, char* buffer, DWORD size)
{
    std::string text;
    if (!ReadRegistryText(key, name, size, &text)) text.clear();  // never a cut path
    CopyText(buffer, size, text.c_str());
}

// False when the version manager faulted while it wrote the texts: the masks are unknown.
bool ReadMasks(DriverRun& run)
{
    bool read = true;
    if (InstalledMasksProc readMasks = runContext.readInstalledMasks)
        read = Guarded([&run, readMasks] { readMasks(run.productsText, run.modulesText); });
    run.productsText[kMaskTextSize - 1] = '\0';
    run.modulesText[kMaskTextSize - 1] = '\0';
    run.installedProducts = ParseInstalledMask(run.productsText);
    run.installedModules = ParseInstalledMask(run.modulesText);
    if (read)
        LOG_LINE("MASKS", "read: editions %s modules %s", run.productsText, run.modulesText);
    else
        LOG_LINE("MASKS", "the version manager faulted while reporting the masks: nothing is removed");
    return read;
}

void WriteMasks(DriverRun& run)
{
    // Formatted without the printf family, which would add a fifth to the program's size;
    // the longest text, "-2147483648", fits the 80 bytes.
    CopyText(run.productsText, sizeof run.productsText, std::to_string(run.installedProducts).c_str());
    CopyText(run.modulesText, sizeof run.modulesText, std::to_string(run.installedModules).c_str());
    // A fault ends this report only: the next one carries the masks whole again.
    // A preview keeps them in memory, so that the walk takes the modules a run would.
    door::WriteMasks(runContext.writeInstalledMasks, run.productsText, run.modulesText);
}

void ReadMaintenanceLinkPath()
{
    runContext.maintenanceLinkPath.reset(new char[kPathSize]);
    runContext.maintenanceLinkPath[0] = '\0';
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kUninstallKeyPath) == ERROR_SUCCESS)
        ReadTextInto(key.get(), "QEL60Win98AM", runContext.maintenanceLinkPath.get(), kPathSize);
    LOG_LINE("READ", "QEL60Win98AM: %s", runContext.maintenanceLinkPath.get());
}

// The e-mail client holds qelexcli.dll while it runs; the library must go before anything
// else does. True when the user has been warned and the run must stop.
bool MailClientHoldsLibrary(const DriverRun& run)
{
    if ((runContext.actionFlags & kMailClientBit) == 0 && runContext.actionFlags != 0) return false;
    char path[kPathSize];
    if (!CopyText(path, sizeof path, run.installDir) ||
        !AppendText(path, sizeof path, "qelexcli.dll"))
        return false;  // no such file can exist
    door::Outcome deleted = door::DeleteProductFile(path, door::FileOwner::kProduct);
    if (deleted.done()) {
        LOG_LINE("MAIL", "the e-mail client library is gone: the run goes on");
        return false;
    }
    if (deleted.result != door::Result::kFailed || !IsInUse(deleted.error)) {
        LOG_LINE("MAIL", "e-mail client library not deleted: %s - the run goes on", path);
        return false;
    }
    LOG_LINE("MAIL", "e-mail client library in use: %s " LOG_ERROR_FORMAT
             " - the user is told to close the client, and nothing is removed", path,
             LOG_ERROR_ARGS(deleted.error));
    // A preview asks nobody: the log says what the run would stop for.
    if (door::Previewing()) return true;
    char text[kWarningTextSize] = "";
    char caption[kWarningCaptionSize] = "";
    LoadLocalizedString(runContext.instance, IDS_MAIL_WARNING, text, sizeof text,
                        runContext.languageId);
    LoadLocalizedString(runContext.instance, IDS_MAIL_WARNING_CAPTION, caption, sizeof caption,
                        runContext.languageId);
    MessageBoxA(NULL, text, caption, MB_OK);
    if (run.window) PostMessageA(run.window, WM_CLOSE, 0, 0);
    return true;
}

// installDir and the bare manifest name; false when the two do not fit the field.
bool MakeManifestPathFull(const DriverRun& run)
{
    char full[kPathSize];
    if (!CopyText(full, sizeof full, run.installDir) ||
        !AppendText(full, sizeof full, runContext.manifestPath))
        return false;
    return CopyText(runContext.manifestPath, sizeof runContext.manifestPath, full);
}

// A "Mask" read: false when the key is present but empty (the section is skipped).
bool ReadMask(const std::string& section, uint32_t* mask)
{
    std::string text = ReadManifestValue(runContext.manifestPath, section, "Mask", "0",
                                         kManifestMaskLimit);
    if (text.empty()) {
        LOG_LINE("SECTION", "%s skipped: its Mask is empty", section.c_str());
        return false;
    }
    *mask = ParseMask(text);
    return true;
}

// A module that keeps an item the program cannot tell about stays installed; a retry would
// meet the same answer, so none is due for it.
void LogKept(DriverRun& run, const char* section, RefusalRule rule)
{
    LOG_LINE("MODULE", "%s kept, cannot tell (rule %s): it stays installed; no retry is due for it",
             section, RefusalRuleName(rule));
    run.kept = true;
}

void RemoveModules(DriverRun& run, const std::string& moduleList)
{
    std::vector<std::string> names = SplitList(moduleList);
    int count = CountListItems(moduleList);
    for (int k = 0; k < static_cast<int>(names.size()); ++k) {
        PumpMessages();
        uint32_t mask = 0;
        if (!ReadMask(names[k], &mask)) {
        } else if ((mask & static_cast<uint32_t>(run.installedModules)) == 0) {
            LOG_LINE("MODULE", "%s skipped: mask %u is not among the installed modules %d",
                     names[k].c_str(), mask, run.installedModules);
        } else if (runContext.actionFlags != 0 && (mask & runContext.actionFlags) == 0) {
            LOG_LINE("MODULE", "%s skipped: mask %u is not selected by %lu", names[k].c_str(), mask,
                     runContext.actionFlags);
        } else {
            LOG_LINE("MODULE", "%s taken: mask %u", names[k].c_str(), mask);
            const ModuleListing listing = ListingFor(run, mask);
            RefusalRule kept = RefusalRule::kNone;
            if (RemoveModule(names[k].c_str(), run.installDir, runContext.manifestPath,
                             NULL, &listing, &kept)) {
                LOG_LINE("MODULE", "%s removed", names[k].c_str());
                run.listings.MarkRemoved(names[k]);
                run.installedModules &= ~static_cast<int32_t>(mask);
                WriteMasks(run);
            } else if (kept != RefusalRule::kNone) {
                LogKept(run, names[k].c_str(), kept);
            } else {
                LOG_LINE("MODULE", "%s not removed: a retry after the next start is due", names[k].c_str());
                run.failed = true;
            }
        }
        if (!test_hooks::SkipsPauses()) Sleep(kModulePauseMs);
        PostPosition(run, ModuleProgressPosition(k, count));
    }
}

// kNone, or the rule by which the program could not tell about the edition's directory. A file
// left in use there sets *inUse: the edition is not gone, and the retry run finishes it.
RefusalRule RemoveEditionDirectory(bool* inUse)
{
    const InstallationRecord& installation = door::TheInstallation();
    const char* valueName = installation.editionValue;
    if (!installation.editionKeyOpens) {
        LOG_LINE("EDITION", "no edition directory: the key %s does not open", kUninstallKeyPath);
        return RefusalRule::kNone;
    }
    if (valueName[0] == '\0') {
        LOG_LINE("EDITION", "no edition directory for the editions %lu", runContext.productBit);
        return RefusalRule::kNone;
    }
    // Only a full path: a relative one would resolve against the current directory, which is
    // the Windows directory in a retry run started by RunOnce.
    if (installation.editionRule != RefusalRule::kNone) {
        LOG_REFUSAL(CannotTell(installation.editionRule), "EDITION", "%s=%s %s %s", valueName,
                    installation.editionDirectory.c_str(), RefusedWords(installation.editionRule),
                    RefusalRuleName(installation.editionRule));
        return CannotTell(installation.editionRule) ? installation.editionRule : RefusalRule::kNone;
    }
    LOG_LINE("EDITION", "%s=%s", valueName, installation.editionDirectory.c_str());
    const std::string directory = installation.editionDirectory + "\\";
    // The private install directory itself, in any spelling ("...\Morwa Antivirus."), is no
    // directory of the edition's own: its files go with the modules that name them and with the
    // program's own at the end, never by a walk that would meet the program's files in use.
    const std::vector<std::string> edition(1, directory);
    if (installation.IsPrivate() && IsAtOrBelowAnyForm(edition, installation.forms) &&
        IsAtOrBelowAnyForm(installation.forms, edition)) {
        LOG_LINE("EDITION", "the install directory itself: not emptied");
        return RefusalRule::kNone;
    }
    // A refused directory is not removed either, even when it is empty.
    door::Tree accepted;
    WalkTally met;
    if (EmptyTree(directory.c_str(), door::Origin::kElsewhere, &accepted, &met) != -1)
        door::RemoveEmptyDirectory(accepted, directory);
    *inUse = met.inUse != 0;
    return met.cannotTell;
}

// The edition's directory and the shared module, once the edition has no module left.
void RemoveEditionRest(DriverRun& run)
{
    // The editions as listed before this step: a refused shared module puts the edition's bit
    // back, since the retry run walks only the applications of editions still listed.
    int32_t productsBeforeShared = run.installedProducts;
    // A refused module keeps the edition listed, or the retry run would skip its application.
    // So does a module kept because the program cannot tell about one of its items.
    if (!run.failed && !run.kept) run.installedProducts &= ~static_cast<int32_t>(runContext.productBit);
    bool editionInUse = false;
    const RefusalRule editionKept = RemoveEditionDirectory(&editionInUse);
    if (editionInUse) {
        LOG_LINE("EDITION", "not emptied: a retry after the next start is due");
        run.failed = true;
        run.installedProducts = productsBeforeShared;
    }
    if (editionKept != RefusalRule::kNone) {
        LOG_LINE("EDITION", "kept, cannot tell (rule %s): the edition stays listed; no retry is due for it",
                 RefusalRuleName(editionKept));
        run.kept = true;
        run.installedProducts = productsBeforeShared;
    }
    PumpMessages();
    LOG_LINE("MODULE", "Shared taken");
    const ModuleListing listing = ListingFor(run, 0);
    RefusalRule kept = RefusalRule::kNone;
    if (RemoveModule("Shared", run.installDir, runContext.manifestPath,
                     run.controls ? run.window : NULL, &listing, &kept)) {
        LOG_LINE("MODULE", "Shared removed");
        run.listings.MarkRemoved("Shared");
        WriteMasks(run);
    } else if (kept != RefusalRule::kNone) {
        LogKept(run, "Shared", kept);
        run.installedProducts = productsBeforeShared;
    } else {
        LOG_LINE("MODULE", "Shared not removed: a retry after the next start is due");
        run.failed = true;
        run.installedProducts = productsBeforeShared;
    }
    ShowStepMark(run, IDC_MARK_SHARED_MODULES);
}

// One application of the list; false when it has no module list and the run must end.
bool RemoveApplication(DriverRun& run, const std::string& name)
{
    PumpMessages();
    uint32_t mask = 0;
    if (!ReadMask(name, &mask)) return true;
    if ((mask & static_cast<uint32_t>(run.installedProducts)) == 0) {
        LOG_LINE("APP", "%s skipped: mask %u is not among the installed editions %d", name.c_str(), mask,
                 run.installedProducts);
        return true;
    }
    if (runContext.productBit != 0 && (mask & runContext.productBit) == 0) {
        LOG_LINE("APP", "%s skipped: mask %u is not the edition asked for, %lu", name.c_str(), mask,
                 runContext.productBit);
        return true;
    }
    std::string modules = ReadManifestValue(runContext.manifestPath, name, "Modules", "",
                                            kManifestListLimit);
    if (modules.empty()) {
        LOG_LINE("APP", "%s has no Modules list: the run ends here", name.c_str());
        return false;
    }
    LOG_LINE("APP", "%s taken: mask %u, modules %s", name.c_str(), mask, modules.c_str());
    PostPosition(run, 0);
    RemoveModules(run, modules);
    ShowStepMark(run, IDC_MARK_USER_MODULES);
    if (runContext.actionFlags == 0 || run.installedModules == 0) RemoveEditionRest(run);
    return true;
}

// The program, its manifest and the version manager stay for a retry run after the next start.
// A retry run schedules no other.
void KeepForRetry()
{
    if (runContext.runMode != kRunRetry) ScheduleRetry();
    else LOG_LINE("RETRY", "not scheduled: this is the retry run");
    runContext.keepFilesFlag = 1;
}

int Run(HWND window)
{
    // Every path below is composed on the install directory, which ends with a backslash;
    // without one, names would resolve against the current directory.
    DriverRun run;
    run.installDir = door::TheInstallation().directory.c_str();
    if (!EndsWithBackslash(run.installDir)) return kUninstallIncomplete;
    run.window = window;
    run.controls = window != NULL && runContext.runMode != 0;
    if (!ReadMasks(run)) {
        // With unknown masks nothing can be chosen and nothing is removed; the program stays
        // with the product, in a retry run too.
        KeepForRetry();
        return kUninstallIncomplete;
    }
    ReadMaintenanceLinkPath();
    if (MailClientHoldsLibrary(run)) {
        PumpMessages();
        runContext.keepFilesFlag = 1;
        return kUninstallMailClientBusy;
    }
    if (!MakeManifestPathFull(run)) {
        LOG_LINE("APPS", "the install directory and the manifest name do not fit one path");
        return kUninstallIncomplete;
    }
    std::string apps = ReadManifestValue(runContext.manifestPath, "General", "Apps", "",
                                         kManifestListLimit);
    if (apps.empty()) {
        LOG_LINE("APPS", "no application list in %s - nothing is removed", runContext.manifestPath);
        return kUninstallIncomplete;
    }
    LOG_LINE("APPS", "%s from %s", apps.c_str(), runContext.manifestPath);
    run.listings.Read(runContext.manifestPath, apps, run.installDir, SystemDirectory());
    for (const std::string& name : SplitList(apps))
        if (!RemoveApplication(run, name)) return kUninstallIncomplete;
    HWND bar = run.controls ? GetDlgItem(window, IDC_PROGRESS_BAR) : NULL;
    PumpMessages();
    RestoreConfiguration(bar, run.installDir);
    ShowStepMark(run, IDC_MARK_RESTORE);
    PostPosition(run, 0);
    PumpMessages();
    // A retry run that still left files behind removes the program all the same.
    if (run.failed && runContext.runMode != kRunRetry) KeepForRetry();
    else if (run.failed)
        LOG_LINE("RETRY", "not scheduled: this is the retry run, which removes the program all the same");
    else if (run.kept) {
        // The product stays installed in part: so does its uninstaller, with no retry.
        LOG_LINE("RETRY", "not scheduled: what stays cannot be told about by a retry either; the program stays");
        runContext.keepFilesFlag = 1;
    }
    // The removal has ended: no count is the product's to release any longer.
    if (!run.failed && !run.kept) door::ForgetReleases();
    PumpMessages();
    if (run.installedModules == 0) runContext.actionFlags = 0;
    return kUninstallWalked;
}

}  // namespace

int RunUninstall(HWND window)
{
    int result = kUninstallIncomplete;  // what a fault leaves
    // The places were taken by door::Begin, before anything is deleted.
    bool completed = Guarded([&result, window] { result = Run(window); });
    if (!completed) LOG_LINE("RUN", "the removal was ended by a fault");
    return result;
}
