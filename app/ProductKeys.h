// The product's registry keys below HKEY_LOCAL_MACHINE (no Win32 here).
#pragma once

// "Path" (the install directory), "Language" and the version manager's store.
const char kProductKeyPath[] = "Software\\Morwa Software\\Morwa Antivirus 6.0";
// The edition directories and the Maintenance Wizard's shortcut.
const char kUninstallKeyPath[] = "Software\\Morwa Software\\Uninstall";
