// Which restore steps a removal selects and the paths they compose.
#include "restore/RestorePlan.h"
#include "engine/EntryPaths.h"
#include "rules/PlaceRules.h"
#include "base/Text.h"

namespace {

const char kTuneupTail[] = "\\tuneup.exe";
const char kQuickLaunchTail[] = "\\Microsoft\\Internet Explorer\\Quick Launch\\Morwa Antivirus.lnk";

}  // namespace

bool IsFullVantorixRemoval(uint32_t actionFlags, uint32_t productBit)
{
    return actionFlags == 0 && productBit == kVantorixEdition;
}

bool IsMaintenanceWizardPlatform(unsigned long platformId, unsigned long minorVersion)
{
    return platformId == kPlatformWin32Windows && minorVersion != 0;
}

RestorePlan PlanRestore(uint32_t actionFlags, uint32_t productBit, bool maintenancePlatform)
{
    const bool full = actionFlags == 0;
    const bool fullVantorixRemoval = IsFullVantorixRemoval(actionFlags, productBit);
    RestorePlan plan;
    plan.installDirLine = full;
    plan.startupLine = full || (actionFlags & kStartupLineBit) != 0;
    plan.maintenance = maintenancePlatform &&
                       (fullVantorixRemoval || (actionFlags & kMaintenanceBit) != 0);
    plan.channel = fullVantorixRemoval || (actionFlags & kChannelBit) != 0;
    plan.quickLaunch = fullVantorixRemoval || (actionFlags & kQuickLaunchBit) != 0;
    plan.jobs = full;
    return plan;
}

bool InstallDirProbe(const std::string& installDir, std::string* probe)
{
    if (installDir.size() < 2) return false;
    std::string directory = installDir.substr(0, installDir.size() - 1);
    // "C:" alone names the current directory of the drive, not its root.
    if (CheckFullPath(directory) != RefusalRule::kNone) return false;
    *probe = directory;
    return true;
}

bool InstallDirMarker(const std::string& shortPath, std::string* marker)
{
    if (shortPath.size() <= 3 || IsDriveOrShareRoot(shortPath)) return false;
    *marker = UpperAscii(shortPath);
    return true;
}

bool MaintenanceShortcutPath(const std::string& linkPath, std::string* path)
{
    // A relative value would name a file of whatever the current directory is.
    if (CheckFullPath(linkPath) != RefusalRule::kNone) return false;
    std::string composed = linkPath + ".lnk";
    if (composed.size() + 1 > kShortcutPathBufferSize) return false;
    *path = composed;
    return true;
}

bool MaintenanceShortcutTarget(const std::string& windowsDir, std::string* target)
{
    // Joined as it stands: the Windows directory is never a drive root.
    if (windowsDir.empty() || windowsDir.size() + sizeof kTuneupTail - 1 > kMaxPathChars)
        return false;
    *target = windowsDir + kTuneupTail;
    return true;
}

bool QuickLaunchShortcutPath(const std::string& appData, std::string* path)
{
    if (CheckFullPath(appData) != RefusalRule::kNone ||
        appData.size() + sizeof kQuickLaunchTail > kAppDataBufferSize)
        return false;
    *path = appData + kQuickLaunchTail;
    return true;
}
