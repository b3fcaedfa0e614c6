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

// ---- The shared registration trees --------------------------------------------------------
// A key below these is the product's only by evidence: a value that names a file of the product.

enum class Registration {
    kNone,       // no shared tree
    kClsid,      // Classes\CLSID\{...}
    kInterface,  // Classes\Interface\{...}: its ProxyStubClsid32 names a CLSID
    kTypeLib,    // Classes\TypeLib\{...}
    kClass,      // a file type or ProgID below Software\Classes (of the machine or a user)
    kAppPath,    // ...\CurrentVersion\App Paths\<program>
    kUninstall,  // ...\CurrentVersion\Uninstall\<product>
    kComponent,  // Active Setup\Installed Components\{...}
    kService,    // System\CurrentControlSet\Services\<name>, and Services\VxD\<name>
    kExtension,  // a file name extension below Software\Classes (".qel"): its default value names its class
};

// The kind of the registration that holds the key at `keyPath` (or is it), kNone for a key in
// no shared tree; `*whole` is set when the key is the registration's own key (".qel",
// "CLSID\{...}", "Services\QELVXD"), not one below it. Checked on the canonical form.
Registration RegistrationOf(RegistryRoot root, const std::string& keyPath, bool* whole);

// What a value of a registration's tree (`depth` names below the key named, in the key
// `keyName`) tells: kFile for a value that names the registration's file (the default value of
// a verb's "command", of "InprocServer32", "LocalServer32", "DefaultIcon" and a type library's
// "win32" key, and of the App Path itself; ImagePath, StaticVxD, Path, UninstallString,
// DisplayIcon and StubPath of the key named); kRegistration for one that names another
// registration (an extension's default value, its class; the default value of an interface's
// sub-key, a CLSID: ProxyStubClsid32's, its proxy).
enum class Evidence { kNone, kFile, kRegistration };
Evidence EvidenceOf(Registration kind, int depth, const char* keyName, const char* valueName);

// The key that `value` names (kRegistration of EvidenceOf) of the registration at `keyPath`, in the
// same spelling: an extension's class beside it ("Morwa.ScanList" of ".qel"), an interface's
// CLSID ("CLSID\{...}" beside "Interface"); "" for a value that names no key.
std::string NamedRegistration(Registration kind, const std::string& keyPath, const std::string& value);

// The file that a command, a server, an icon or a path value names, as a full path; "" when it
// names none (a relative name such as "shell32.dll": the system's search decides where that
// lies). A quoted path ends at its quote; an unquoted one at a comma (an icon's index, a
// rundll32 entry point) or at the first blank after a name with an extension (its arguments);
// rundll32's and rundll's file is the library they load. The reader expands %SystemRoot%-style
// variables first.
std::string PathInCommand(const std::string& text);
