// The door's changes to files and directories.
#include "door/Door.h"
#include "base/Handles.h"
#include "base/PathLimits.h"
#include "base/SystemDirectories.h"
#include "base/Text.h"
#include "log/RemovalLog.h"
#include "door/DoorState.h"
#include "rules/ChangeRules.h"
#include "rules/PlaceRules.h"
#include "rules/PathForms.h"
#include "rules/SharedFileRules.h"
#include <cstring>
#include <algorithm>

namespace door {

using namespace detail;

namespace {

// The line of a file deletion that was tried.
void LogFileDeletion(const Outcome& outcome, const std::string& path)
{
    if (!removal_log::on) return;
    if (outcome.done())
        LOG_OUTCOME(kRemoved, "FILE", "%s %s", Verb(Did::kDeleted), path.c_str());
    else if (outcome.result == Result::kMissing)
        LOG_LINE("FILE", "not found: %s", path.c_str());
    else
        LOG_OUTCOME(kLeft, "FILE", "left %s " LOG_ERROR_FORMAT, path.c_str(), LOG_ERROR_ARGS(outcome.error));
}

Outcome Delete(const std::string& path)
{
    if (State().preview) return PreviewFileDeletion(path);
    if (!DeleteFileA(path.c_str())) return FromError(GetLastError());
    ChangeMade();
    return Done();
}

// Whether the product's count under this value name was released, by this run or an earlier one.
bool ReleasedBefore(const std::string& valueName)
{
    const std::vector<std::string>& released = State().released;
    return std::find(released.begin(), released.end(), UpperAscii(valueName)) != released.end() ||
           ReleasedEarlier(valueName);
}

// A file other programs count on stays; one counted once goes, and so does its count. Counts
// are read for any full path: installers count files outside the system directory too.
bool KeptForItsCount(FileSpellings& file, const std::string& path, SharedFileCount* count)
{
    *count = LookUpSharedFile(file);
    const SharedFileDecision& decision = count->decision;
    if (decision.action == SharedFileAction::kKeep) {
        LOG_REFUSAL(CannotTell(decision.rule), "FILE", "%s %s: %s (its SharedDLLs count %s is not a number)",
                    KeptWords(decision.rule), RefusalRuleName(decision.rule), path.c_str(), count->valueName.c_str());
        return true;
    }
    if (decision.action != SharedFileAction::kDelete && ReleasedBefore(count->valueName)) {
        LOG_OUTCOME(kRefused, "FILE", "kept by rule %s: %s (the product's count of it was released before)",
                    RefusalRuleName(RefusalRule::kSharedFile), path.c_str());
        count->decision.action = SharedFileAction::kKeep;
        return true;
    }
    if (decision.action == SharedFileAction::kKeepAndRelease) {
        LOG_OUTCOME(kRefused, "FILE",
                    "kept by rule %s: %s (other programs count on it; its count is lowered to %lu "
                    "once the module is removed)",
                    RefusalRuleName(decision.rule), path.c_str(),
                    static_cast<unsigned long>(decision.newCount));
        return true;
    }
    return false;
}

void LogFileRefusal(RefusalRule rule, const std::string& path, const std::string& company)
{
    if (company.empty())
        LOG_REFUSAL(CannotTell(rule), "FILE", "%s %s: %s", KeptWords(rule), RefusalRuleName(rule), path.c_str());
    else
        LOG_REFUSAL(CannotTell(rule), "FILE", "%s %s: %s (its version information names %s)", KeptWords(rule),
                    RefusalRuleName(rule), path.c_str(), company.c_str());
}

const char* TreeKeyword(TreeUse use)
{
    return use == TreeUse::kEmpty ? "TREE" : "PATTERN";
}

bool Below(const Tree& tree, const std::string& path)
{
    const std::string& base = tree.base();
    return path.size() >= base.size() && path.compare(0, base.size(), base) == 0 &&
           (path.size() == base.size() || path[base.size()] != '\\');
}

void LogDirectoryRemoval(const Outcome& outcome, const std::string& directory)
{
    if (!removal_log::on) return;
    if (outcome.done())
        LOG_OUTCOME(kRemoved, "DIR", "%s %s", Verb(Did::kRemoved), directory.c_str());
    else if (outcome.result == Result::kMissing)
        LOG_LINE("DIR", "not found: %s", directory.c_str());
    else if (outcome.result == Result::kRefused)
        LOG_REFUSAL(CannotTell(outcome.rule), "DIR", "%s %s: %s", RefusedWords(outcome.rule),
                    RefusalRuleName(outcome.rule), directory.c_str());
    else
        LOG_OUTCOME(kLeft, "DIR", "left %s " LOG_ERROR_FORMAT, directory.c_str(), LOG_ERROR_ARGS(outcome.error));
}

// What a preview can know of a directory's removal: it goes when everything in it would be
// deleted by then.
Outcome PreviewDirectoryRemoval(const std::string& directory)
{
    const std::string name = GoneName(directory);
    DWORD attributes = GetFileAttributesA(directory.c_str());
    if (IsGone(name) || attributes == INVALID_FILE_ATTRIBUTES) return Missing(ERROR_FILE_NOT_FOUND);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Failed(ERROR_DIRECTORY);
    const std::string base = DirectoryBase(directory);
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA((base + "*.*").c_str(), &entry));
    if (find.valid()) {
        do {
            if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) continue;
            // The walk took an entry by its short name where its listed name names another.
            const bool byShortName =
                UseOfListedName(entry.cFileName, entry.cAlternateFileName) == ListedNameUse::kShortName;
            if (!IsGone(GoneName(base + (byShortName ? entry.cAlternateFileName : entry.cFileName))))
                return Failed(ERROR_DIR_NOT_EMPTY);
        } while (FindNextFileA(find.get(), &entry));
    }
    MarkGone(name);
    return Done();
}

