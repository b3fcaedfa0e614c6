// Deletion of file trees and of files by pattern. The door checks a tree once; the walk then
// meets every file of it, and only the listing's own attributes are looked at per file.
#include "engine/FileTree.h"
#include "base/Handles.h"
#include "engine/EntryPaths.h"
#include "engine/InUse.h"
#include "log/RemovalLog.h"
#include "rules/PlaceRules.h"
#include "rules/ProtectedPlaces.h"
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

// The path of a listed entry below `base`, composed only of a name that names that entry (its
// own, or its short name once the system confirms that it names the same entry); false, with
// the entry left and logged, otherwise.
bool EntryPath(const std::string& base, const WIN32_FIND_DATAA& entry, std::string* path, WalkTally& tally)
{
    const std::string name = entry.cFileName, shortName = entry.cAlternateFileName;
    ListedNameUse use = UseOfListedName(name, shortName);
    if (use == ListedNameUse::kName) return ComposeEntryPath(base, name, path);
    if (use == ListedNameUse::kShortName && ComposeEntryPath(base, shortName, path)) {
        WIN32_FIND_DATAA found;
        FindHandle find(FindFirstFileA(path->c_str(), &found));
        if (find.valid() && std::strcmp(found.cFileName, entry.cFileName) == 0 &&
            std::strcmp(found.cAlternateFileName, entry.cAlternateFileName) == 0) {
            LOG_LINE(IsDirectory(entry) ? "DIR" : "FILE", "%s%s taken by its short name %s, by rule %s",
                     base.c_str(), name.c_str(), path->c_str(), RefusalRuleName(ListedNameRule(name)));
            return true;
        }
    }
    LOG_OUTCOME(kRefused, IsDirectory(entry) ? "DIR" : "FILE", "left by rule %s: %s%s",
                RefusalRuleName(ListedNameRule(name)), base.c_str(), name.c_str());
    tally.NoteRefusal(ListedNameRule(name));
    return false;
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
        if (IsDirectory(entry) && entry.cFileName[0] == '.') continue;
        if (!EntryPath(base, entry, &path, tally) || door::AlreadyGone(path)) continue;
        if (IsDirectory(entry)) {
            // A link is never entered, which would empty its target, nor removed: Wine's
            // RemoveDirectoryA removes the target of a link to an empty directory. It is judged
            // again as the walk enters, and held while the walk is inside.
            HeldDirectory held;
            if (!IsLink(entry) && HoldDirectoryNoLink(path, &held)) {
                DeleteTree(tree, path, tally);
            } else {
                LOG_REFUSAL(true, "DIR", "not entered, %s link: %s", KeptWords(RefusalRule::kLink), path.c_str());
                tally.NoteRefusal(RefusalRule::kLink);
            }
        } else {
            door::Outcome deleted = door::DeleteInTree(tree, path, door::CreationOf(entry));
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
    HeldDirectory held;
    if (GetFileAttributesA(directory) != INVALID_FILE_ATTRIBUTES && !HoldDirectoryNoLink(directory, &held)) {
        LOG_REFUSAL(true, "TREE", "not entered, %s link: %s", KeptWords(RefusalRule::kLink), directory);
        met.NoteRefusal(RefusalRule::kLink);
        return -1;
    }
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
        if (IsDirectory(entry) || !EntryPath(tree.base(), entry, &path, met)) continue;
        if (!PathMatchesPattern(path, pattern) || door::AlreadyGone(path)) continue;
        door::Outcome deleted = door::DeleteInTree(tree, path, door::CreationOf(entry));
        met.Note(deleted);
        if (!deleted.done()) result = static_cast<int>(deleted.error);
    } while (FindNextFileA(find.get(), &entry));
    return result;
}
