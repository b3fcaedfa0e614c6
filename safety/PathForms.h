// The system's spellings of one path: its full, short (8.3) and long forms.
#pragma once
#include <string>

// GetFullPathNameA within 259 characters, or "" when it fails or the result is longer.
std::string FullPathOf(const std::string& path);

// The short and the long form of a full path. A path that does not exist wholly gets the
// form of its longest existing part, followed by the rest as given; "" when not even its
// root resolves. The long form needs GetLongPathNameA, which Windows 95 lacks: it is bound
// at the first call, and there the long form is always "".
std::string ShortFormOf(const std::string& fullPath);
std::string LongFormOf(const std::string& fullPath);

// True when `path` is `directory` or lies below it in any of their spellings (full, short,
// long), case ignored; false when either is not a path the system resolves.
bool IsAtOrBelowInAnySpelling(const std::string& path, const std::string& directory);