Outcome Remove(const std::string& directory)
{
    if (State().preview) return PreviewDirectoryRemoval(directory);
    if (!RemoveDirectoryA(directory.c_str())) return FromError(GetLastError());
    ChangeMade();
    return Done();
}

// The rule for a change at a place the program fixes itself, and through the install directory
// when it reaches that too.
RefusalRule ProgramPlaceRule(Reach reach, const std::string& path)
{
    return reach == Reach::kInstallDirectory ? CheckProgramFileThroughInstallation(TheInstallation(), path)
                                             : CheckProgramFile(path);
}

}  // namespace

Outcome DeleteProductFile(const std::string& path, FileOwner owner, SharedFileCount* count)
{
    FileSpellings file;
    IdentityOf(path, &file);
    return DeleteProductFile(path, file, owner, count);
}

Outcome DeleteProductFile(const std::string& path, FileSpellings& file, FileOwner owner, SharedFileCount* count)
{
    std::string company;
    RefusalRule rule = owner == FileOwner::kProduct
                           ? CheckProductFile(TheInstallation(), SystemForms(), file, &company)
                           : CheckProgramFile(path);
    if (rule != RefusalRule::kNone) {
        LogFileRefusal(rule, path, company);
        return Refused(rule);
    }
    if (count && KeptForItsCount(file, path, count)) return Refused(count->decision.rule);
    Outcome outcome = Delete(path);
    LogFileDeletion(outcome, path);
    return outcome;
}

Outcome AcceptTree(TreeUse use, Origin origin, const std::string& directory, Tree* tree)
{
    std::vector<std::string> forms;
    RefusalRule rule = CheckDirectory(TheInstallation(), use == TreeUse::kEmpty, origin == Origin::kInstallation,
                                      directory, &forms);
    if (rule != RefusalRule::kNone) {
        LOG_REFUSAL(CannotTell(rule), TreeKeyword(use), "%s %s: %s", RefusedWords(rule), RefusalRuleName(rule),
                    directory.c_str());
        return Refused(rule);
    }
    tree->base_ = DirectoryBase(directory);
    tree->counted_ = AnySharedFileBelow(forms);
    const InstallationRecord& installation = TheInstallation();
    tree->since_ = installation.shared && origin == Origin::kInstallation ? installation.since : 0;
    return Done();
}

Outcome DeleteInTree(const Tree& tree, const std::string& path, unsigned long long created)
{
    // The user's own files in a folder shared with the product: there before the product came.
    if (CreatedBeforeProduct(created, tree.since_)) {
        LogFileRefusal(RefusalRule::kUserFile, path, std::string());
        return Refused(RefusalRule::kUserFile);
    }
    if (tree.counted_) {
        // Other programs count on the files of this tree too: one counted more than once stays.
        const SharedFileCount count = LookUpSharedFile(path);
        SharedFileDecision decision = count.decision;
        // Counted once, but that once was the product's, released before: another's now.
        if (decision.action == SharedFileAction::kDeleteAndForget && ReleasedBefore(count.valueName))
            decision.rule = RefusalRule::kSharedFile;
        if (decision.rule != RefusalRule::kNone) {
            LOG_REFUSAL(CannotTell(decision.rule), "FILE", "%s %s: %s (other programs count on it)",
                        KeptWords(decision.rule), RefusalRuleName(decision.rule), path.c_str());
            return Refused(decision.rule);
        }
    }
    // A path the walk did not meet below the tree is none of its files.
    if (!Below(tree, path)) return RefusedWithLine("FILE", RefusalRule::kUnresolvedPath, path);
    Outcome outcome = Delete(path);
    LogFileDeletion(outcome, path);
    return outcome;
}

