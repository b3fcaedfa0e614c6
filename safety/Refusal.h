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
    kSystemSubdirectory,  // a direct sub-directory of the Windows or the system directory
    kShellFolder,         // one of the user's or the machine's shell folders, or holds one
    kProfileDirectory,    // the profiles directory or a user's profile, or holds one
    kTempDirectory,       // the temporary directory, or holds it
    kLink,                // the path passes through a link: where it leads is unknown
    // Registry keys named by a key entry.
    kRootKey,             // a root key itself
    kRootChildKey,        // a direct child of a root (or of a user's key): HKLM\Software, HKCU\Software
    kSystemKey,           // one of the system's own keys, or an ancestor of one
    kVendorKey,           // a vendor's key directly below Software, shared by all its products
    kDynamicKey,          // a key of HKEY_PERFORMANCE_DATA or HKEY_DYN_DATA, which hold no stored keys
    // Files named by a file entry.
    kSharedFile,          // other programs still count on the file (SharedDLLs count above 1)
    kUnreadableShareCount // the file's SharedDLLs count cannot be read as a number
};

// The rule's stable short name, such as "device-path"; "none" for kNone.
const char* RefusalRuleName(RefusalRule rule);
