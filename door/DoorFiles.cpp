// The door's changes to files and directories.
#include "door/Door.h"
#include "base/Handles.h"
#include "base/PathLimits.h"
#include "base/SystemDirectories.h"
#include "base/Text.h"
#include "log/RemovalLog.h"
#include "door/DoorState.h"
#include "rules/PlaceRules.h"
#include "rules/PathForms.h"
#include "rules/ProtectedPlaces.h"
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
        LOG_OUTCOME(kRemoved, "FILE", "%s %s", Verb("deleted"), path.c_str());
    else if (outcome.result == Result::kMissing)
        LOG_LINE("FILE", "not found: %s", path.c_str());
    else
        LOG_OUTCOME(kLeft, "FILE", "left %s " LOG_ERROR_FORMAT, path.c_str(), LOG_ERROR_ARGS(outcome.error));
}

Outcome Delete(const std::string& path)
{
    if (State().preview) return PreviewFileDeletion(path);
    if (DeleteFileA(path.c_str())) return Done();
    return FromError(GetLastError());
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

const std::vector<std::string>& SystemForms()
{
    std::vector<std::string>& forms = State().systemForms;
    if (forms.empty()) {
        const std::string system = FullPathOf(SystemDirectory());
        if (!system.empty()) forms = FormsOf(system);
    }
    return forms;
}

// Whether one of the product's files may go from where it lies: from the private install
// directory, or from the system directory when neither Windows nor another company owns it.
RefusalRule CheckProductFile(FileSpellings& file, std::string* company)
{
    const std::string& full = file.full;
    if (full.empty() || IsDevicePath(full)) return RefusalRule::kUnresolvedPath;
    CompleteSpellings(&file);
    const std::vector<std::string>& forms = file.forms;
    const RunState& state = State();
    RefusalRule rule = RefusalRule::kNone;
    if (IsAtOrBelowAnyForm(forms, SystemForms())) {
        rule = CheckSystemFile(full, company);
        // Without the vendor's version information a file is the product's by its name, or,
        // directly in the system directory, by a SharedDLLs count; deeper down (drivers\etc,
        // iosubsys, ...) lie Windows' own files, and only the product's name tells one apart.
        if (rule == RefusalRule::kNone && company->empty() && !HasProductsName(full)) {
            if (!IsAtOrBelowAnyForm(SystemForms(), FormsOf(full.substr(0, full.rfind('\\')))))
                rule = RefusalRule::kWindowsDirectory;
            else if (LookUpSharedFile(file).valueName.empty())
                rule = RefusalRule::kNoEvidence;
        }
    }
    else if (state.installRule != RefusalRule::kNone)
        rule = RefusalRule::kInstallDirectory;
    else if (!IsAtOrBelowAnyForm(forms, state.installForms))
        rule = RefusalRule::kOutsideInstallation;
    if (rule == RefusalRule::kNone && PassesThroughLink(full.substr(0, full.rfind('\\'))))
        rule = RefusalRule::kLink;
    return rule;
}

// A file at a place the program fixes itself: a full path, reached through no link.
RefusalRule CheckProgramFile(const std::string& path)
{
    const std::string full = FullPathOf(path);
    if (full.empty() || IsDevicePath(full) || CheckFullPath(full) != RefusalRule::kNone)
        return RefusalRule::kUnresolvedPath;
    return PassesThroughLink(full.substr(0, full.rfind('\\'))) ? RefusalRule::kLink : RefusalRule::kNone;
}

void LogFileRefusal(RefusalRule rule, const std::string& path, const std::string& company)
{
    if (company.empty())
        LOG_REFUSAL(CannotTell(rule), "FILE", "%s %s: %s", KeptWords(rule), RefusalRuleName(rule), path.c_str());
    else
        LOG_REFUSAL(CannotTell(rule), "FILE", "%s %s: %s (its version information names %s)", KeptWords(rule),
                    RefusalRuleName(rule), path.c_str(), company.c_str());
}

// A path's parent directory and the first word of its own name, upper-cased, without trailing
// backslashes: "C:\PROGRAM FILES" and "MORWA" for C:\Program Files\Morwa Vantorix\; false for a
// root or less.
bool ParentAndFirstWord(const std::string& path, std::string* parent, std::string* word)
{
    size_t end = path.find_last_not_of('\\');
    if (end == std::string::npos) return false;
    size_t slash = path.rfind('\\', end);
    if (slash == std::string::npos || slash < 3) return false;
    *parent = UpperAscii(path.substr(0, slash));
    const std::string name = UpperAscii(path.substr(slash + 1, end - slash));
    *word = name.substr(0, name.find(' '));
    return true;
}

// True when some spelling of each has the same parent, and their names the same first word (the
// vendor's naming: Morwa Vantorix beside Morwa Antivirus, never Internet Explorer beside it).
bool BesideAndNamedAlike(const std::vector<std::string>& forms, const std::vector<std::string>& others)
{
    std::string parent, word, otherParent, otherWord;
    for (const std::string& form : forms)
        for (const std::string& other : others)
            if (ParentAndFirstWord(form, &parent, &word) && ParentAndFirstWord(other, &otherParent, &otherWord) &&
                parent == otherParent && word == otherWord)
                return true;
    return false;
}

// True when both paths name the same drive letter.
bool OnDriveOf(const std::string& path, const std::string& other)
{
    return path.size() >= 2 && other.size() >= 2 && path[1] == ':' && other[1] == ':' &&
           UpperAscii(path[0]) == UpperAscii(other[0]);
}

// The rule for a directory: inside the private install directory anything but a link may go;
// what is composed on the install directory goes nowhere else; what is named elsewhere must be
// a private place of its own. `forms` receives the directory's spellings.
RefusalRule CheckDirectory(TreeUse use, Origin origin, const std::string& directory, std::vector<std::string>& forms)
{
    if (use == TreeUse::kEmpty && directory.size() <= 3) return RefusalRule::kShortPath;
    if (directory.size() > kMaxPathChars) return RefusalRule::kUnresolvedPath;
    std::string full;
    RefusalRule rule = DirectoryForms(directory.c_str(), &full, &forms);
    if (rule != RefusalRule::kNone) return rule;
    const RunState& state = State();
    if (state.installRule == RefusalRule::kNone && IsAtOrBelowAnyForm(forms, state.installForms))
        return PassesThroughLink(full) ? RefusalRule::kLink : RefusalRule::kNone;
    if (origin == Origin::kInstallation)
        return state.installRule != RefusalRule::kNone ? RefusalRule::kInstallDirectory
                                                       : RefusalRule::kOutsideInstallation;
    // Where the system cannot tell what a drive stands for, only the drives of Windows and of the
    // install directory are taken as what they are: another may be a folder of either.
    if (!SystemTellsDrive(full) && !OnDriveOf(full, WindowsDirectory()) &&
        !(state.installRule == RefusalRule::kNone && OnDriveOf(full, state.installDir)))
        return RefusalRule::kUnresolvedDrive;
    if (OnAnAliasOfDrive(full, WindowsDirectory())) return RefusalRule::kUnresolvedDrive;
    // An edition's folder of its own beside the private install directory and named alike
    // (C:\Program Files\Morwa Vantorix beside C:\Program Files\Morwa Antivirus) is private as
    // that one is.
    if (state.installRule == RefusalRule::kNone && BesideAndNamedAlike(forms, state.installForms)) {
        std::vector<std::string> ignored;
        return CheckInstallDirectory(full, &ignored);
    }
    return CheckDirectoryForDeletion(directory.c_str());
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
        LOG_OUTCOME(kRemoved, "DIR", "%s %s", Verb("removed"), directory.c_str());
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
    std::string base = directory;
    if (base.empty() || base.back() != '\\') base += '\\';
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA((base + "*.*").c_str(), &entry));
    if (find.valid()) {
        do {
            if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) continue;
            if (!IsGone(GoneName(base + entry.cFileName))) return Failed(ERROR_DIR_NOT_EMPTY);
        } while (FindNextFileA(find.get(), &entry));
    }
    MarkGone(name);
    return Done();
}

