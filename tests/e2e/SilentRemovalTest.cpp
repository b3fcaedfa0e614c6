// uninstall.exe as a process on the staged sample: full and partial silent removals, the masks the
// version manager is told after every module, and a refused file with its retry value and retry run.
#include "tests/support/Keys.h"
#include "tests/support/EndToEnd.h"
#include "tests/support/LogStory.h"
#include "tests/support/SavedKey.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const std::vector<std::string> kNone;
const std::string kProduct = kProductKeyName;

std::string Read(const char* products, const char* modules)
{
    return std::string("KOLBEX_LEERREGISTRY() -> \"") + products + "\", \"" + modules + "\"";
}

std::string Write(const char* products, const char* modules)
{
    return std::string("KOLBEX_ESCRIBIRREGISTRY(\"") + products + "\", \"" + modules + "\")";
}

DWORD DwordValue(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key = NULL;
    DWORD value = 0, size = sizeof value;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    if (RegQueryValueExA(key, name.c_str(), NULL, NULL, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        value = 0;
    RegCloseKey(key);
    return value;
}

std::vector<std::string> Joined(std::initializer_list<std::vector<std::string>> lists)
{
    std::vector<std::string> all;
    for (const std::vector<std::string>& list : lists) all.insert(all.end(), list.begin(), list.end());
    return all;
}

// What each module of the sample manifest names, as snapshot names.
const std::vector<std::string> kEngine = {
    Install("Engine"), System("qelvxd.vxd"), kProduct + "\\Engine",
    "HKLM\\System\\CurrentControlSet\\Services\\VxD\\QELVXD"};
const std::vector<std::string> kScanner = {
    Install("Scanner"), kProduct + "\\Scanner",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qelscan.exe", "HKCR\\Morwa.ScanList",
    "HKCR\\.qel"};
const std::vector<std::string> kMonitor = {
    Install("Monitor"), System("qelmon.vxd"), kProduct + "\\Monitor",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELMonitor", "HKCU\\Software\\Morwa Software\\Monitor"};
const std::vector<std::string> kBootScan = {Install("qelcl.exe"), Install("qelcl.dat")};
const std::vector<std::string> kMailClient = {
    Install("qelexcli.dll"), Install("qelexmsg.dll"), System("qelmapi.dll"), kProduct + "\\MailClient",
    "HKLM\\Software\\Microsoft\\Exchange\\Client\\Extensions\\Morwa Antivirus"};
const std::vector<std::string> kMailScan = {Install("Mail"), kProduct + "\\Mail",
                                            "HKCU\\Software\\Morwa Software\\Mail"};
const std::vector<std::string> kUpdate = {
    Install("Update"), kProduct + "\\Update", kProduct + "\\LastUpdate",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELUpdate"};
const std::vector<std::string> kChannel = {Install("Channel"), kProduct + "\\Channel",
                                           "HKCU\\Software\\Morwa Software\\Channel"};
const std::vector<std::string> kQuickLaunch = {Install("qelql.ico")};
const std::vector<std::string> kMaintenance = {Install("qelsage.dat"), System("qelsage.dll")};
const std::vector<std::string> kShared = {
    Install("qelres.dll"), Install("qellang.dll"), Install("qelhelp.hlp"), Install("qelhelp.cnt"),
    Install("readme.txt"), Install("qelscan.log"), Install("qelmon.log"), Install("Temp"), System("qelcomm.dll"),
    System("qelctl.ocx"), kProduct + "\\Shared", kProduct + "\\InstallDate",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morwa Antivirus 6.0",
    "HKCU\\Software\\Morwa Software\\Shared"};
// The configuration restore of every run that reaches it deletes the task library; a full
// removal also takes the start-up companion file.
const std::vector<std::string> kRestoreAlways = {Install("qeltask.dll")};
const std::vector<std::string> kRestoreFull = {Install("qeltask.dll"), "C:\\autoexec.qel"};
// Hooks of a full Vantorix removal (or of their own bits), which the runs here must leave.
const std::vector<std::string> kVantorixHooks = {
    Install("qelsubs.dll"), "HKLM\\SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE\\QELJobs for Win32"};

class SilentRemoval : public ::testing::Test {
protected:
    Sentinels sentinels{kSampleInstallDir};
    EndToEnd e2e;

    void TearDown() override
    {
        EXPECT_EQ(kNone, sentinels.Missing());
    }

    // Runs to its end with exit code 0; the report is in the failure message otherwise.
    EndToEndRun RunToEnd(const std::string& tokens)
    {
        EndToEndRun run = e2e.Run(tokens);
        EXPECT_TRUE(run.facts.finished) << e2e.Report(run);
        EXPECT_EQ(0u, run.facts.exitCode) << tokens;
        return run;
    }

    // Everything `gone` names is gone, nothing outside `gone` and `alsoAllowed` was removed, and
    // nothing `kept` names lost anything.
    void ExpectRemoved(const EndToEndRun& run, const std::vector<std::string>& gone,
                       const std::vector<std::string>& alsoAllowed, const std::vector<std::string>& kept)
    {
        staging::Difference difference = staging::Compare(run.before, run.after);
        EXPECT_EQ(kNone, StillPresent(run.after, gone)) << e2e.Report(run);
        EXPECT_EQ(kNone, RemovedOutside(difference, Joined({gone, alsoAllowed}))) << e2e.Report(run);
        EXPECT_EQ(kNone, LostFrom(difference, kept));
    }
};

TEST_F(SilentRemoval, FullRemovalOfOneEditionTakesItsModulesDirectoryAndShared)
{
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    e2e.EnableVersionManagerLog();
    EndToEndRun run = RunToEnd("qel60_uninst.ini 1 0 0");

    // The edition stays listed while its modules go; its bit goes at the shared step.
    const std::vector<std::string> calls = {Read("7", "1023"), Write("7", "1022"), Write("7", "1020"),
                                            Write("7", "1016"), Write("7", "1000"), Write("6", "1000")};
    EXPECT_EQ(calls, e2e.VersionManagerCalls());
    // A full removal checks the e-mail client first, which deletes its library whatever the edition.
    std::vector<std::string> gone = Joined({kEngine, kScanner, kMonitor, kBootScan, kShared});
    gone.push_back(Install("qelexcli.dll"));
    gone.push_back(Install("Base"));
    std::vector<std::string> kept = Joined({kMailScan, kUpdate, kChannel, kVantorixHooks});
    kept.insert(kept.end(), {Install("qelexmsg.dll"), Install("Exchange"), Install("Vantorix"), Install("qelql.ico"),
                             Install("uninstall.exe"), Install("kolbex.dll"), Install("qel60_uninst.ini")});
    ExpectRemoved(run, gone, kRestoreFull, kept);
    EXPECT_FALSE(run.after.retryCommand.has_value());
}

TEST_F(SilentRemoval, FullRemovalOfAllEditionsWalksEveryApplication)
{
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    e2e.EnableVersionManagerLog();
    EndToEndRun run = RunToEnd("qel60_uninst.ini 0 0 0");

    // Each application removes only the modules still listed, then the shared module again; with
    // productBit 0 no edition bit is cleared and no edition directory is named.
    const std::vector<std::string> calls = {
        Read("7", "1023"),  Write("7", "1022"), Write("7", "1020"), Write("7", "1016"), Write("7", "1000"),
        Write("7", "1000"), Write("7", "992"),  Write("7", "736"),  Write("7", "736"),  Write("7", "224"),
        Write("7", "192"),  Write("7", "128"),  Write("7", "0"),    Write("7", "0")};
    EXPECT_EQ(calls, e2e.VersionManagerCalls());
    std::vector<std::string> gone = Joined({kEngine, kScanner, kMonitor, kBootScan, kMailClient, kMailScan, kUpdate,
                                            kChannel, kQuickLaunch, kMaintenance, kShared});
    std::vector<std::string> kept = kVantorixHooks;
    kept.insert(kept.end(), {Install("Base"), Install("Exchange"), Install("Vantorix"), Install("uninstall.exe"),
                             Install("kolbex.dll"), Install("qel60_uninst.ini"), kProduct + "\\Path"});
    ExpectRemoved(run, gone, kRestoreFull, kept);
    EXPECT_FALSE(run.after.retryCommand.has_value());
}

TEST_F(SilentRemoval, PartialRemovalLeavesTheEditionWhileModulesRemain)
{
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    e2e.EnableVersionManagerLog();
    EndToEndRun run = RunToEnd("qel60_uninst.ini 2 8 0");

    // MailScan's mask 264 shares bit 8, so it goes too and takes 0x100 with it.
    EXPECT_EQ((std::vector<std::string>{Read("7", "1023"), Write("7", "1015"), Write("7", "759")}),
              e2e.VersionManagerCalls());
    std::vector<std::string> kept = Joined({kEngine, kScanner, kShared, kBootScan});
    kept.insert(kept.end(), {Install("Exchange"), Install("Base")});
    ExpectRemoved(run, Joined({kMailClient, kMailScan}), kRestoreAlways, kept);
    EXPECT_NE(std::string::npos, run.after.texts["C:\\autoexec.bat"].find("QELCL")) << "0x10 was not asked for";
}

TEST_F(SilentRemoval, PartialRemovalOfTheLastModulesTakesTheEditionDirectoryAndShared)
{
    e2e.options().installedModules = "264";  // the edition's other modules are gone already
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    e2e.EnableVersionManagerLog();
    EndToEndRun run = RunToEnd("qel60_uninst.ini 2 8 0");

    EXPECT_EQ((std::vector<std::string>{Read("7", "264"), Write("7", "256"), Write("7", "0"), Write("5", "0")}),
              e2e.VersionManagerCalls());
    std::vector<std::string> gone = Joined({kMailClient, kMailScan, kShared});
    gone.push_back(Install("Exchange"));
    // Modules whose bits are no longer listed are not touched, even though their files exist.
    std::vector<std::string> kept = Joined({kEngine, kUpdate});
    kept.insert(kept.end(), {Install("Base"), Install("Vantorix")});
    ExpectRemoved(run, gone, kRestoreAlways, kept);
}

TEST_F(SilentRemoval, ScanStopsAtTheFirstMalformedToken)
{
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    // "eight" is no number: actionFlags and runMode keep 0, so this is a silent full removal of the
    // e-mail edition and not a retry run (which would remove the program's own files).
    EndToEndRun run = RunToEnd("qel60_uninst.ini 2 eight 2");
    std::vector<std::string> gone = Joined({kEngine, kScanner, kMonitor, kBootScan, kMailClient, kMailScan, kShared});
    gone.push_back(Install("Exchange"));
    std::vector<std::string> kept = {Install("uninstall.exe"), Install("kolbex.dll"), Install("qel60_uninst.ini"),
                                     Install("Base"), Install("Update")};
    ExpectRemoved(run, gone, kRestoreFull, kept);
}

// Wine stores a REG_SZ at its text length whatever data length is passed, so the retry value's
// 255-byte data length cannot be observed here; only its text can.
TEST_F(SilentRemoval, ReadOnlyFileKeepsItsModuleAndSchedulesOneRetry)
{
    e2e.options().readOnly = {"Engine\\qelsig.dat"};
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    e2e.EnableVersionManagerLog();
    EndToEndRun run = RunToEnd("qel60_uninst.ini 1 0 0");

    // Engine is not written as removed; the edition keeps its bit so that the retry walks it again.
    const std::vector<std::string> calls = {Read("7", "1023"), Write("7", "1021"), Write("7", "1017"),
                                            Write("7", "1001"), Write("7", "1001")};
    EXPECT_EQ(calls, e2e.VersionManagerCalls());
    const std::vector<std::string> engineKept = {Install("Engine\\qelsig.dat"), kProduct + "\\Engine",
                                                 "HKLM\\System\\CurrentControlSet\\Services\\VxD\\QELVXD"};
    // The module's other entries are still processed after the refusal.
    std::vector<std::string> gone = {Install("Engine\\qelengine.dll"), Install("Engine\\qelheur.dat"),
                                     Install("Engine\\~eng0001.tmp"), Install("Engine\\sigs.tmp"), System("qelvxd.vxd"),
                                     Install("qelexcli.dll"), Install("Base")};
    gone = Joined({gone, kScanner, kMonitor, kBootScan, kShared});
    ExpectRemoved(run, gone, kRestoreFull, engineKept);
    // The install directory holds a blank, so the executable's path is quoted.
    EXPECT_EQ("\"" + Install("uninstall.exe") + "\" qel60_uninst.ini 1 0 2", run.after.retryCommand.value_or("(none)"));

    // Windows deletes the value as it starts the retry run, with the file still read-only.
    DeleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue);
    EndToEndRun retry = RunToEnd("qel60_uninst.ini 1 0 2");
    EXPECT_EQ((std::vector<std::string>{Read("7", "1001"), Write("7", "1001")}), e2e.VersionManagerCalls());
    EXPECT_FALSE(retry.after.retryCommand.has_value()) << "a retry run never schedules another";
    EXPECT_EQ(kNone, LostFrom(staging::Compare(retry.before, retry.after), engineKept));
    // Without a retry to come, the retry run removes the program's own files anyway.
    EXPECT_TRUE(WaitForRemovalBatch(30000));
    const std::string own[] = {"uninstall.exe", "kolbex.dll", "qel60_uninst.ini"};
    for (const std::string& name : own) EXPECT_FALSE(FileExists(Install(name))) << name;
    EXPECT_TRUE(FileExists(Install("Engine\\qelsig.dat")));
}

// A file held open is refused with ERROR_SHARING_VIOLATION under Wine (as on the NT family) and
// with ERROR_ACCESS_DENIED on Windows 95/98; either keeps the module for the retry.
TEST(RetryValue, NamesTheProgramWithoutQuotesWhenItsPathHasNoBlank)
{
    const std::string installDir = "C:\\MORWA60\\";
    Sentinels sentinels(installDir);
    EndToEnd e2e(SampleOptions(installDir));
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    e2e.EnableVersionManagerLog();
    EndToEndRun run;
    {
        HeldFile holder(installDir + "Update\\qelupd.ini");
        ASSERT_TRUE(holder.holding());
        run = e2e.Run("qel60_uninst.ini 4 512 0");
    }
    ASSERT_TRUE(run.facts.finished) << e2e.Report(run);
    EXPECT_EQ("C:\\MORWA60\\uninstall.exe qel60_uninst.ini 4 512 2", run.after.retryCommand.value_or("(none)"));
    // The refused module is not written as removed, so nothing is written at all.
    EXPECT_EQ((std::vector<std::string>{Read("7", "1023")}), e2e.VersionManagerCalls());
    staging::Difference difference = staging::Compare(run.before, run.after);
    EXPECT_EQ(kNone, StillPresent(run.after, {installDir + "Update\\qelupd.exe", installDir + "Update\\Download"}));
    EXPECT_EQ(kNone, LostFrom(difference, {installDir + "Update\\qelupd.ini", kProduct + "\\Update",
                                           "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELUpdate",
                                           installDir + "Vantorix", installDir + "qelres.dll"}));
    EXPECT_EQ(kNone, sentinels.Missing());
}

// A library the product and another program count on: the first run lowers its count, and the
// retry run, which walks the shared module again, leaves it to the other program; once the
// removal has ended, the record of the release goes too. The retry's preview tells its story.
TEST(SharedCountAndItsRetry, ACountIsLoweredOnceByARunAndItsRetry)
{
    Sentinels sentinels{kSampleInstallDir};
    SavedKey sharedDlls{HKEY_LOCAL_MACHINE, kSharedDlls};
    SavedKey record{HKEY_LOCAL_MACHINE, "Software\\Morwa Software\\Uninstall\\Released Counts"};
    ScratchDir scratch{"twice"};
    staging::Options options = SampleOptions();
    options.readOnly = {"Engine\\qelsig.dat"};
    EndToEnd e2e(options);
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    const std::string library = System("qelcomm.dll");
    SetDwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, library, 2);
    EndToEndRun first = e2e.Run("qel60_uninst.ini 1 0 0");
    ASSERT_TRUE(first.facts.finished) << e2e.Report(first);
    ASSERT_TRUE(first.after.retryCommand.has_value());
    EXPECT_TRUE(FileExists(library));
    EXPECT_EQ(1u, DwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, library));

    DeleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue);
    SetAttributes(Install("Engine\\qelsig.dat"), FILE_ATTRIBUTE_NORMAL);
    const std::string log = scratch / "log.txt";
    const std::string tokens = "qel60_uninst.ini 1 0 2 /LOG=\"" + log + "\"";
    // What the stand-ins noted of each run's calls, which the shared module's pattern takes.
    for (const char* callLog : {"qelsubs.log", "qeltask.log"}) DeleteFileA(Install(callLog).c_str());
    e2e.Run(tokens + " /PREVIEW");
    const std::vector<std::string> previewed = Story(LogLines(log));
    DeleteFileA(log.c_str());
    for (const char* callLog : {"qelsubs.log", "qeltask.log"}) DeleteFileA(Install(callLog).c_str());
    EndToEndRun retry = e2e.Run(tokens);
    ASSERT_TRUE(retry.facts.finished) << e2e.Report(retry);
    const std::vector<std::string> story = Story(LogLines(log));
    EXPECT_EQ(story, previewed) << Parting(story, previewed);
    EXPECT_TRUE(FileExists(library)) << "the other program's library went";
    EXPECT_EQ(1u, DwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, library));
    // The product's own items went: the module the first run left, and the shared module's.
    EXPECT_EQ(kNone, StillPresent(retry.after, {Install("Engine"), kProduct + "\\Engine", Install("qelres.dll")}));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Morwa Software\\Uninstall\\Released Counts"));
    EXPECT_TRUE(WaitForRemovalBatch(30000));
    EXPECT_EQ(kNone, sentinels.Missing());
}

