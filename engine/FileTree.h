// Deletion of the files of a directory tree, and of the files of one directory by pattern.
#pragma once
#include "safety/Refusal.h"

// The rule that refuses to empty or remove `directory`, or kNone: three characters or fewer,
// a path longer than 259 characters, or any rule of CheckDirectoryForDeletion (a device
// form, a root, a protected place or one that holds it, a path through a link).
// Callers apply it before they remove a directory themselves.
RefusalRule CheckTreeDeletion(const char* directory);

// Deletes every file below `directory`, at every depth; no directory is removed, and no
// link to a directory is entered. Returns -1 when CheckTreeDeletion refuses the directory or
// it cannot be listed; 0 when every deletion directly in it succeeded; otherwise the error
// code of the last deletion directly in it that failed.
int DeleteDirectoryContents(const char* directory);

// Deletes the files directly in `directory` whose upper-cased full path contains the
// upper-cased `pattern`. Sub-directories are left alone. Results as above, except that a
// directory of three characters or fewer is not refused for its length alone (a root still is,
// and so is a path longer than 259 characters).
int DeleteMatchingFiles(const char* pattern, const char* directory);

// Removes `directory` when CheckTreeDeletion allows it and it is empty; the removal log notes
// what happened. True when it is gone.
bool RemoveEmptyDirectory(const char* directory);

// The same for a directory that DeleteDirectoryContents has just accepted (its result was not
// -1), without checking it a second time.
bool RemoveEmptiedDirectory(const char* directory);