Outcome Remove(const std::string& directory)
{
    if (State().preview) return PreviewDirectoryRemoval(directory);
    if (RemoveDirectoryA(directory.c_str())) return Done();
    return FromError(GetLastError());
}

bool LastWritten(const std::string& path, FILETIME* time)
{
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(path.c_str(), &entry));
    if (!find.valid()) return false;
    *time = entry.ftLastWriteTime;
    return true;
}

// A copy goes over the product's file, or one without an owner's name; a file that another
// company's version information names, written after the copy's source, stays: a newer owner
// put it there.
RefusalRule NewerOwner(const std::string& from, const std::string& to)
{
    FILETIME target, source;
    if (!LastWritten(to, &target)) return RefusalRule::kNone;
    std::string company;
    const std::string full = FullPathOf(to);
    RefusalRule rule = full.empty() ? RefusalRule::kUnresolvedPath : CheckSystemFile(full, &company);
    if (rule == RefusalRule::kNone) return rule;
    if (rule == RefusalRule::kOtherCompany && LastWritten(from, &source) && CompareFileTime(&target, &source) <= 0)
        return RefusalRule::kNone;
    return rule;
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
    RefusalRule rule = owner == FileOwner::kProduct ? CheckProductFile(file, &company) : CheckProgramFile(path);
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
    RefusalRule rule = CheckDirectory(use, origin, directory, forms);
    if (rule != RefusalRule::kNone) {
        LOG_REFUSAL(CannotTell(rule), TreeKeyword(use), "%s %s: %s", RefusedWords(rule), RefusalRuleName(rule),
                    directory.c_str());
        return Refused(rule);
    }
    tree->base_ = directory;
    if (tree->base_.empty() || tree->base_.back() != '\\') tree->base_ += '\\';
    tree->counted_ = AnySharedFileBelow(forms);
    return Done();
}

