// The places on this machine that no deletion may empty or remove, and the check of one
// directory against them.
#pragma once
#include "safety/PlaceRules.h"
#include "safety/Refusal.h"
#include <string>
#include <vector>

// The Windows and system directories (with their direct sub-directories), Program Files and
// Common Files, every shell folder of the user and of the machine, the profiles directory
// and the users' profiles, and the temporary directory, each in its full and short forms (a
// place needs no long form: a directory is compared in its long form too, and the short
// forms of both sides tell any two spellings of an existing path apart).
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

// kNone when `directory` may be emptied or removed; otherwise the rule that refuses it: a
// text that is not a full path or is a device form, a path the system cannot resolve, a
// drive or share root, a protected place or one that holds it (in any spelling: short,
// long, or an administrative share), or a path that passes through a link.
RefusalRule CheckDirectoryForDeletion(const char* directory);
