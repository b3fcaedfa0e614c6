// uninstall.exe with product libraries that fault (the stand-ins' *_fault* variants): each fault
// ends only the step that made the call, and the run removes, records and schedules what the
// same run with sound libraries does, and exits with 0.
#include "tests/support/Keys.h"
#include "tests/support/EndToEnd.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const std::vector<std::string> kNone;
const char kQuickLaunchLink[] = "{appdata}\\Microsoft\\Internet Explorer\\Quick Launch\\Morwa Antivirus.lnk";

struct RunSetup {
    const char* tokens;
    const char* readOnly;  // a staged file made read-only, so that its module is refused; or none
    const char* library;   // the library replaced by `variant`, or none
    const char* variant;   // a shipped stand-in variant
};

struct Outcome {
    bool staged = false;
    EndToEndRun run;
    std::string report;
    std::vector<std::string> removed;  // snapshot items: "file C:\...", "key HKLM\..."
    std::vector<std::string> versionManagerCalls;
    std::string subscriptionLog;
    std::string taskLog;
    bool quickLaunchLinkGone = false;
};

// Stages the sample, puts the variant in place, runs the uninstaller silently and collects what
// the run did; everything staged is undone on return.
Outcome RunWith(const RunSetup& setup)
{
    Outcome outcome;
    Sentinels sentinels(kSampleInstallDir);
    EndToEnd e2e;
    if (setup.readOnly) e2e.options().readOnly = {setup.readOnly};
    if (!e2e.Stage()) {
        ADD_FAILURE() << e2e.error();
        return outcome;
    }
    staging::Installation& installation = e2e.installation();
    e2e.EnableVersionManagerLog();
    if (setup.variant) {
        const std::string variant = ShipPath(setup.variant);
        if (!CopyFileA(variant.c_str(), installation.Path(setup.library).c_str(), FALSE)) {
            ADD_FAILURE() << "cannot copy " << variant;
            return outcome;
        }
    }
    outcome.staged = true;
    outcome.run = e2e.Run(setup.tokens);
    outcome.report = e2e.Report(outcome.run);
    outcome.removed = staging::Compare(outcome.run.before, outcome.run.after).removed;
    outcome.versionManagerCalls = e2e.VersionManagerCalls();
    outcome.subscriptionLog = ReadTextFile(installation.Path("qelsubs.log"));
    outcome.taskLog = ReadTextFile(installation.Path("qeltask.log"));
    outcome.quickLaunchLinkGone = !FileExists(installation.Expand(kQuickLaunchLink));
    EXPECT_EQ(kNone, sentinels.Missing()) << setup.tokens;
    return outcome;
}

// The run came to its end by itself, with exit code 0.
void ExpectEndedWithZero(const Outcome& outcome, const char* what)
{
    EXPECT_TRUE(outcome.run.facts.finished) << what << "\n" << outcome.report;
    EXPECT_EQ(0u, outcome.run.facts.exitCode) << what;
}

std::vector<std::string> Without(std::vector<std::string> items, const std::vector<std::string>& endings)
{
    std::vector<std::string> kept;
    for (const std::string& item : items) {
        bool dropped = false;
        for (const std::string& ending : endings)
            dropped = dropped || (item.size() >= ending.size() &&
                                  item.compare(item.size() - ending.size(), ending.size(), ending) == 0);
        if (!dropped) kept.push_back(item);
    }
    return kept;
}

// A full removal of the base edition with a refused module, so that a retry is due: the version
// manager faulting in every report of the masks, and the task library faulting in the middle of
// its enumeration, change nothing of what is removed, and the retry is still scheduled.
TEST(FaultingLibraries, BaseEditionRemovalWithARefusedModule)
{
    const RunSetup sound = {"qel60_uninst.ini 1 0 0", "Engine\\qelsig.dat", nullptr, nullptr};
    const Outcome reference = RunWith(sound);
    ASSERT_TRUE(reference.staged);
    ExpectEndedWithZero(reference, "sound libraries");
    ASSERT_TRUE(reference.run.after.retryCommand.has_value()) << reference.report;
    ASSERT_NE(reference.run.before.installedModules, reference.run.after.installedModules);

    RunSetup setup = sound;
    setup.library = "kolbex.dll";
    setup.variant = "product\\kolbex\\kolbex_faultescribirregistry.dll";
    Outcome recording = RunWith(setup);
    ASSERT_TRUE(recording.staged);
    ExpectEndedWithZero(recording, "version manager faulting as it records");
    EXPECT_EQ(reference.removed, recording.removed) << recording.report;
    // Every report is still made, each with the masks whole; none reaches the store.
    std::vector<std::string> calls;
    for (const std::string& call : reference.versionManagerCalls) {
        calls.push_back(call);
        if (call.compare(0, 23, "KOLBEX_ESCRIBIRREGISTRY") == 0) calls.push_back("KOLBEX_ESCRIBIRREGISTRY faults");
    }
    EXPECT_EQ(calls, recording.versionManagerCalls);
    EXPECT_EQ(recording.run.before.installedModules, recording.run.after.installedModules);
    EXPECT_EQ(recording.run.before.installedProducts, recording.run.after.installedProducts);
    EXPECT_EQ(reference.taskLog, recording.taskLog);
    EXPECT_EQ(reference.run.after.retryCommand, recording.run.after.retryCommand);

    setup.library = "qeltask.dll";
    setup.variant = "product\\qeltask\\qeltask_faultfindnextjob.dll";
    Outcome enumerating = RunWith(setup);
    ASSERT_TRUE(enumerating.staged);
    ExpectEndedWithZero(enumerating, "task library faulting in JOB_FindNextJob");
    // The fault ends the enumeration without its closing call; the library is released and
    // deleted as in every run.
    EXPECT_EQ("JOB_FindFirstJob(1) = 3\r\nJOB_DeleteJob(3)\r\nJOB_FindNextJob faults\r\n", enumerating.taskLog);
    EXPECT_EQ(reference.removed, enumerating.removed) << enumerating.report;
    EXPECT_EQ(reference.versionManagerCalls, enumerating.versionManagerCalls);
    EXPECT_EQ(reference.run.after.installedModules, enumerating.run.after.installedModules);
    EXPECT_EQ(reference.run.after.retryCommand, enumerating.run.after.retryCommand);
}