// The sample with more files in the Scanner's Reports tree: one that cannot go deep down, among
// files other programs count on (each counted twice).
class ScannerTree : public ::testing::Test {
protected:
    ScratchDir scratch{"tree"};
    SavedKey sharedDlls{HKEY_LOCAL_MACHINE, kSharedDlls};
    Sentinels sentinels{kSampleInstallDir};
    const std::vector<std::string> counted = {Install("Scanner\\Reports\\Old\\shared-a.dat"),
                                              Install("Scanner\\Reports\\shared-b.dat")};
    std::unique_ptr<EndToEnd> e2e;

    void Stage(const staging::Options& options)
    {
        const std::string description = scratch / "installation.ini";
        WriteTextFile(description, ReadTextFile(SampleDescription()) +
                                       "\r\nfile Scanner\\Reports\\Old\\old.txt\r\n"
                                       "file Scanner\\Reports\\Old\\shared-a.dat\r\nfile Scanner\\Reports\\shared-b.dat\r\n");
        e2e.reset(new EndToEnd(options, description));
        ASSERT_TRUE(e2e->Stage()) << e2e->error();
        for (const std::string& file : counted) SetDwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, file, 2);
        e2e->EnableVersionManagerLog();
    }
    void TearDown() override { EXPECT_EQ(kNone, sentinels.Missing()); }
};

