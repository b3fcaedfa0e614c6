// Decisions about paths for the file-tree deletion.
#include "engine/EntryPaths.h"
#include "base/Text.h"

bool ComposeEntryPath(const std::string& base, const std::string& name, std::string* path)
{
    if (base.size() + name.size() > kMaxPathChars) return false;
    *path = base + name;
    return true;
}

bool PathMatchesPattern(const std::string& path, const std::string& pattern)
{
    if (pattern.empty()) return false;
    return UpperAscii(path).find(UpperAscii(pattern)) != std::string::npos;
}
