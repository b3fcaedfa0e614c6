// Deletion of file trees and of files by pattern.
#include "engine/FileTree.h"
#include "log/RemovalLog.h"
#include "base/Handles.h"
#include "engine/PathRules.h"
#include "safety/ProtectedPlaces.h"
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
            if (entry.cFileName[0] == '.') continue;
            // A link is never entered, which would empty its target, nor removed: Wine's
            // RemoveDirectoryA removes the target of a link to an empty directory.
            if (!IsLink(entry)) DeleteTree(path);
            else LOG_OUTCOME(kRefused, "DIR", "not entered, by rule link: %s", path.c_str());
        } else if (DeleteFileA(path.c_str())) {
            LOG_OUTCOME(kRemoved, "FILE", "deleted %s", path.c_str());
        } else {
            result = static_cast<int>(GetLastError());
            LOG_OUTCOME(kLeft, "FILE", "left %s " LOG_ERROR_FORMAT, path.c_str(), LOG_ERROR_ARGS(result));
        }
    } while (FindNextFileA(find.get(), &entry));
    return result;
}

// The log's line for a directory that a rule refuses.
void LogRefusal(const char* keyword, RefusalRule rule, const char* directory)
{
    if (removal_log::on)
        LOG_OUTCOME(kRefused, keyword, "refused by rule %s: %s", RefusalRuleName(rule), directory);
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
    RefusalRule rule = CheckTreeDeletion(directory);
    if (rule != RefusalRule::kNone) {
        LogRefusal("TREE", rule, directory);
        return -1;
    }
    LOG_LINE("TREE", "emptying %s", directory);
    int result = DeleteTree(directory);
    if (result == -1) LOG_LINE("TREE", "not found: %s", directory);
    return result;
}

bool RemoveEmptyDirectory(const char* directory)
{
    RefusalRule rule = CheckTreeDeletion(directory);
    if (rule != RefusalRule::kNone) {
        LogRefusal("DIR", rule, directory);
        return false;
    }
    return RemoveEmptiedDirectory(directory);
}

bool RemoveEmptiedDirectory(const char* directory)
{
    if (RemoveDirectoryA(directory)) {
        LOG_OUTCOME(kRemoved, "DIR", "removed %s", directory);
        return true;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        LOG_LINE("DIR", "not found: %s", directory);
    else
        LOG_OUTCOME(kLeft, "DIR", "left %s " LOG_ERROR_FORMAT, directory, LOG_ERROR_ARGS(error));
    return false;
}

int DeleteMatchingFiles(const char* pattern, const char* directory)
{
    if (pattern == NULL || directory == NULL) return -1;
    RefusalRule rule = std::strlen(directory) > kMaxPathChars ? RefusalRule::kUnresolvedPath
                                                              : CheckDirectoryForDeletion(directory);
    if (rule != RefusalRule::kNone) {
        LogRefusal("PATTERN", rule, directory);
        return -1;
    }
    LOG_LINE("PATTERN", "files matching %s in %s", pattern, directory);
    std::string base = DirectoryBase(directory);
    std::string listing;
    if (!ComposeEntryPath(base, "*.*", &listing)) return -1;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(listing.c_str(), &entry));
    if (!find.valid()) {
        LOG_LINE("PATTERN", "directory not found: %s", directory);
        return -1;
    }
    int result = 0;
    do {
        std::string path;
        if (IsDirectory(entry) || !ComposeEntryPath(base, entry.cFileName, &path)) continue;
        if (!PathMatchesPattern(path, pattern)) continue;
        if (DeleteFileA(path.c_str())) {
            LOG_OUTCOME(kRemoved, "FILE", "deleted %s", path.c_str());
        } else {
            result = static_cast<int>(GetLastError());
            LOG_OUTCOME(kLeft, "FILE", "left %s " LOG_ERROR_FORMAT, path.c_str(), LOG_ERROR_ARGS(result));
        }
    } while (FindNextFileA(find.get(), &entry));
    return result;
}
