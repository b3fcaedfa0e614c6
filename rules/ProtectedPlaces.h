// The places on this machine that no deletion may empty or remove, and the check of one
// directory against them.
#pragma once
#include "base/Handles.h"
#include "rules/PlaceRules.h"
#include "rules/Refusal.h"
#include <string>
#include <vector>

// The Windows and system directories with everything in them; Program Files and Common Files;
// every shell folder of the current user, of every user whose hive is loaded and of the
// machine, the profiles directory and every profile the system lists, and the temporary
// directories, each with everything in it; every one in all its spellings (FormsOf).
// Registry keys are opened for reading only, which any user may do.
void GatherProtectedPlaces(std::vector<ProtectedPlace>* places);

// While one holds the places it took, CheckDirectoryForDeletion compares with them instead of
// gathering them at every call (which costs tens of milliseconds under Wine): an uninstall run
// takes them before it deletes anything, so that its own deletions of registry values cannot
// take a place off the list. Scopes nest; the outermost one that took the places counts.
// A run makes its scope outside its fault guard and takes the places inside it: a fault skips
// the destructors below the guard, and must not leave the record naming a frame that is gone.
class ProtectedPlacesScope {
public:
    ProtectedPlacesScope() = default;
    ~ProtectedPlacesScope();
    ProtectedPlacesScope(const ProtectedPlacesScope&) = delete;
    ProtectedPlacesScope& operator=(const ProtectedPlacesScope&) = delete;
    // Gathers the places now, unless an outer scope holds them already.
    void Take();

private:
    std::vector<ProtectedPlace> places_;
};

// The rule that refuses to empty or remove `directory`, or kNone: three characters or fewer,
// a path longer than 259 characters, or any rule of CheckDirectoryForDeletion.
RefusalRule CheckTreeDeletion(const char* directory);

// The same for the directory in which files are deleted by pattern, without the rule of three
// characters or fewer (a root is still refused by CheckDirectoryForDeletion).
RefusalRule CheckPatternDirectory(const char* directory);

// The spellings a directory is compared in (full, short, long, the folder its drive stands
// for, the local form of an administrative share) into *forms, and its full path; or the rule
// that refuses its text: not a full path (kRelativePath), a device form (kDevicePath), or a
// path the system cannot resolve (kUnresolvedPath).
RefusalRule DirectoryForms(const char* directory, std::string* full, std::vector<std::string>* forms);

// kNone when `directory` may be emptied or removed as a place of its own, outside the product's
// install directory; otherwise the rule that refuses it: a rule of its text, a drive or share
// root, a protected place, one that holds one, or one that lies in the Windows directory, a
// shell folder, a profile or a temporary directory (in any spelling), or a path through a link.
RefusalRule CheckDirectoryForDeletion(const char* directory);

// kNone when `installDir` is a private place, a directory the product may keep its files in:
// not a root, not a protected place or one that holds one, nowhere in the Windows directory,
// not reached through a link (a folder of its own inside a shell folder is private). Otherwise
// the rule that makes it none. *forms receives its spellings (empty when its text is refused).
RefusalRule CheckInstallDirectory(const std::string& installDir, std::vector<std::string>* forms);

// True when the system tells what the path's drive letter stands for, and so what holds its
// root: the Windows directory's own letter; a SUBST letter through QueryDosDeviceA (the NT
// family); under Wine the host folder its mount manager names; a volume's own letter (a device
// answer, or on Windows 95/98 a fixed drive whose serial number no other letter has). A path of
// no letter (a share) is told by its identity. Asked once a run per letter.
bool DriveRootTold(const std::string& fullPath);

// True when some directory of the full path, below its root, is a link (a junction or a
// symbolic link, which Wine also reports for a Unix symbolic link): its contents belong elsewhere.
bool PassesThroughLink(const std::string& fullPath);

// Judges a directory of a tree at the moment the walk enters it: true when it is a directory and
// no link now. *held then keeps it open where the system can (the NT family), so that it cannot
// be swapped for a link while the walk deletes the files below it.
bool HoldDirectoryNoLink(const std::string& directory, HeldDirectory* held);
