// Deletion of file trees and of files by pattern.
#include "engine/FileTree.h"
#include "engine/Handles.h"
#include "engine/PathRules.h"
#include "engine/ProtectedPlaces.h"
#include <cstring>
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

// The walk below a directory that has passed the checks. Only the attributes the listing
// already holds are looked at here: the checks cost once per tree, never once per file.
int DeleteTree(const std::string& directory)
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
        if (!ComposeEntryPath(base, entry.cFileName, &path)) continue;
        if (IsDirectory(entry)) {
            // A link is never entered, which would empty its target, nor removed: Wine's
            // RemoveDirectoryA removes the target of a link to an empty directory.
            if (entry.cFileName[0] != '.' && !IsLink(entry)) DeleteTree(path);
        } else if (!DeleteFileA(path.c_str())) {
            result = static_cast<int>(GetLastError());
        }
    } while (FindNextFileA(find.get(), &entry));
    return result;
}

}  // namespace

RefusalRule CheckTreeDeletion(const char* directory)
{
    if (directory == NULL || std::strlen(directory) <= 3) return RefusalRule::kShortPath;
    if (std::strlen(directory) > kMaxPathChars) return RefusalRule::kUnresolvedPath;
    return CheckDirectoryForDeletion(directory);
}

int DeleteDirectoryContents(const char* directory)
{
    if (CheckTreeDeletion(directory) != RefusalRule::kNone) return -1;
    return DeleteTree(directory);
}

int DeleteMatchingFiles(const char* pattern, const char* directory)
{
    if (pattern == NULL || directory == NULL) return -1;
    if (std::strlen(directory) > kMaxPathChars ||
        CheckDirectoryForDeletion(directory) != RefusalRule::kNone)
        return -1;
    std::string base = DirectoryBase(directory);
    std::string listing;
    if (!ComposeEntryPath(base, "*.*", &listing)) return -1;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(listing.c_str(), &entry));
    if (!find.valid()) return -1;
    int result = 0;
    do {
        std::string path;
        if (IsDirectory(entry) || !ComposeEntryPath(base, entry.cFileName, &path)) continue;
        if (PathMatchesPattern(path, pattern) && !DeleteFileA(path.c_str()))
            result = static_cast<int>(GetLastError());
    } while (FindNextFileA(find.get(), &entry));
    return result;
}
