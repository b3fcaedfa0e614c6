// The rules by which the program refuses to delete something, each with a stable short name
// that a removal log can record (no Win32 here).
#pragma once

enum class RefusalRule {
    kNone,
    // Directories, before a tree is emptied or a directory removed.
    kShortPath,           // three characters or fewer: an empty text, "C:" or a drive root
    kRelativePath,        // the registry names a directory that is not a full path
    kDevicePath,          // "\\?\", "\\.\" or "\??\": a form that passes the system's own checks
    kUnresolvedPath,      // the system cannot make a full path of it within 259 characters
    kDriveRoot,           // the root of a drive or of a network share
    kProtectedDirectory,  // the Windows, system, Program Files or Common Files directory, or holds one
    kWindowsDirectory,    // anywhere inside the Windows or the system directory
    kShellFolder,         // a shell folder of a user or of the machine, holds one, or lies in one
    kProfileDirectory,    // the profiles directory or a user's profile, holds one, or lies in one
    kTempDirectory,       // a temporary directory, holds one, or lies in one
    kLink,                // the path passes through a link: where it leads is unknown
    kUnresolvedDrive,     // on a drive that may stand for a folder of another, which the system
                          // cannot tell (no QueryDosDeviceA that answers, as on Windows 95/98)
    kInstallDirectory,    // it lies in an install directory that is not a private place
    kOutsideInstallation, // a file of the product's that lies neither in its private install
                          // directory nor in the system directory
    kCannotTell,          // the system cannot show what directory the path reaches (no identity
                          // to compare with the protected places')
    // Names that a listing hands back.
    kListedName,          // a file or key name that would name another entry (a separator, a
                          // wildcard, only dots, a name the code page lost) and has no short name
    kTrailingDots,        // a name with trailing dots or blanks, which the system reads as its
                          // neighbour's, and no short name
    kRegistryLink,        // a registry link: never followed, only the link itself deleted
    kCodePage,            // a path of the self-removal batch that the OEM code page cannot spell
    // Registry keys named by a key entry.
    kRootKey,             // a root key itself
    kRootChildKey,        // a direct child of a root (or of a user's key): HKLM\Software, HKCU\Software
    kSystemKey,           // one of the system's own keys, or an ancestor of one
    kVendorKey,           // a vendor's key directly below Software, shared by all its products
    kDynamicKey,          // a key of HKEY_PERFORMANCE_DATA or HKEY_DYN_DATA, which hold no stored keys
    kSystemConfiguration, // a key anywhere in the system's configuration (Control, Enum, Config, ...)
    kSystemValue,         // a value directly in one of the system's own keys (not a registration list)
    // Files named by a file entry, and shortcuts.
    kSharedFile,          // other programs still count on the file (SharedDLLs count above 1)
    kUnreadableShareCount,// the file's SharedDLLs count cannot be read as a number
    kStillListed,         // a module still installed lists the file too
    kOtherCompany,        // a system-directory file whose version information names another company
    kUnreadableOwner,     // a system-directory file whose version information the system cannot read
    kWindowsFile,         // a file that Windows itself protects
    kNoEvidence,          // a system-directory file with no evidence of being the product's: no
                          // vendor's version information, no product's name, no SharedDLLs count;
                          // a key of the shared registration trees whose values name no file of
                          // the product's (RegistrationOf, EvidenceOf)
    kForeignShortcut,     // a shortcut that does not point at the product's own file
    kUserFile             // in a tree or pattern of an install directory the user shares with
                          // the product: a file created before the product came
};

// The rule's stable short name, such as "device-path"; "none" for kNone.
const char* RefusalRuleName(RefusalRule rule);

// True for a rule that refuses because the program cannot tell whose an item is or where it
// lies (a drive root, a path or drive it cannot resolve, a link, an install directory that is
// no private place, an owner it cannot read): the item stays, and so does the module that names
// it. The other rules prove an item another's (Windows', another company's, counted by others,
// a count in a form only another installer writes, a foreign shortcut), and its module goes all
// the same.
bool CannotTell(RefusalRule rule);

// The log's words before the rule's name: "kept by rule", or "kept, cannot tell, by rule";
// "refused by rule", or "refused, cannot tell, by rule".
const char* KeptWords(RefusalRule rule);
const char* RefusedWords(RefusalRule rule);
