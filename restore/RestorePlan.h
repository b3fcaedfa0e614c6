// Which restore steps a removal selects and the paths they compose (no Win32 here).
#pragma once
#include "app/Selection.h"
#include <cstddef>
#include <cstdint>
#include <string>

const unsigned long kPlatformWin32Windows = 1;  // the Windows 95 family

// The "AppData" value is read into a buffer of this size and the Quick Launch tail is
// appended in it.
const size_t kAppDataBufferSize = 516;
// The shortcut path handed to the shell as UTF-16 goes through a buffer of this size.
const size_t kShortcutPathBufferSize = 256;

// A full removal of the Vantorix edition alone (all editions, productBit 0, does not count).
bool IsFullVantorixRemoval(uint32_t actionFlags, uint32_t productBit);

// Windows 98 and the later members of the 95 family, not Windows 95 and not the NT family.
// The major version is not looked at.
bool IsMaintenanceWizardPlatform(unsigned long platformId, unsigned long minorVersion);

struct RestorePlan {
    bool installDirLine;  // the start-up line that names the install directory
    bool startupLine;     // the "QELCL" line and the companion batch file
    bool maintenance;     // the Maintenance Wizard and the System Agent entry
    bool channel;         // the desktop channel and item; only with Internet Explorer 4
    bool quickLaunch;     // the Quick Launch shortcut; only with Internet Explorer 4
    bool jobs;            // the scheduled jobs; only with Internet Explorer 4
};

RestorePlan PlanRestore(uint32_t actionFlags, uint32_t productBit, bool maintenancePlatform);

// The install directory without its last character (the trailing backslash), whose short
// form names the directory in the start-up file; false when that is not a full path (nothing
// left, or a bare drive such as "C:", whose short form would be the current directory).
bool InstallDirProbe(const std::string& installDir, std::string* probe);

// The upper-cased short form as the marker of the start-up line, or false when it is too
// short to name a directory below a root ("C:", "C:\"): such a marker would match the
// PATH lines and every other line that mentions the drive.
bool InstallDirMarker(const std::string& shortPath, std::string* marker);

// `linkPath` + ".lnk", or false when the link path is not a full path (empty or relative) or
// the result does not fit the 256-byte shortcut buffer.
bool MaintenanceShortcutPath(const std::string& linkPath, std::string* path);

// The Windows directory followed by "\tuneup.exe" as the shortcut's target, or false when
// that exceeds 259 characters.
bool MaintenanceShortcutTarget(const std::string& windowsDir, std::string* target);

// The Quick Launch shortcut below the "AppData" folder, or false when the folder is not a full
// path (empty or relative) or the path does not fit the 516-byte buffer.
bool QuickLaunchShortcutPath(const std::string& appData, std::string* path);