// Refusals and successes after a failure, at any depth of a tree, never hide it.
TEST_F(ScannerTree, AFailureDeepInATreeAmongCountedFilesKeepsTheModuleForTheRetry)
{
    staging::Options options = SampleOptions();
    options.readOnly = {"Scanner\\Reports\\Old\\old.txt"};
    Stage(options);
    EndToEndRun run = e2e->Run("qel60_uninst.ini 1 0 0");
    ASSERT_TRUE(run.facts.finished) << e2e->Report(run);
    // Scanner (2) is not written as removed, and the edition keeps its bit for the retry.
    EXPECT_EQ((std::vector<std::string>{Read("7", "1023"), Write("7", "1022"), Write("7", "1018"), Write("7", "1002"),
                                        Write("7", "1002")}),
              e2e->VersionManagerCalls());
    EXPECT_EQ("\"" + Install("uninstall.exe") + "\" qel60_uninst.ini 1 0 2", run.after.retryCommand.value_or("(none)"));
    const staging::Difference difference = staging::Compare(run.before, run.after);
    // The module's other items went; its registry entries and the counts wait for the retry.
    EXPECT_EQ(kNone, StillPresent(run.after, {Install("Scanner\\qelscan.exe"), Install("Scanner\\Reports\\report01.txt"),
                                              Install("Engine"), Install("Monitor")}));
    EXPECT_EQ(kNone, LostFrom(difference, {Install("Scanner\\Reports\\Old\\old.txt"), kProduct + "\\Scanner",
                                           "HKCR\\.qel", counted[0], counted[1]}));
    for (const std::string& file : counted) EXPECT_EQ(2u, DwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, file)) << file;
}