Outcome RemoveEmptyDirectory(Origin origin, const std::string& directory)
{
    std::vector<std::string> forms;
    RefusalRule rule = CheckDirectory(TheInstallation(), true, origin == Origin::kInstallation, directory, &forms);
    Outcome outcome = rule != RefusalRule::kNone ? Refused(rule) : Remove(directory);
    LogDirectoryRemoval(outcome, directory);
    return outcome;
}

Outcome RemoveEmptyDirectory(const Tree& tree, const std::string& directory)
{
    Outcome outcome = Below(tree, DirectoryBase(directory)) ? Remove(directory) : Refused(RefusalRule::kUnresolvedPath);
    LogDirectoryRemoval(outcome, directory);
    return outcome;
}

namespace {

// Writes the whole text to an open file and ends the file there; 0, or the system's error.
DWORD WriteWhole(HANDLE file, const std::string& content)
{
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        (!content.empty() && (!WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, NULL) ||
                              written != content.size())) ||
        !SetEndOfFile(file))
        return GetLastError();
    ChangeMade();
    return 0;
}

// Deletes a file the door wrote itself (a replacement's text); true when it is gone.
bool DeleteOwnFile(const std::string& path)
{
    if (!DeleteFileA(path.c_str())) return false;
    ChangeMade();
    return true;
}

// The new text goes whole into the replacement file first; only then does the old file give way
// to it. A run ended anywhere leaves either the old text or the new one whole, and the next
// run's CompleteTextFile finishes what was begun. Where the replacement cannot take the file's
// place (another program holds the file open; nothing may be created beside it), the file stays
// as it is: a text written over it in place could be left half-written.
Outcome ReplaceText(const std::string& path, const std::string& content, DWORD attributes)
{
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    const std::string replacement = ReplacementPath(path);
    // The file keeps its attributes (a hidden or system start-up file stays so).
    DWORD error = WriteWhole(FileHandle(CreateFileA(replacement.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                                    existed ? attributes : FILE_ATTRIBUTE_NORMAL, NULL)).get(),
                             content);
    if (error == 0 && existed && !DeleteFileA(path.c_str())) error = GetLastError();
    if (error != 0) {
        DeleteOwnFile(replacement);
        return Failed(error);
    }
    if (existed) ChangeMade();
    if (!MoveFileA(replacement.c_str(), path.c_str())) return Failed(GetLastError());
    ChangeMade();
    return Done();
}

}  // namespace

std::string ReplacementPath(const std::string& path)
{
    std::string replacement = path;
    if (!replacement.empty()) replacement.back() = '~';
    return replacement;
}

Outcome WriteTextFile(const char* keyword, Reach reach, const std::string& path, const std::string& content,
                      bool create, const char* what)
{
    const RefusalRule rule = ProgramPlaceRule(reach, path);
    if (rule != RefusalRule::kNone) return RefusedWithLine(keyword, rule, path);
    Outcome outcome = Done();
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && !create) outcome = FromError(GetLastError());
    else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        outcome = Failed(ERROR_ACCESS_DENIED);
    else if (!State().preview)
        outcome = ReplaceText(path, content, attributes);
    if (outcome.done())
        LOG_OUTCOME(kRemoved, keyword, "%s %s: %s", Verb(Did::kWritten), path.c_str(), what);
    else
        LOG_OUTCOME(kLeft, keyword, "left %s (%s) " LOG_ERROR_FORMAT, path.c_str(), what,
                    LOG_ERROR_ARGS(outcome.error));
    return outcome;
}

Outcome CompleteTextFile(const std::string& path)
{
    const RefusalRule rule = CheckProgramFile(path);
    if (rule != RefusalRule::kNone) return Refused(rule);
    const std::string replacement = ReplacementPath(path);
    DWORD attributes = GetFileAttributesA(replacement.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Missing(ERROR_FILE_NOT_FOUND);
    if (State().preview) return Done();
    // With the old file still there the new text may be cut short: the old one counts, and the
    // run writes its text again. Without it the new text was whole before the old one went.
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        DeleteOwnFile(replacement);
        return Done();
    }
    if (!MoveFileA(replacement.c_str(), path.c_str())) return Failed(GetLastError());
    ChangeMade();
    return Done();
}