// A full removal of the Vantorix edition, which takes the desktop channel and the Quick Launch
// shortcut: a subscription library faulting in the channel call still gets the desktop item
// call and is deleted; one faulting in its Internet Explorer 4 test counts as "not installed".
TEST(FaultingLibraries, VantorixRemovalWithAFaultingSubscriptionLibrary)
{
    const RunSetup sound = {"qel60_uninst.ini 4 0 0", nullptr, nullptr, nullptr};
    const Outcome reference = RunWith(sound);
    ASSERT_TRUE(reference.staged);
    ExpectEndedWithZero(reference, "sound libraries");
    ASSERT_TRUE(reference.quickLaunchLinkGone) << reference.report;
    ASSERT_FALSE(reference.run.after.retryCommand.has_value()) << reference.report;

    RunSetup setup = {sound.tokens, nullptr, "qelsubs.dll", "product\\qelsubs\\qelsubs_faulteliminacanala.dll"};
    Outcome channel = RunWith(setup);
    ASSERT_TRUE(channel.staged);
    ExpectEndedWithZero(channel, "subscription library faulting in SM_EliminaCanalA");
    std::string expectedLog = reference.subscriptionLog;
    const std::string itemCall = "SM_ManageDesktopItem(";
    ASSERT_NE(std::string::npos, expectedLog.find(itemCall)) << expectedLog;
    expectedLog.insert(expectedLog.find(itemCall), "SM_EliminaCanalA faults\r\n");
    EXPECT_EQ(expectedLog, channel.subscriptionLog);
    EXPECT_EQ(reference.removed, channel.removed) << channel.report;
    EXPECT_TRUE(channel.quickLaunchLinkGone);
    EXPECT_EQ(reference.taskLog, channel.taskLog);
    EXPECT_EQ(reference.versionManagerCalls, channel.versionManagerCalls);
    EXPECT_EQ(reference.run.after.installedModules, channel.run.after.installedModules);
    EXPECT_FALSE(channel.run.after.retryCommand.has_value());

    setup.variant = "product\\qelsubs\\qelsubs_faultie4instalado.dll";
    Outcome test = RunWith(setup);
    ASSERT_TRUE(test.staged);
    ExpectEndedWithZero(test, "subscription library faulting in SM_IE4Instalado");
    EXPECT_EQ("SM_IE4Instalado faults\r\n", test.subscriptionLog);
    // As without Internet Explorer 4: the channel, the shortcut and the jobs are left, the
    // subscription library stays, the task library goes.
    EXPECT_EQ(Without(reference.removed, {"\\qelsubs.dll", "\\Morwa Antivirus.lnk"}), test.removed) << test.report;
    EXPECT_FALSE(test.quickLaunchLinkGone);
    EXPECT_EQ("", test.taskLog);
    EXPECT_EQ(reference.versionManagerCalls, test.versionManagerCalls);
    EXPECT_FALSE(test.run.after.retryCommand.has_value());
}

// A fault while the version manager reports the masks leaves them unknown: nothing is removed and
// the program stays. The first run schedules a retry; the retry run schedules none and still
// keeps the program, its manifest and the version manager beside the product.
TEST(FaultingLibraries, VersionManagerFaultingAsItReportsTheMasksRemovesNothing)
{
    Sentinels sentinels(kSampleInstallDir);
    EndToEnd e2e;
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    e2e.EnableVersionManagerLog();
    const std::string variant = ShipPath("product\\kolbex\\kolbex_faultleerregistry.dll");
    ASSERT_TRUE(CopyFileA(variant.c_str(), e2e.installation().Path("kolbex.dll").c_str(), FALSE)) << variant;

    EndToEndRun run = e2e.Run("qel60_uninst.ini 1 0 0");
    ASSERT_TRUE(run.facts.finished) << e2e.Report(run);
    EXPECT_EQ(0u, run.facts.exitCode);
    EXPECT_EQ(kNone, staging::Compare(run.before, run.after).removed) << e2e.Report(run);
    EXPECT_EQ((std::vector<std::string>{"KOLBEX_LEERREGISTRY faults"}), e2e.VersionManagerCalls());
    EXPECT_EQ("\"" + Install("uninstall.exe") + "\" qel60_uninst.ini 1 0 2", run.after.retryCommand.value_or("(none)"));

    DeleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue);
    EndToEndRun retry = e2e.Run("qel60_uninst.ini 1 0 2");
    ASSERT_TRUE(retry.facts.finished) << e2e.Report(retry);
    EXPECT_EQ(0u, retry.facts.exitCode);
    EXPECT_EQ(kNone, staging::Compare(retry.before, retry.after).removed) << e2e.Report(retry);
    EXPECT_FALSE(retry.after.retryCommand.has_value());
    Sleep(1500);  // a removal batch, had one been started, would have acted by now
    for (const char* name : {"uninstall.exe", "kolbex.dll", "qel60_uninst.ini"})
        EXPECT_TRUE(FileExists(Install(name))) << name;
    EXPECT_EQ(kNone, sentinels.Missing());
}

}  // namespace
