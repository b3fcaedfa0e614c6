// Decisions about paths for the file-tree deletion.
#include "engine/PathRules.h"
#include "engine/Text.h"

std::string DirectoryBase(const std::string& directory)
{
    if (!directory.empty() && directory.back() == '\\') return directory;
    return directory + "\\";
}

bool ComposeEntryPath(const std::string& base, const std::string& name, std::string* path)
{
    if (base.size() + name.size() > kMaxPathChars) return false;
    *path = base + name;
    return true;
}

namespace {

// Upper case, without trailing backslashes (but "C:" stays "C:").
std::string Normalized(const std::string& path)
{
    std::string text = UpperAscii(path);
    while (!text.empty() && text.back() == '\\') text.pop_back();
    return text;
}

bool IsRoot(const std::string& normalized)
{
    if (normalized.size() <= 2) return true;  // "", "C:", "\"
    if (normalized.compare(0, 2, "\\\\") == 0) {
        // \\server\share is the root of a share: two components after the leading pair.
        size_t slash = normalized.find('\\', 2);
        if (slash == std::string::npos) return true;
        return normalized.find('\\', slash + 1) == std::string::npos;
    }
    return false;
}

// `ancestor` is `path` itself or a directory above it.
bool IsSameOrAncestor(const std::string& ancestor, const std::string& path)
{
    if (ancestor.empty()) return false;
    if (path.compare(0, ancestor.size(), ancestor) != 0) return false;
    return path.size() == ancestor.size() || path[ancestor.size()] == '\\';
}

}  // namespace

bool IsProtectedDirectory(const std::string& fullPath, const std::vector<std::string>& guarded)
{
    std::string path = Normalized(fullPath);
    if (IsRoot(path)) return true;
    for (const std::string& entry : guarded) {
        std::string guard = Normalized(entry);
        if (guard.empty()) continue;
        if (IsSameOrAncestor(path, guard)) return true;
    }
    return false;
}

bool PathMatchesPattern(const std::string& path, const std::string& pattern)
{
    if (pattern.empty()) return false;
    return UpperAscii(path).find(UpperAscii(pattern)) != std::string::npos;
}
