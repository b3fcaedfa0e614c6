// The one door through which every change the program makes to the machine passes. Each
// operation checks the refusal rules, makes the change (in a preview it only finds out what the
// change would do), and writes the removal log's line with the outcome. The callers say what to
// change and why; the door decides whether and how.
#pragma once
#include "rules/PathForms.h"
#include "rules/Refusal.h"
#include "rules/RegistryRoot.h"
#include "rules/SharedFiles.h"
#include <string>
#include <vector>

namespace door {

// How one change ended.
enum class Result {
    kDone,     // made (in a preview: it would be)
    kMissing,  // there was nothing to change (a file, directory, key or value not found)
    kFailed,   // the system refused it: `error` says why
    kRefused,  // a rule refused it: `rule` says which
};

struct Outcome {
    Result result = Result::kDone;
    unsigned long error = 0;  // the system's error code, for kFailed and kMissing
    RefusalRule rule = RefusalRule::kNone;
    bool done() const { return result == Result::kDone; }
};

// ---- The run ------------------------------------------------------------------------------

// Starts a run: the protected places are gathered now, before anything is deleted, and kept
// for the run; `installDir` (with its trailing backslash, or empty when unknown) is the
// directory the product's own files lie in. In a preview nothing is changed: every operation
// reports what it would do and the log says "would ...".
void Begin(const std::string& installDir, bool preview);

// Ends the run: the places are gathered anew at every check again, and the preview is over.
void End();

bool Previewing();

// kNone when the install directory given to Begin is a private place, the product's own;
// otherwise the rule that makes it none, and nothing is removed through it.
RefusalRule InstallDirectoryRule();

// The install directory given to Begin when it is a private place, "" otherwise.
std::string PrivateInstallDirectory();

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
    friend Outcome DeleteInTree(const Tree& tree, const std::string& path);
    std::string base_;
    bool counted_ = false;  // a SharedDLLs value names a file in it
};

// Checks a directory once, before it is emptied (every rule, the short-path rule included) or
// before files are deleted in it by pattern (no length rule: a pattern's directory may be
// short, while a root is still refused).
Outcome AcceptTree(TreeUse use, Origin origin, const std::string& directory, Tree* tree);

// Deletes a file met by a walk below an accepted tree (a path outside it is refused). Only
// failures are costly: the rules are not looked at again.
Outcome DeleteInTree(const Tree& tree, const std::string& path);

// In a preview, whether a walk should pass over an entry because an earlier operation would
// have deleted it already; never so in a real run.
bool AlreadyGone(const std::string& path);

// Removes an empty directory, checking the rules first.
Outcome RemoveEmptyDirectory(Origin origin, const std::string& directory);

// Removes an empty directory at or below an accepted tree, without checking it again.
Outcome RemoveEmptyDirectory(const Tree& tree, const std::string& directory);

// ---- Other changes to files ---------------------------------------------------------------

// Writes `content` over the whole of an existing text file in place (the start-up file), or
// creates it (WININIT.INI, the self-removal batch) when `create` is set. `keyword` and `what`
// say in the log what the text is.
Outcome WriteTextFile(const char* keyword, const std::string& path, const std::string& content,
                      bool create, const char* what);

// Copies a file over another (the Maintenance Wizard's saved copy over the wizard).
Outcome CopyOver(const std::string& from, const std::string& to);

// Clears a file's read-only attribute (the program's own executable, so that the batch can
// delete it).
Outcome ClearReadOnly(const std::string& path);

// Writes a shell link at `path` (with its ".lnk") that points at `target`, with an empty
// description. COM must be initialised by the caller.
Outcome SaveShortcut(const std::string& path, const std::string& target);

// Hands a file or an empty directory to the system's deletion at its next start (MoveFileEx).
Outcome DeleteAtRestart(const std::string& path);

// Starts the self-removal batch hidden, suspended and at idle priority, with the root of the
// current drive as its current directory; raises this program's own priorities; then lets it
// run.
Outcome StartRemovalBatch(const std::string& batchPath);

// Asks Windows to restart.
Outcome RestartWindows();

// ---- The registry -------------------------------------------------------------------------

// Deletes a key with its whole sub-tree. `shown` is the entry as the log names it.
Outcome DeleteKey(RegistryRoot root, const std::string& keyPath, const std::string& shown);

// Deletes one value, unless it stands directly in one of the system's own keys (a registration
// list such as Run excepted).
Outcome DeleteValue(RegistryRoot root, const std::string& keyPath, const std::string& name,
                    const std::string& shown);

// Writes a REG_SZ value of `size` bytes from `data` (the retry value is stored with 255 bytes
// whatever its text). `keyword` and `shown` name it in the log.
Outcome WriteTextValue(const char* keyword, RegistryRoot root, const std::string& keyPath,
                       const std::string& name, const char* data, unsigned long size);

// ---- The product's libraries --------------------------------------------------------------

// Calls into the product's libraries that change their state (the masks, the channel, the
// jobs) are made only outside a preview; the caller asks first, and logs with Verb.
bool ChangesProductState();

// The log's verb for a change: "deleted" in a run, "would delete" in a preview, and so on for
// "removed", "written", "copied", "started", "lowered", "called".
const char* Verb(const char* done);

}  // namespace door