Outcome CopyOver(const std::string& from, const std::string& to)
{
    // Only `to` changes: `from` is read. A newer owner's file stays.
    const RefusalRule rule = CheckCopyTarget(from, to);
    if (rule != RefusalRule::kNone) return RefusedWithLine("COPY", rule, to);
    Outcome outcome = Done();
    if (State().preview) {
        DWORD source = GetFileAttributesA(from.c_str());
        DWORD target = GetFileAttributesA(to.c_str());
        if (source == INVALID_FILE_ATTRIBUTES) outcome = FromError(GetLastError());
        else if (target != INVALID_FILE_ATTRIBUTES && (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
            outcome = Failed(ERROR_ACCESS_DENIED);
    } else if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
        outcome = Failed(GetLastError());
    } else {
        ChangeMade();
    }
    if (outcome.done())
        LOG_LINE("COPY", "%s %s over %s", Verb(Did::kCopied), from.c_str(), to.c_str());
    else
        LOG_OUTCOME(kLeft, "COPY", "left %s: not copied over %s " LOG_ERROR_FORMAT, from.c_str(),
                    to.c_str(), LOG_ERROR_ARGS(outcome.error));
    return outcome;
}

Outcome ClearReadOnly(const std::string& path)
{
    const RefusalRule rule = ProgramPlaceRule(Reach::kInstallDirectory, path);
    if (rule != RefusalRule::kNone) return RefusedWithLine("FILE", rule, path);
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FromError(GetLastError());
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return Done();
    Outcome outcome = Done();
    if (!State().preview) {
        if (SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) ChangeMade();
        else outcome = Failed(GetLastError());
    }
    if (outcome.done())
        LOG_LINE("FILE", "read-only attribute %s: %s", Verb(Did::kCleared), path.c_str());
    else
        LOG_LINE("FILE", "read-only attribute left on %s " LOG_ERROR_FORMAT, path.c_str(),
                 LOG_ERROR_ARGS(outcome.error));
    return outcome;
}

Outcome DeleteAtRestart(const std::string& path)
{
    const RefusalRule rule = ProgramPlaceRule(Reach::kInstallDirectory, path);
    if (rule != RefusalRule::kNone) return RefusedWithLine("RESTART", rule, path);
    Outcome outcome = Done();
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return Missing(ERROR_FILE_NOT_FOUND);
    if (!State().preview) {
        if (MoveFileExA(path.c_str(), NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) ChangeMade();
        else outcome = Failed(GetLastError());
    }
    if (outcome.done())
        LOG_LINE("RESTART", "%s for deletion at the next start (MoveFileEx): %s", Verb(Did::kListed), path.c_str());
    else
        LOG_LINE("RESTART", "%s could not be handed to the next start: " LOG_ERROR_FORMAT, path.c_str(),
                 LOG_ERROR_ARGS(outcome.error));
    return outcome;
}

Outcome StartRemovalBatch(const std::string& batchPath)
{
    const RefusalRule rule = ProgramPlaceRule(Reach::kInstallDirectory, batchPath);
    if (rule != RefusalRule::kNone) return RefusedWithLine("SELFREMOVAL", rule, batchPath);
    Outcome outcome = Done();
    if (!State().preview) {
        // The command line is the batch path, quoted when it holds a blank.
        const bool quote = batchPath.find(' ') != std::string::npos;
        char commandLine[kPathSize + 2];
        if (batchPath.size() > kMaxPathChars) return Failed(ERROR_BUFFER_OVERFLOW);
        char* end = commandLine;
        if (quote) *end++ = '"';
        end = std::copy(batchPath.begin(), batchPath.end(), end);
        if (quote) *end++ = '"';
        *end = '\0';
        STARTUPINFOA startup;
        std::memset(&startup, 0, sizeof startup);
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION process;
        std::memset(&process, 0, sizeof process);
        if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE,
                            CREATE_SUSPENDED | IDLE_PRIORITY_CLASS, NULL, "\\", &startup, &process)) {
            outcome = Failed(GetLastError());
        } else {
            FileHandle processHandle(process.hProcess);
            FileHandle threadHandle(process.hThread);
            // The batch gets the processor only once this program waits or has ended.
            SetThreadPriority(threadHandle.get(), THREAD_PRIORITY_IDLE);
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
            SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
            processHandle.Close();
            ResumeThread(threadHandle.get());
            ChangeMade();
        }
    }
    if (outcome.done())
        LOG_LINE("SELFREMOVAL", "batch %s %s", batchPath.c_str(), Verb(Did::kStarted));
    else
        LOG_LINE("SELFREMOVAL", "the batch %s did not start: " LOG_ERROR_FORMAT, batchPath.c_str(),
                 LOG_ERROR_ARGS(outcome.error));
    return outcome;
}

Outcome RestartWindows()
{
    LOG_LINE("RESTART", "%s a restart of Windows", Verb(Did::kRequested));
    if (State().preview) return Done();
    // The restart may end this program before it returns: the log ends first.
    removal_log::Close();
    if (!ExitWindowsEx(EWX_REBOOT, 0)) return Failed(GetLastError());
    ChangeMade();
    return Done();
}

}  // namespace door