Outcome DeleteInTree(const Tree& tree, const std::string& path)
{
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
    Outcome outcome = Below(tree, path) ? Delete(path) : Refused(RefusalRule::kUnresolvedPath);
    LogFileDeletion(outcome, path);
    return outcome;
}

Outcome RemoveEmptyDirectory(Origin origin, const std::string& directory)
{
    std::vector<std::string> forms;
    RefusalRule rule = CheckDirectory(TreeUse::kEmpty, origin, directory, forms);
    Outcome outcome = rule != RefusalRule::kNone ? Refused(rule) : Remove(directory);
    LogDirectoryRemoval(outcome, directory);
    return outcome;
}

Outcome RemoveEmptyDirectory(const Tree& tree, const std::string& directory)
{
    std::string inside = directory;
    if (inside.empty() || inside.back() != '\\') inside += '\\';
    Outcome outcome = Below(tree, inside) ? Remove(directory) : Refused(RefusalRule::kUnresolvedPath);
    LogDirectoryRemoval(outcome, directory);
    return outcome;
}

Outcome WriteTextFile(const char* keyword, const std::string& path, const std::string& content,
                      bool create, const char* what)
{
    Outcome outcome;
    if (State().preview) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES && !create) outcome = FromError(GetLastError());
        else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
            outcome = Failed(ERROR_ACCESS_DENIED);
    } else {
        // An existing file is opened shared like a C runtime file opened for update, so that a
        // reader does not lock us out; a new one is written by this program alone.
        FileHandle file(create ? CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL)
                               : CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
        DWORD written = 0;
        if (!file.valid())
            outcome = FromError(GetLastError());
        else if (!content.empty() &&
                 (!WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, NULL) ||
                  written != content.size()))
            outcome = Failed(GetLastError());
        else if (!SetEndOfFile(file.get()))
            outcome = Failed(GetLastError());
    }
    if (outcome.done())
        LOG_OUTCOME(kRemoved, keyword, "%s %s: %s", Verb("written"), path.c_str(), what);
    else
        LOG_OUTCOME(kLeft, keyword, "left %s (%s) " LOG_ERROR_FORMAT, path.c_str(), what,
                    LOG_ERROR_ARGS(outcome.error));
    return outcome;
}

