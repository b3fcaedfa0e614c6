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

// While one lives, CheckDirectoryForDeletion compares with the places gathered when it was
// made, instead of gathering them at every call (which costs tens of milliseconds under
// Wine): an uninstall run makes one before it deletes anything, so that its own deletions of
// registry values cannot take a place off the list. Scopes nest; the outermost one counts.
class ProtectedPlacesScope {
public:
    ProtectedPlacesScope();
    ~ProtectedPlacesScope();
    ProtectedPlacesScope(const ProtectedPlacesScope&) = delete;
    ProtectedPlacesScope& operator=(const ProtectedPlacesScope&) = delete;

private:
    const std::vector<ProtectedPlace>* outer_;
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
