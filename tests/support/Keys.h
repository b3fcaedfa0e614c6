// The registry keys and values the tests stage, read and check, written once (the tests spell
// them themselves rather than take the program's own names).
#pragma once

namespace testing_support {

// Below HKEY_LOCAL_MACHINE.
const char kProductKey[] = "Software\\Morwa Software\\Morwa Antivirus 6.0";
const char kUninstallKey[] = "Software\\Morwa Software\\Uninstall";
const char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kRetryValue[] = "QELUninstTry";

// Below HKEY_CURRENT_USER (and HKEY_LOCAL_MACHINE).
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace testing_support
