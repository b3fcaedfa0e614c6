// Which registry keys a manifest's key entry may delete, kept apart from the Win32 calls.
#pragma once
#include "rules/RegistryRoot.h"
#include "rules/Refusal.h"
#include <string>

// The key in the one spelling the checks compare: upper case, HKEY_CLASSES_ROOT as
// HKLM\SOFTWARE\CLASSES, HKEY_CURRENT_USER as a user's key below HKU ("HKU\<CURRENT USER>"),
// a user's classes hive ("HKU\S-1-5-21-..._CLASSES") as that user's SOFTWARE\CLASSES, the
// 64-bit system's WOW6432NODE views as the keys they mirror, and CONTROLSET001 and its
// siblings as CURRENTCONTROLSET. Empty for HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA.
std::string CanonicalKeyName(RegistryRoot root, const std::string& keyPath);

// kNone when a key entry may delete the key at `keyPath` below `root` with its whole tree;
// otherwise the rule that refuses it, checked on the canonical form:
// - kRootKey: the root itself (an empty key path);
// - kDynamicKey: any key of HKEY_PERFORMANCE_DATA or HKEY_DYN_DATA;
// - kRootChildKey: a direct child of HKLM, HKU or HKCC, or of a user's key (HKCU\Software);
// - kSystemKey: one of the system's own keys or an ancestor of one (Software\Microsoft,
//   Software\Classes, HKCR\CLSID, System\CurrentControlSet\Services, the product's own
//   Uninstall key, ...), or a direct child of one whose children are all the system's
//   (Software\Microsoft\Windows\CurrentVersion\Run, ...);
// - kVendorKey: a key directly below Software, which a vendor shares among its products.
// - kSystemConfiguration: any key at or below the system's configuration (the Control, Enum
//   and Hardware Profiles keys of HKLM\System\CurrentControlSet, the device classes below
//   its Services, HKLM\Enum, Config, Hardware, SAM and Security, all of HKEY_CURRENT_CONFIG, a
//   user's Control Panel and Environment).
// A name with a byte above 127 matches a listed name of the same length when every other
// byte matches: the registry folds the case of letters outside ASCII too.
RefusalRule CheckKeyDeletion(RegistryRoot root, const std::string& keyPath);

// kNone when a value entry may delete a value of the key at `keyPath`: any value of the
// product's keys and of a vendor's key, and the product's values in the lists where products
// register values of their own (Run, RunOnce, RunServices, RunServicesOnce, SharedDLLs, the
// Exchange client's Extensions, ...). kSystemValue for a value directly in one of the system's
// own keys, kSystemConfiguration for one anywhere in its configuration, kDynamicKey for the
// roots that hold no stored values.
RefusalRule CheckValueDeletion(RegistryRoot root, const std::string& keyPath);
