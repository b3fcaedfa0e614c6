// Deletion of file trees and of files by pattern. The door checks a tree once; the walk then
// meets every file of it, and only the listing's own attributes are looked at per file.
#include "engine/FileTree.h"
#include "base/Handles.h"
#include "engine/EntryPaths.h"
#include "log/RemovalLog.h"
#include <string>

namespace {

bool IsDirectory(const WIN32_FIND_DATAA& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A junction or symbolic link to a directory (Wine reports a Unix symbolic link so too).
bool IsLink(const WIN32_FIND_DATAA& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

int DeleteTree(const door::Tree& tree, const std::string& directory)
{
    std::string base = DirectoryBase(directory);
    std::string listing;
    if (!ComposeEntryPath(base, "*.*", &listing)) return -1;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(listing.c_str(), &entry));
    if (!find.valid()) return -1;
    int result = 0;
    do {
        std::string path;
        if (!ComposeEntryPath(base, entry.cFileName, &path) || door::AlreadyGone(path)) continue;
        if (IsDirectory(entry)) {
            if (entry.cFileName[0] == '.') continue;
            // A link is never entered, which would empty its target, nor removed: Wine's
            // RemoveDirectoryA removes the target of a link to an empty directory.
            if (!IsLink(entry)) DeleteTree(tree, path);
            else LOG_OUTCOME(kRefused, "DIR", "not entered, by rule link: %s", path.c_str());
        } else {
            door::Outcome deleted = door::DeleteInTree(tree, path);
            if (!deleted.done()) result = static_cast<int>(deleted.error);
        }
    } while (FindNextFileA(find.get(), &entry));
    return result;
}

}  // namespace

int EmptyTree(const char* directory, door::Origin origin, door::Tree* tree)
{
    if (directory == NULL || !door::AcceptTree(door::TreeUse::kEmpty, origin, directory, tree).done()) return -1;
    LOG_LINE("TREE", "emptying %s", directory);
    int result = DeleteTree(*tree, directory);
    if (result == -1) LOG_LINE("TREE", "not found: %s", directory);
    return result;
}

int DeleteMatchingFiles(const char* pattern, const char* directory, door::Origin origin)
{
    door::Tree tree;
    if (pattern == NULL || directory == NULL ||
        !door::AcceptTree(door::TreeUse::kPattern, origin, directory, &tree).done())
        return -1;
    LOG_LINE("PATTERN", "files matching %s in %s", pattern, directory);
    std::string listing;
    if (!ComposeEntryPath(tree.base(), "*.*", &listing)) return -1;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(listing.c_str(), &entry));
    if (!find.valid()) {
        LOG_LINE("PATTERN", "directory not found: %s", directory);
        return -1;
    }
    int result = 0;
    do {
        std::string path;
        if (IsDirectory(entry) || !ComposeEntryPath(tree.base(), entry.cFileName, &path)) continue;
        if (!PathMatchesPattern(path, pattern) || door::AlreadyGone(path)) continue;
        door::Outcome deleted = door::DeleteInTree(tree, path);
        if (!deleted.done()) result = static_cast<int>(deleted.error);
    } while (FindNextFileA(find.get(), &entry));
    return result;
}
