// Every operation of the door, in a run and in a preview, with what the rules allow and with
// what they refuse: its outcome, whether the machine shows the change (only in a run that was
// allowed), and the line the log says it with.
#include "door/Door.h"
#include "log/RemovalLog.h"
#include "tests/support/DoorRun.h"
#include "tests/support/LogStory.h"
#include "tests/support/SavedKey.h"
#include "tests/support/ShellLinks.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <objbase.h>
#include <functional>
#include <memory>

using namespace testing_support;

namespace {

// What the stand-ins below were asked to do.
int masksWritten = 0, channelsRemoved = 0, itemsRemoved = 0, jobsDeleted = 0, jobCursor = 0;

int WINAPI WriteMasksStandIn(char*, char*) { return ++masksWritten; }
int WINAPI RemoveChannelStandIn(const char*, const char*, int) { return ++channelsRemoved; }
int WINAPI DesktopItemStandIn(int, const char*, const char*, const char*, int) { return ++itemsRemoved; }
int WINAPI FirstJob(int* cursor) { *cursor = 1; return jobCursor = 1; }
int WINAPI NextJob(int* cursor) { return ++*cursor <= 3 ? (jobCursor = *cursor) : 0; }
int WINAPI DeleteJobStandIn(int) { return ++jobsDeleted; }
int WINAPI EndJobs(int) { return 0; }

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";

// The places one cell works on: a private install directory, files beside it, a test key.
struct Place {
    ScratchDir root{"door"};
    std::string install = root / "inst\\";
    std::string outside = root / "other\\";
    std::string key = "Software\\UninstTests\\Door-" + std::to_string(GetCurrentProcessId());
    Place()
    {
        for (const char* name : {"a.dll", "ro.exe", "tree\\t.txt", "startup.bat", "from.exe", "to.exe"})
            WriteTextFile(install + name, "x");
        MakeDirectories(install + "tree\\sub");
        MakeDirectories(install + "empty");
        MakeDirectories(outside + "empty");
        WriteTextFile(outside + "a.dll", "x");
        WriteTextFile(install + "from.exe", "from");
        SetAttributes(install + "ro.exe", FILE_ATTRIBUTE_READONLY);
        WriteShellLink(root / "scan.lnk", install + "a.dll", "");
        SetStringValue(HKEY_CURRENT_USER, key + "\\gone", "v", "x");
        SetStringValue(HKEY_CURRENT_USER, key, "v", "x");
        masksWritten = channelsRemoved = itemsRemoved = jobsDeleted = 0;
    }
    ~Place()
    {
        SetAttributes(install + "ro.exe", FILE_ATTRIBUTE_NORMAL);
        DeleteKeyTree(HKEY_CURRENT_USER, key);
    }
};

// One operation: `run` makes it, given whether the rules must refuse it (then its arguments, or
// the install directory of its run, are what a rule refuses); `changed` tells the machine's side.
struct Operation {
    const char* name;
    bool throughInstallation;  // refused by an install directory that is no private place
    const char* keyword;       // of its log line
    door::Did verb;            // the verb of its line when made
    const char* rule;          // the rule that refuses it
    std::function<door::Outcome(Place&, bool refused)> run;
    std::function<bool(Place&)> changed;
};

const std::string kDevice = "\\\\?\\";

std::vector<Operation> Operations()
{
    using door::Did;
    return {
        {"DeleteProductFile", false, "FILE", Did::kDeleted, "outside-installation",
         [](Place& p, bool refused) { return door::DeleteProductFile((refused ? p.outside : p.install) + "a.dll", door::FileOwner::kProduct); },
         [](Place& p) { return !FileExists(p.install + "a.dll") || !FileExists(p.outside + "a.dll"); }},
        {"DeleteProductFile (the program's)", false, "FILE", Did::kDeleted, "unresolved-path",
         [](Place& p, bool refused) { return door::DeleteProductFile((refused ? kDevice : "") + p.install + "a.dll", door::FileOwner::kProgram); },
         [](Place& p) { return !FileExists(p.install + "a.dll"); }},
        {"DeleteShortcut", false, "FILE", Did::kDeleted, "foreign-shortcut",
         [](Place& p, bool refused) { return door::DeleteShortcut(p.root / "scan.lnk", {refused ? p.outside : p.install}); },
         [](Place& p) { return !FileExists(p.root / "scan.lnk"); }},
        {"AcceptTree and DeleteInTree", false, "E ", Did::kDeleted, "outside-installation",  // TREE refuses, FILE deletes
         [](Place& p, bool refused) {
             door::Tree tree;
             door::Outcome accepted = door::AcceptTree(door::TreeUse::kEmpty, door::Origin::kInstallation,
                                                       (refused ? p.outside : p.install) + "tree", &tree);
             return accepted.done() ? door::DeleteInTree(tree, tree.base() + "t.txt") : accepted;
         },
         [](Place& p) { return !FileExists(p.install + "tree\\t.txt"); }},
        {"DeleteInTree (a path outside its tree)", false, "FILE", Did::kDeleted, "unresolved-path",
         [](Place& p, bool refused) {
             door::Tree tree;
             door::AcceptTree(door::TreeUse::kEmpty, door::Origin::kInstallation, p.install + "tree", &tree);
             return door::DeleteInTree(tree, refused ? p.install + "a.dll" : tree.base() + "t.txt");
         },
         [](Place& p) { return !FileExists(p.install + "a.dll") || !FileExists(p.install + "tree\\t.txt"); }},
        {"RemoveEmptyDirectory", false, "DIR", Did::kRemoved, "outside-installation",
         [](Place& p, bool refused) { return door::RemoveEmptyDirectory(door::Origin::kInstallation, (refused ? p.outside : p.install) + "empty"); },
         [](Place& p) { return !DirectoryExists(p.install + "empty") || !DirectoryExists(p.outside + "empty"); }},
        {"RemoveEmptyDirectory (below a tree)", false, "DIR", Did::kRemoved, "unresolved-path",
         [](Place& p, bool refused) {
             door::Tree tree;
             door::AcceptTree(door::TreeUse::kEmpty, door::Origin::kInstallation, p.install + "tree", &tree);
             return door::RemoveEmptyDirectory(tree, refused ? p.install + "empty" : tree.base() + "sub");
         },
         [](Place& p) { return !DirectoryExists(p.install + "tree\\sub") || !DirectoryExists(p.install + "empty"); }},
        {"WriteTextFile", false, "STARTUP", Did::kWritten, "unresolved-path",
         [](Place& p, bool refused) { return door::WriteTextFile("STARTUP", door::Reach::kOwnPlace, (refused ? kDevice : "") + p.install + "startup.bat", "new", false, "1 line(s)"); },
         [](Place& p) { return ReadTextFile(p.install + "startup.bat") == "new"; }},
        {"WriteTextFile (through the install directory)", true, "STARTUP", Did::kWritten, "install-directory",
         [](Place& p, bool) { return door::WriteTextFile("STARTUP", door::Reach::kInstallDirectory, p.install + "startup.bat", "new", false, "1 line(s)"); },
         [](Place& p) { return ReadTextFile(p.install + "startup.bat") == "new"; }},
        {"CopyOver", false, "COPY", Did::kCopied, "unresolved-path",
         [](Place& p, bool refused) { return door::CopyOver(p.install + "from.exe", (refused ? kDevice : "") + p.install + "to.exe"); },
         [](Place& p) { return ReadTextFile(p.install + "to.exe") == "from"; }},
        {"ClearReadOnly", true, "FILE", Did::kCleared, "install-directory",
         [](Place& p, bool) { return door::ClearReadOnly(p.install + "ro.exe"); },
         [](Place& p) { return (GetFileAttributesA((p.install + "ro.exe").c_str()) & FILE_ATTRIBUTE_READONLY) == 0; }},
        {"SaveShortcut", false, "SHORTCUT", Did::kWritten, "unresolved-path",
         [](Place& p, bool refused) {
             CoInitialize(NULL);
             door::Outcome outcome = door::SaveShortcut((refused ? kDevice : "") + (p.root / "new.lnk"), p.install + "a.dll");
             CoUninitialize();
             return outcome;
         },
         [](Place& p) { return FileExists(p.root / "new.lnk"); }},
        {"DeleteAtRestart", true, "RESTART", Did::kListed, "install-directory",
         [](Place& p, bool) { return door::DeleteAtRestart(p.install + "a.dll"); },
         [](Place&) { return ValueExists(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations"); }},
        {"StartRemovalBatch", true, "SELFREMOVAL", Did::kStarted, "install-directory",
         [](Place& p, bool) {
             WriteTextFile(p.install + "run.bat", "cd > \"" + p.install + "ran.txt\"\r\n");
             door::Outcome outcome = door::StartRemovalBatch(p.install + "run.bat");
             SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
             SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
             for (int wait = 0; outcome.done() && !door::Previewing() && wait < 100 && !FileExists(p.install + "ran.txt"); ++wait) Sleep(50);
             Sleep(200);  // lets the interpreter end before the directory goes
             return outcome;
         },
         [](Place& p) { return FileExists(p.install + "ran.txt"); }},
        {"DeleteKey", false, "KEY", Did::kDeleted, "root-child-key",
         [](Place& p, bool refused) { return door::DeleteKey(kRootCurrentUser, refused ? "Software" : p.key + "\\gone", "the key"); },
         [](Place& p) { return !KeyExists(HKEY_CURRENT_USER, p.key + "\\gone"); }},
        {"DeleteValue", false, "VALUE", Did::kDeleted, "system-value",
         [](Place& p, bool refused) {
             return refused ? door::DeleteValue(kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "QELnone", "a value")
                            : door::DeleteValue(kRootCurrentUser, p.key, "v", "a value");
         },
         [](Place& p) { return !ValueExists(HKEY_CURRENT_USER, p.key, "v"); }},
        {"WriteTextValue", false, "RETRY", Did::kWritten, "system-configuration",
         [](Place& p, bool refused) {
             return refused ? door::WriteTextValue("RETRY", door::Reach::kOwnPlace, kRootLocalMachine, "System\\CurrentControlSet\\Control", "QELUninstTry", "x", 2)
                            : door::WriteTextValue("RETRY", door::Reach::kOwnPlace, kRootCurrentUser, p.key, "w", "x", 2);
         },
         [](Place& p) { return ValueExists(HKEY_CURRENT_USER, p.key, "w") || ValueExists(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control", "QELUninstTry"); }},
        {"WriteTextValue (through the install directory)", true, "RETRY", Did::kWritten, "install-directory",
         [](Place& p, bool) { return door::WriteTextValue("RETRY", door::Reach::kInstallDirectory, kRootCurrentUser, p.key, "w", "x", 2); },
         [](Place& p) { return ValueExists(HKEY_CURRENT_USER, p.key, "w"); }},
        {"WriteMasks", true, "MASKS", Did::kWritten, "install-directory",
         [](Place&, bool) {
             char products[] = "3", modules[] = "7";
             return door::WriteMasks(&WriteMasksStandIn, products, modules);
         },
         [](Place&) { return masksWritten > 0; }},
        {"RemoveChannel", true, "RESTORE", Did::kRemoved, "install-directory",
         [](Place&, bool) { return door::RemoveChannel(&RemoveChannelStandIn, "http://x/c.cdf", "t"); },
         [](Place&) { return channelsRemoved > 0; }},
        {"RemoveDesktopItem", true, "RESTORE", Did::kRemoved, "install-directory",
         [](Place&, bool) { return door::RemoveDesktopItem(&DesktopItemStandIn, "http://x/i.cdf", "http://x/a.htm", "t"); },
         [](Place&) { return itemsRemoved > 0; }},
        {"DeleteJobs", true, "RESTORE", Did::kDeleted, "install-directory",
         [](Place&, bool) { return door::DeleteJobs(&FirstJob, &DeleteJobStandIn, &NextJob, &EndJobs); },
         [](Place&) { return jobsDeleted == 3; }},
    };
}

TEST(OneDoor, EveryOperationAsksTheRulesAndSaysWhatItDid)
{
    SavedKey pending{HKEY_LOCAL_MACHINE, kSessionManager};  // the deletions at the next start
    ScratchDir logDir{"doorlog"};
    const std::string log = logDir / "log.txt";
    for (const Operation& operation : Operations()) {
        for (int cell = 0; cell < 4; ++cell) {
            const bool preview = cell & 1, refused = (cell & 2) != 0;
            SCOPED_TRACE(std::string(operation.name) + (preview ? ", preview" : ", run") +
                         (refused ? ", refused" : ", allowed"));
            Place place;
            DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations");
            removal_log::Request(log);
            removal_log::Open(nullptr);
            door::Outcome outcome;
            {
                // What an install directory that is no private place refuses: a drive root.
                DoorRun run(refused && operation.throughInstallation ? "C:\\" : place.install, preview);
                const size_t before = LogLines(log).size();
                outcome = operation.run(place, refused);
                std::vector<std::string> lines = LogLines(log);
                lines.erase(lines.begin(), lines.begin() + static_cast<long>(before));
                const std::string said = Joined(lines);
                if (refused) {
                    EXPECT_EQ(door::Result::kRefused, outcome.result);
                    EXPECT_STREQ(operation.rule, RefusalRuleName(outcome.rule));
                    EXPECT_NE(std::string::npos, said.find(std::string("rule ") + operation.rule)) << said;
                } else {
                    EXPECT_EQ(door::Result::kDone, outcome.result) << "error " << outcome.error;
                    EXPECT_NE(std::string::npos, said.find(door::Verb(operation.verb))) << said;
                    EXPECT_EQ(std::string::npos, said.find("rule ")) << said;
                }
                EXPECT_NE(std::string::npos, said.find(operation.keyword)) << said;
                EXPECT_EQ(preview && !refused, said.find("would ") != std::string::npos) << said;
            }
            removal_log::Close();
            DeleteFileA(log.c_str());
            EXPECT_EQ(!preview && !refused, operation.changed(place));
        }
    }
    DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations");
}

// The two the table leaves out: a restart, which a run would make of the test's own machine,
// and the release of a SharedDLLs count, which only DeleteProductFile's rules make.
TEST(OneDoor, APreviewRequestsNoRestart)
{
    ScratchDir logDir{"doorlog"};
    const std::string log = logDir / "log.txt";
    removal_log::Request(log);
    removal_log::Open(nullptr);
    {
        DoorRun run("C:\\AV\\", true);
        EXPECT_TRUE(door::RestartWindows().done());
    }
    removal_log::Close();
    EXPECT_NE(std::string::npos, Joined(LogLines(log)).find("RESTART  would request a restart of Windows"));
}

}  // namespace