Outcome CopyOver(const std::string& from, const std::string& to)
{
    Outcome outcome;
    RefusalRule rule = NewerOwner(from, to);
    if (rule != RefusalRule::kNone) {
        LOG_OUTCOME(kRefused, "COPY", "kept by rule %s: %s (another owner wrote it after %s)",
                    RefusalRuleName(rule), to.c_str(), from.c_str());
        return Refused(rule);
    }
    if (State().preview) {
        DWORD source = GetFileAttributesA(from.c_str());
        DWORD target = GetFileAttributesA(to.c_str());
        if (source == INVALID_FILE_ATTRIBUTES) outcome = FromError(GetLastError());
        else if (target != INVALID_FILE_ATTRIBUTES && (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
            outcome = Failed(ERROR_ACCESS_DENIED);
    } else if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
        outcome = Failed(GetLastError());
    }
    if (outcome.done())
        LOG_LINE("COPY", "%s %s over %s", Verb("copied"), from.c_str(), to.c_str());
    else
        LOG_OUTCOME(kLeft, "COPY", "left %s: not copied over %s " LOG_ERROR_FORMAT, from.c_str(),
                    to.c_str(), LOG_ERROR_ARGS(outcome.error));
    return outcome;
}

Outcome ClearReadOnly(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FromError(GetLastError());
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return Done();
    Outcome outcome;
    if (!State().preview && !SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        outcome = Failed(GetLastError());
    if (outcome.done())
        LOG_LINE("FILE", "read-only attribute %s: %s", Verb("cleared"), path.c_str());
    else
        LOG_LINE("FILE", "read-only attribute left on %s " LOG_ERROR_FORMAT, path.c_str(),
                 LOG_ERROR_ARGS(outcome.error));
    return outcome;
}

Outcome DeleteAtRestart(const std::string& path)
{
    Outcome outcome;
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return Missing(ERROR_FILE_NOT_FOUND);
    if (!State().preview && !MoveFileExA(path.c_str(), NULL, MOVEFILE_DELAY_UNTIL_REBOOT))
        outcome = Failed(GetLastError());
    if (outcome.done())
        LOG_LINE("RESTART", "%s for deletion at the next start (MoveFileEx): %s", Verb("listed"), path.c_str());
    else
        LOG_LINE("RESTART", "%s could not be handed to the next start: " LOG_ERROR_FORMAT, path.c_str(),
                 LOG_ERROR_ARGS(outcome.error));
    return outcome;
}

Outcome StartRemovalBatch(const std::string& batchPath)
{
    Outcome outcome;
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
        }
    }
    if (outcome.done())
        LOG_LINE("SELFREMOVAL", "batch %s %s", batchPath.c_str(), Verb("started"));
    else
        LOG_LINE("SELFREMOVAL", "the batch %s did not start: " LOG_ERROR_FORMAT, batchPath.c_str(),
                 LOG_ERROR_ARGS(outcome.error));
    return outcome;
}

Outcome RestartWindows()
{
    LOG_LINE("RESTART", "%s a restart of Windows", Verb("requested"));
    if (State().preview) return Done();
    // The restart may end this program before it returns: the log ends first.
    removal_log::Close();
    if (!ExitWindowsEx(EWX_REBOOT, 0)) return Failed(GetLastError());
    return Done();
}

}  // namespace door
