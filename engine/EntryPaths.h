// Decisions about paths for the file-tree deletion, kept apart from the Win32 calls.
#pragma once
#include "base/PathLimits.h"
#include "base/Text.h"
#include <string>

// `base` followed by `name`, or false when that would exceed kMaxPathChars: a longer
// path is never cut, since the cut text could name another file.
bool ComposeEntryPath(const std::string& base, const std::string& name, std::string* path);

// True when the upper-cased path contains the upper-cased pattern (an empty pattern matches
// nothing: no caller has a use for "every file").
bool PathMatchesPattern(const std::string& path, const std::string& pattern);
