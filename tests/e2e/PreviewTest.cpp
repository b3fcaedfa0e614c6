// The preview on the staged sample: nothing of the prefix changes, and its log tells the story the
// real run then tells, line for line, "would delete" for "deleted".
#include "tests/support/EndToEnd.h"
#include "tests/support/Keys.h"
#include "tests/support/LogStory.h"
#include <gtest/gtest.h>
#include <algorithm>

using namespace testing_support;

namespace {

const std::vector<std::string> kNone;

void ExpectUnchanged(const EndToEndRun& run, const std::string& report)
{
    EXPECT_EQ(kNone, Changes(run.before, run.after)) << report;
}

class Preview : public ::testing::Test {
protected:
    Sentinels sentinels{kSampleInstallDir};
    ScratchDir logs{"preview"};
    void TearDown() override
    {
        EXPECT_EQ(kNone, sentinels.Missing());
        DeleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue);
    }
};

// The retry run of a full Vantorix removal, with every restore step staged: the prefix stays
// byte for byte as it was, and the product's libraries are only asked.
TEST_F(Preview, ARetryRunPreviewedChangesNothing)
{
    EndToEnd e2e;
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    e2e.EnableVersionManagerLog();
    const std::string log = logs / "preview.txt";
    EndToEndRun run = e2e.Run("qel60_uninst.ini 4 0 2 /PREVIEW /LOG=\"" + log + "\"");
    const std::string report = e2e.Report(run);
    ASSERT_TRUE(run.facts.finished) << report;
    EXPECT_EQ(0u, run.facts.exitCode);

    // The stand-ins' own call logs are the only files the run may add to: what they record.
    ExpectUnchanged(run, report);
    EXPECT_EQ("SM_IE4Instalado() = 1\r\n", ReadTextFile(e2e.installDir() + "qelsubs.log"));
    EXPECT_EQ(std::string::npos, ReadTextFile(e2e.installDir() + "qeltask.log").find("JOB_DeleteJob"));
    for (const std::string& call : e2e.VersionManagerCalls())
        EXPECT_EQ(std::string::npos, call.find("ESCRIBIR")) << call;
    EXPECT_TRUE(WaitForRemovalBatch(0)) << "a preview writes no removal batch";
    EXPECT_TRUE(FileExists(e2e.installDir() + "uninstall.exe"));

    // The story of a retry run: every step said, the self-removal included, nothing done.
    const std::vector<std::string> lines = LogLines(log);
    ASSERT_GT(lines.size(), 2u);
    EXPECT_NE(std::string::npos, lines[0].find("START    preview: nothing is changed")) << lines[0];
    const std::string text = Joined(lines);
    for (const char* said : {"FILE     would delete ", "KEY      would delete ", "VALUE    would delete ",
                             "DIR      would remove ", "STARTUP  would write c:\\autoexec.bat",
                             "SHORTCUT would write ", "COPY     would copy ", "MASKS    would write",
                             "RESTORE  desktop channel would remove", "RESTORE  scheduled jobs would delete: 3",
                             "SELFREMOVAL would write ", "SELFREMOVAL batch "})
        EXPECT_NE(std::string::npos, text.find(said)) << said << "\n" << text;
    EXPECT_EQ(std::string::npos, text.find(" deleted ")) << text;
}

// A preview, then the real run with the same tokens on the same machine: the same lines in the
// same order, a refused read-only file among them, and the same items deleted.
TEST_F(Preview, TellsTheStoryTheRunThenTells)
{
    EndToEnd e2e;
    e2e.options().readOnly = {"Engine\\qelsig.dat"};
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    const std::string log = logs / "run.txt";
    const std::string tokens = "qel60_uninst.ini 4 0 0 /LOG=\"" + log + "\"";
    EndToEndRun preview = e2e.Run(tokens + " /Preview");
    ExpectUnchanged(preview, e2e.Report(preview));
    const std::vector<std::string> previewed = Story(LogLines(log));
    DeleteFileA(log.c_str());
    // The stand-ins' call logs of the preview would be found by the real run's .LOG pattern.
    for (const char* callLog : {"qelsubs.log", "qeltask.log"}) DeleteFileA((e2e.installDir() + callLog).c_str());
    EndToEndRun run = e2e.Run(tokens);
    ASSERT_TRUE(run.facts.finished) << e2e.Report(run);
    const std::vector<std::string> done = Story(LogLines(log));

    EXPECT_EQ(done, previewed) << Parting(done, previewed);
    const std::set<std::string> deleted = Deleted(done);
    EXPECT_GT(deleted.size(), 40u) << Joined(done);
    EXPECT_EQ(deleted, Deleted(previewed));
    EXPECT_TRUE(std::any_of(done.begin(), done.end(), [](const std::string& line) {
        return line.find("qelsig.dat error 5") != std::string::npos;
    })) << "the read-only file is refused in both";
}

// The switch alone puts the preview's log where /LOG alone puts it.
TEST_F(Preview, WithoutALogSwitchTheLogGoesToTheDefaultPlace)
{
    EndToEnd e2e;
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string log = std::string(temp) + "Morwa Uninstall Log.txt";
    DeleteFileA(log.c_str());
    EndToEndRun run = e2e.Run("qel60_uninst.ini 1 0 0 /PREVIEW");
    ExpectUnchanged(run, e2e.Report(run));
    const std::vector<std::string> lines = LogLines(log);
    ASSERT_FALSE(lines.empty()) << "no log at " << log;
    EXPECT_NE(std::string::npos, lines[0].find("preview")) << lines[0];
    DeleteFileA(log.c_str());
}

}  // namespace
