// The one door through which every change the program makes to the machine passes, the calls
// that change the product's libraries' state included. Each operation asks rules/ first, makes
// the change (in a preview it only finds out what the change would do), and writes the removal
// log's line with the outcome. The callers say what to change and why; the door decides
// whether and how.
#pragma once
#include "rules/Installation.h"
#include "rules/PathForms.h"
#include "rules/Refusal.h"
#include "rules/RegistryRoot.h"
#include "rules/SharedFiles.h"
#include <windows.h>
#include <string>
#include <vector>

namespace door {

// How one change ended.
enum class Result {
    kFailed,   // the system refused it: `error` says why; also what an outcome starts as
    kDone,     // made (in a preview: it would be)
    kMissing,  // there was nothing to change (a file, directory, key or value not found)
    kRefused,  // a rule refused it: `rule` says which
};

// An outcome starts as a failure: only an operation that made its change says kDone.
struct Outcome {
    Result result = Result::kFailed;
    unsigned long error = 0;  // the system's error code, for kFailed and kMissing
    RefusalRule rule = RefusalRule::kNone;
    bool done() const { return result == Result::kDone; }
};

// ---- The run ------------------------------------------------------------------------------

// Starts a run: the protected places are gathered now, before anything is deleted, and kept
// for the run. `installDir` (with its trailing backslash, or empty when unknown) is the
// directory the product's own files lie in: it starts the run's one record of the
// installation, which Begin judges now and every check of the run reads. In a preview nothing
// is changed: every operation reports what it would do and the log says "would ...".
void Begin(const std::string& installDir, bool preview);

// The edition's own directory into the run's record, as the registry names it under
// `valueName` ("" when the run's editions name none); `keyOpens` is false when the key that
// holds it does not open. Noted once, at the run's start, before anything is changed.
void NoteEditionDirectory(const char* valueName, bool keyOpens, const std::string& directory);

// Ends the run: the places are gathered anew at every check again, and the preview is over.
void End();

bool Previewing();

// The run's record of the installation, as Begin judged it (an empty one outside a run).
const InstallationRecord& TheInstallation();

// ---- Files, trees, directories ------------------------------------------------------------

// Whose file a deletion takes, which decides the rules it must pass.
enum class FileOwner {
    kProduct,  // one of the product's files, named by the manifest or by the program itself: it
               // goes from the private install directory, or from the system directory unless
               // another company's or Windows' own
    kProgram,  // a file at a place the program fixes itself (the start-up companion, the
               // Maintenance Wizard's copies, the self-removal batch)
};

// Deletes one file. With `count`, the file's SharedDLLs count decides too: a file that other
// programs still count on stays (refused by rule shared-file, the count to lower is returned),
// and a file counted once goes (its count to remove is returned); *count is then applied with
// ReleaseSharedCount once the module is removed.
Outcome DeleteProductFile(const std::string& path, FileOwner owner, SharedFileCount* count = nullptr);

// The same with the file's spellings as a list composed them once (IdentityOf); the rest of
// them is computed here once and kept in `file` for the next check.
Outcome DeleteProductFile(const std::string& path, FileSpellings& file, FileOwner owner,
                          SharedFileCount* count = nullptr);

// Deletes a shortcut only when it points at one of `targets` (files, or directories it may lie
// in), in any spelling; any other shortcut, or a file that is no shortcut, is another's.
Outcome DeleteShortcut(const std::string& path, const std::vector<std::string>& targets);

// Lowers or removes a SharedDLLs count that DeleteProductFile returned. A count lowered is
// recorded first (kReleasedCountsKey), so that nothing lowers it again: a file whose count the
// product released before is another's from then on.
Outcome ReleaseSharedCount(const SharedFileCount& count);

// Deletes the record of released counts, once the removal has ended.
Outcome ForgetReleases();

// What a tree is accepted for; also the keyword of its log lines.
enum class TreeUse { kEmpty, kPattern };

// Where a directory comes from, which decides the rules it must pass.
enum class Origin {
    kInstallation,  // composed on the install directory: only inside it, and only when it is private
    kElsewhere,     // named elsewhere (an edition's directory): inside the private install
                    // directory, or a private place of its own
};

// A directory the rules let the program empty and remove: made only by AcceptTree, so that the
// files a walk deletes below it can be taken without checking each of them again.
class Tree {
public:
    const std::string& base() const { return base_; }  // the directory with a trailing backslash

private:
    friend Outcome AcceptTree(TreeUse use, Origin origin, const std::string& directory, Tree* tree);
    friend Outcome DeleteInTree(const Tree& tree, const std::string& path, unsigned long long created);
    std::string base_;
    bool counted_ = false;  // a SharedDLLs value names a file in it
    unsigned long long since_ = 0;  // in a shared install directory: when the product came
};

// Checks a directory once, before it is emptied (every rule, the short-path rule included) or
// before files are deleted in it by pattern (no length rule: a pattern's directory may be
// short, while a root is still refused).
Outcome AcceptTree(TreeUse use, Origin origin, const std::string& directory, Tree* tree);

// Deletes a file met by a walk below an accepted tree (a path outside it is refused). Only
// failures are costly: the rules are not looked at again. `created` is what its listing tells
// of its creation (CreationOf): in an install directory the user shares with the product, a
// file there before the product came is the user's and stays (user-file).
Outcome DeleteInTree(const Tree& tree, const std::string& path, unsigned long long created = 0);

// What a listed entry tells of its creation, in FILETIME ticks (0: nothing).
unsigned long long CreationOf(const WIN32_FIND_DATAA& entry);

// In a preview, whether a walk should pass over an entry because an earlier operation would
// have deleted it already; never so in a real run.
bool AlreadyGone(const std::string& path);

// Removes an empty directory, checking the rules first.
Outcome RemoveEmptyDirectory(Origin origin, const std::string& directory);

// Removes an empty directory at or below an accepted tree, without checking it again.
Outcome RemoveEmptyDirectory(const Tree& tree, const std::string& directory);

// ---- Other changes to files ---------------------------------------------------------------

// What one of the program's own changes reaches besides its place, which decides the rules it
// must pass.
enum class Reach {
    kOwnPlace,          // a place the program fixes itself and nothing more (the QELCL line)
    kInstallDirectory,  // the install directory too (the line that names it, WININIT.INI's
                        // deletions, the self-removal batch, the RunOnce values): only where the
                        // install directory is a private place
};

// Replaces the whole text of an existing file (the start-up file), or creates it (WININIT.INI,
// the self-removal batch) when `create` is set. The text is written whole to the replacement
// file beside it (ReplacementPath) first, and only then takes the old file's place, so that a
// run cut short never leaves a file half-written. `keyword` and `what` say in the log what the
// text is. The file must be a full path reached through no link.
Outcome WriteTextFile(const char* keyword, Reach reach, const std::string& path, const std::string& content,
                      bool create, const char* what);

// Finishes a replacement of `path` that an earlier run began and did not end: the replacement
// file becomes the file when the old one is gone (its text was whole by then), and is deleted
// when the old one is still there. kMissing when there is none. Called before the file is read.
Outcome CompleteTextFile(const std::string& path);

// The replacement file of `path`: the same name with its last character "~" ("autoexec.ba~"),
// in the same directory.
std::string ReplacementPath(const std::string& path);

// Copies a file over another (the Maintenance Wizard's saved copy over the wizard); the file
// written must be a full path reached through no link.
Outcome CopyOver(const std::string& from, const std::string& to);

// Clears a file's read-only attribute (the program's own executable, so that the batch can
// delete it): part of the self-removal, so only for a private install directory.
Outcome ClearReadOnly(const std::string& path);

// Writes a shell link at `path` (with its ".lnk") that points at `target`, with an empty
// description; `path` must be a full path reached through no link. COM must be initialised by
// the caller.
Outcome SaveShortcut(const std::string& path, const std::string& target);

// Hands a file or an empty directory to the system's deletion at its next start (MoveFileEx):
// part of the self-removal, so only for a private install directory.
Outcome DeleteAtRestart(const std::string& path);

// Starts the self-removal batch hidden, suspended and at idle priority, with the root of the
// current drive as its current directory; raises this program's own priorities; then lets it
// run. The batch removes the install directory, which must be a private place.
Outcome StartRemovalBatch(const std::string& batchPath);

// Asks Windows to restart. No place is changed, and no rule applies.
Outcome RestartWindows();

// ---- The registry -------------------------------------------------------------------------

// Deletes a key with its whole sub-tree. `shown` is the entry as the log names it. A key of the
// shared registration trees (RegistrationOf) goes only when a value of its registration names a
// file of the product (IsProductsFile), or names a registration that does (an extension's class,
// an interface's proxy); any other stays, refused by rule no-evidence.
Outcome DeleteKey(RegistryRoot root, const std::string& keyPath, const std::string& shown);

// Deletes one value, unless it stands directly in one of the system's own keys (a registration
// list such as Run excepted).
Outcome DeleteValue(RegistryRoot root, const std::string& keyPath, const std::string& name,
                    const std::string& shown);

// Writes a REG_SZ value of `size` bytes from `data` (the retry value is stored with 255 bytes
// whatever its text), never directly in one of the system's own keys (RunOnce is a registration
// list). `keyword` and `name` name it in the log.
Outcome WriteTextValue(const char* keyword, Reach reach, RegistryRoot root, const std::string& keyPath,
                       const std::string& name, const char* data, unsigned long size);

// ---- The product's libraries --------------------------------------------------------------

// The exports that change the product's libraries' state, called only through the door: only
// where the install directory is a private place (whose libraries these are), never in a
// preview, and under a fault guard each. A faulting export comes back as kFailed.
typedef int(WINAPI* InstalledMasksProc)(char* productsText, char* modulesText);
typedef int(WINAPI* RemoveChannelProc)(const char* channelUrl, const char* title, int flags);
typedef int(WINAPI* DesktopItemProc)(int action, const char* itemUrl, const char* itemPage,
                                     const char* title, int flags);
typedef int(WINAPI* JobCursorProc)(int* cursor);
typedef int(WINAPI* JobNumberProc)(int number);

// Tells the version manager the installed masks (KOLBEX_ESCRIBIRREGISTRY), as decimal texts.
Outcome WriteMasks(InstalledMasksProc writeMasks, char* productsText, char* modulesText);

// Removes the desktop channel (SM_EliminaCanalA).
Outcome RemoveChannel(RemoveChannelProc removeChannel, const char* channelUrl, const char* title);

// Removes the desktop item (SM_ManageDesktopItem with action 0).
Outcome RemoveDesktopItem(DesktopItemProc desktopItem, const char* itemUrl, const char* itemPage,
                          const char* title);

// Walks the scheduled jobs and deletes each (JOB_DeleteJob); a preview walks them without
// deleting. All four exports are needed.
Outcome DeleteJobs(JobCursorProc findFirst, JobNumberProc deleteJob, JobCursorProc findNext,
                   JobNumberProc findEnd);

// The changes the log names, each with its verb.
enum class Did { kDeleted, kRemoved, kWritten, kCopied, kStarted, kLowered, kCleared, kListed, kRequested };

// The log's verb for a change: "deleted" in a run, "would delete" in a preview, and so on.
const char* Verb(Did done);

}  // namespace door
