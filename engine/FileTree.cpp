// Deletion of file trees and of files by pattern. The door checks a tree once; the walk then
// meets every file of it, and only the listing's own attributes are looked at per file.
#include "engine/FileTree.h"
#include "base/Handles.h"
#include "engine/EntryPaths.h"
#include "engine/InUse.h"
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

int DeleteTree(const door::Tree& tree, const std::string& directory, WalkTally& tally)
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
            if (!IsLink(entry)) {
                DeleteTree(tree, path, tally);
            } else {
                LOG_REFUSAL(true, "DIR", "not entered, %s link: %s", KeptWords(RefusalRule::kLink), path.c_str());
                tally.NoteRefusal(RefusalRule::kLink);
            }
        } else {
            door::Outcome deleted = door::DeleteInTree(tree, path);
            tally.Note(deleted);
            if (!deleted.done()) result = static_cast<int>(deleted.error);
        }
    } while (FindNextFileA(find.get(), &entry));
    return result;
}

}  // namespace

void WalkTally::Note(const door::Outcome& outcome)
{
    if (outcome.result == door::Result::kFailed && IsInUse(outcome.error) && inUse == 0) inUse = outcome.error;
    else if (outcome.result == door::Result::kRefused) NoteRefusal(outcome.rule);
}

void WalkTally::NoteRefusal(RefusalRule rule)
{
    if (cannotTell == RefusalRule::kNone && CannotTell(rule)) cannotTell = rule;
}

int EmptyTree(const char* directory, door::Origin origin, door::Tree* tree, WalkTally* tally)
{
    WalkTally ignored;
    WalkTally& met = tally ? *tally : ignored;
    if (directory == NULL) return -1;
    door::Outcome accepted = door::AcceptTree(door::TreeUse::kEmpty, origin, directory, tree);
    met.Note(accepted);
    if (!accepted.done()) return -1;
    LOG_LINE("TREE", "emptying %s", directory);
    int result = DeleteTree(*tree, directory, met);
    if (result == -1) LOG_LINE("TREE", "not found: %s", directory);
    return result;
}

int DeleteMatchingFiles(const char* pattern, const char* directory, door::Origin origin, WalkTally* tally)
{
    WalkTally ignored;
    WalkTally& met = tally ? *tally : ignored;
    door::Tree tree;
    if (pattern == NULL || directory == NULL) return -1;
    door::Outcome accepted = door::AcceptTree(door::TreeUse::kPattern, origin, directory, &tree);
    met.Note(accepted);
    if (!accepted.done()) return -1;
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
        met.Note(deleted);
        if (!deleted.done()) result = static_cast<int>(deleted.error);
    } while (FindNextFileA(find.get(), &entry));
    return result;
}
