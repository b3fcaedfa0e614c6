// Decisions about the places a deletion must never reach: full paths, device forms,
// administrative shares and protected directories, kept apart from the Win32 calls.
#pragma once
#include "rules/Refusal.h"
#include <string>
#include <vector>

// True for "\\?\", "\\.\" and "\??\" in front, with either kind of slash: these forms reach
// any file or device past the system's own checks and spellings, so they are never used.
bool IsDevicePath(const std::string& path);

// Whether a directory that the registry names is a full path: a drive letter with its
// backslash, or \\server\share. kRelativePath for anything else (the empty text too, and a
// relative name, which would resolve against whatever the current directory is), and
// kDevicePath for the device forms.
RefusalRule CheckFullPath(const std::string& text);

// An administrative share as the local path it stands for: \\host\C$\x is C:\x and
// \\host\ADMIN$\x is `windowsDir`\x, whatever the host. Other paths come back unchanged.
std::string LocalFormOfAdminShare(const std::string& path, const std::string& windowsDir);

// Characters of a full path's root, which is never split off: 3 for "C:\", and for
// "\\server\share" up to and with the backslash after the share (the whole text when none
// follows). npos for a text without such a root.
size_t PathRootLength(const std::string& path);

// True for a drive or share root or less ("C:", "C:\", "\\server\share", "", a single
// name), whatever the slashes, case and trailing dots: nothing that names a directory of its own.
bool IsDriveOrShareRoot(const std::string& path);

// The path with its drive letter replaced by the folder the drive stands for, from what
// QueryDosDeviceA answers for the drive: "\\??\\C:\\Users\\me" for a drive made with SUBST, or
// "\\??\\UNC\\server\\share\\x" for one that maps a network folder. "" when the path has no
// drive letter or the answer names a device (a drive of its own), or the result is too long.
std::string ApplyDriveMapping(const std::string& fullPath, const std::string& dosDevice);

// True when every name of the full path below its root is a valid 8.3 name (such as
// "WINDOWS" or "README.TXT"): the path is then its own short form, and the system need
// not be asked for one.
bool IsShortFormAlready(const std::string& fullPath);

// How a name that a directory listing hands back (FindFirstFileA's cFileName and
// cAlternateFileName) may be composed into a path below the listed directory.
enum class ListedNameUse {
    kName,       // the name names that entry and nothing else
    kShortName,  // the name would name another (a separator, a wildcard, only dots, trailing
                 // dots or blanks, or a name the code page's conversion lost): its short name
                 // does, once the system confirms that it names the same entry
    kLeave,      // neither names it: the entry is left, by rule listed-name
};

// True when `name` names one entry of its directory and no other: not empty, no "\", "/", ":",
// "*", "?", '"', "<", ">", "|" or control character, not made only of dots, and no trailing dot
// or blank (which the system reads away: "x." opens "x").
bool IsExactListedName(const std::string& name);

// The use of a listed name. A name of 8.3 shape whose entry has a short name of another
// spelling is one the conversion to the ANSI code page changed (a fullwidth letter listed as
// its ASCII neighbour): it is taken by its short name too.
ListedNameUse UseOfListedName(const std::string& name, const std::string& shortName);

// The rule that leaves a listed name which UseOfListedName leaves: kTrailingDots for a name that
// ends with a dot or a blank, kListedName for any other.
RefusalRule ListedNameRule(const std::string& name);

// True when a key name that a registry listing hands back names that key below its parent:
// not empty, no "\", and no "?" (the default character of a name the code page lost).
bool IsExactListedKeyName(const std::string& name);

// How much of a protected place is protected: the place itself and every directory that holds
// it always; what lies inside it too for a tree.
enum class PlaceKind {
    kPlace,        // the place and what holds it only
    kUsersTree,    // Program Files, Common Files, shell folders, profiles, temporary directories:
                   // a private folder of its own inside one may be a product's install
                   // directory, while nothing else inside it is a product's
    kWindowsTree,  // the Windows and system directories: nothing inside them is a product's
};

// What the system shows of a directory whatever path reached it (drive letter, share, host
// name): its volume serial number and file index. Under Wine the index alone, since Wine gives
// every drive letter a serial of its own, also where two letters reach the same folder.
struct DirectoryIdentity {
    unsigned long volume = 0, high = 0, low = 0;
    bool known = false;
    bool operator==(const DirectoryIdentity& other) const
    {
        return known && other.known && volume == other.volume && high == other.high && low == other.low;
    }
};

// A place that no deletion may empty or remove, in every spelling the system gave for it
// (full, short and mapped forms), and the rule that protects it.
struct ProtectedPlace {
    std::vector<std::string> forms;
    // The place's identity and those of the directories that hold it, nearest first: read when
    // a check first needs them (`identified`), which a const list of places may do.
    mutable std::vector<DirectoryIdentity> identities;
    mutable bool identified = false;
    RefusalRule rule = RefusalRule::kProtectedDirectory;
    PlaceKind kind = PlaceKind::kPlace;
};

// The rule that refuses a directory given in `forms` (its full path and its other spellings),
// kNone when none applies: kDriveRoot for a drive or share root; else the rule of a place that
// it is, in any form (the first such place); else the rule of the first place that it holds or
// that it lies in (kWindowsDirectory inside the Windows tree). Case, forward slashes, doubled
// backslashes and the trailing dots and blanks of names are ignored, as the system ignores them.
RefusalRule CheckDirectoryPlace(const std::vector<std::string>& forms,
                                const std::vector<ProtectedPlace>& places);

// The same for an install directory, which may be a folder of its own inside a users' tree
// (C:\My Documents\Morwa\), never one inside the Windows tree.
RefusalRule CheckInstallDirectoryPlace(const std::vector<std::string>& forms,
                                       const std::vector<ProtectedPlace>& places);

// The rule by identity: `chain` holds the directory's identity and those of the directories that
// hold it, nearest first (unknown where the system cannot show one). kNone when it is no place,
// holds none and lies in none that refuses what lies inside (for an install directory only the
// Windows tree does), as CheckDirectoryPlace decides by spelling.
RefusalRule CheckPlacesByIdentity(const std::vector<DirectoryIdentity>& chain,
                                  const std::vector<ProtectedPlace>& places, bool installDirectory);

// True when some form of `path` is some form of `directory` or lies below it.
bool IsAtOrBelowAnyForm(const std::vector<std::string>& path, const std::vector<std::string>& directory);

// True when `path` is `directory` or lies below it (case ignored, same rules as above).
bool IsAtOrBelow(const std::string& path, const std::string& directory);

// Creation times in FILETIME ticks (100 ns); 0 is unknown. An installation writes its directory
// and its other files within some minutes of its own kolbex.dll, uninstall.exe and manifest: ten
// minutes of slack, which also covers FAT's 2-second and 10-ms steps.
const unsigned long long kInstallationSlack = 10ULL * 60 * 10000000;

// The time an entry tells of its creation: its creation time, or its last write where the file
// system keeps none.
inline unsigned long long CreationTicks(unsigned long long created, unsigned long long written)
{
    return created ? created : written;
}

// The product's installation from the creation times of its own files, two at a time (0 for
// one not there): the earlier known one; 0 when neither is known.
inline unsigned long long EarliestKnown(unsigned long long a, unsigned long long b)
{
    return a == 0 || (b != 0 && b < a) ? b : a;
}

// True when `created` lies more than the slack before `since`, the product's installation: the
// item was there before the product came. False when either is unknown.
bool CreatedBeforeProduct(unsigned long long created, unsigned long long since);