// A link in the tree: where it leads cannot be told. The module stays installed, with its registry
// entries and its bit, and since a retry would meet the same answer, none is scheduled; the log
// says so, and the preview tells the same story line for line.
TEST_F(ScannerTree, AnItemThatCannotBeToldKeepsTheModuleWithoutARetry)
{
    Stage(SampleOptions());
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    if (!MakeUnixSymlink(Install("Scanner\\Reports\\Desktop"), windows)) GTEST_SKIP() << "no Unix links here";
    const std::string log = scratch / "log.txt";
    const std::string tokens = "qel60_uninst.ini 1 0 0 /LOG=\"" + log + "\"";
    e2e->Run(tokens + " /PREVIEW");
    const std::vector<std::string> previewed = Story(LogLines(log));
    DeleteFileA(log.c_str());
    // What the stand-ins noted of the preview's calls, which the run's pattern would take.
    for (const char* callLog : {"qelsubs.log", "qeltask.log"}) DeleteFileA(Install(callLog).c_str());
    e2e->VersionManagerCalls();
    EndToEndRun run = e2e->Run(tokens);
    RemoveUnixSymlink(Install("Scanner\\Reports\\Desktop"));
    ASSERT_TRUE(run.facts.finished) << e2e->Report(run);
    const std::vector<std::string> story = Story(LogLines(log));
    EXPECT_EQ(story, previewed) << Parting(story, previewed);
    EXPECT_EQ((std::vector<std::string>{Read("7", "1023"), Write("7", "1022"), Write("7", "1018"), Write("7", "1002"),
                                        Write("7", "1002")}),
              e2e->VersionManagerCalls());
    EXPECT_FALSE(run.after.retryCommand.has_value());
    const std::string text = testing_support::Joined(story);
    EXPECT_NE(std::string::npos, text.find("kept, cannot tell, by rule link: " + Install("Scanner\\Reports\\Desktop")))
        << text;
    EXPECT_NE(std::string::npos, text.find("MODULE   Scanner kept, cannot tell (rule link)")) << text;
    ASSERT_FALSE(story.empty());
    const std::string& end = story.back();
    EXPECT_EQ(" cannot tell 1", end.substr(end.size() - std::min<size_t>(end.size(), 14))) << end;
    const staging::Difference difference = staging::Compare(run.before, run.after);
    EXPECT_EQ(kNone, StillPresent(run.after, {Install("Scanner\\qelscan.exe"), Install("Scanner\\Reports\\report01.txt"),
                                              Install("Engine"), Install("qelres.dll")}));
    EXPECT_EQ(kNone, LostFrom(difference, {kProduct + "\\Scanner", "HKCR\\.qel", Install("uninstall.exe")}));
    // Counted twice, the files stay, and their counts wait with the module.
    for (const std::string& file : counted) EXPECT_EQ(2u, DwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, file)) << file;
}

}  // namespace
