// Deletion of the files of a directory tree, and of the files of one directory by pattern.
#pragma once
#include "door/Door.h"

// What a walk met, for the verdict of the module that asked for it. Unlike the result, it
// holds a failure at any depth, and neither a later refusal nor a later success hides it.
struct WalkTally {
    unsigned long inUse = 0;                      // the first failure that waits for the retry run
    RefusalRule cannotTell = RefusalRule::kNone;  // the first refusal that cannot tell (CannotTell)
    void Note(const door::Outcome& outcome);
    void NoteRefusal(RefusalRule rule);
};

// Deletes every file below `directory`, at every depth; no directory is removed, and no link to
// a directory is entered. Returns -1 when the door refuses the directory (three characters or
// fewer, a path longer than 259 characters, a device form, a root, a protected place, one that
// holds one or lies in one, a path through a link; for a directory of the installation, one
// outside a private install directory) or it cannot be listed; 0 when every deletion directly
// in it succeeded; otherwise the error code of the last deletion directly in it that failed.
// The accepted tree goes to the caller, who removes the directory afterwards with
// door::RemoveEmptyDirectory(*tree, ...) without checking it again. *tree is set unless -1 comes
// back for a refusal.
// With `tally`, what the walk met at every depth is added to it.
int EmptyTree(const char* directory, door::Origin origin, door::Tree* tree, WalkTally* tally = nullptr);

// Deletes the files directly in `directory` whose upper-cased full path contains the
// upper-cased `pattern`. Sub-directories are left alone. Results as above, except that a
// directory of three characters or fewer is not refused for its length alone (a root still is,
// and so is a path longer than 259 characters).
int DeleteMatchingFiles(const char* pattern, const char* directory,
                        door::Origin origin = door::Origin::kElsewhere, WalkTally* tally = nullptr);
