// The removal log of real runs on the staged sample: every kind of line, the retry run that
// appends to the same log, and a log that cannot be written, which changes nothing else.
#include "tests/support/Keys.h"
#include "tests/support/EndToEnd.h"
#include "tests/support/LogStory.h"
#include <gtest/gtest.h>
#include <algorithm>

using namespace testing_support;

namespace {

const std::vector<std::string> kNone;

// The lines whose keyword is `keyword` and whose details contain `part`.
size_t Count(const std::vector<std::string>& lines, const std::string& keyword, const std::string& part)
{
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        if (line.size() < 25) return false;
        size_t end = line.find(' ', 24);
        if (end == std::string::npos) return false;
        return line.compare(24, end - 24, keyword) == 0 && line.find(part, end) != std::string::npos;
    });
}

class RemovalLogRun : public ::testing::Test {
protected:
    Sentinels sentinels{kSampleInstallDir};
    ScratchDir logs{"logs"};
    EndToEnd e2e;

    void TearDown() override { EXPECT_EQ(kNone, sentinels.Missing()); }

    EndToEndRun RunToEnd(const std::string& tokens)
    {
        EndToEndRun run = e2e.Run(tokens);
        EXPECT_TRUE(run.facts.finished) << e2e.Report(run);
        EXPECT_EQ(0u, run.facts.exitCode) << tokens;
        return run;
    }
};

// A refused file, a refused edition directory and a read-only start-up line in one run, then the
// retry run that Windows would start, which appends to the same log.
TEST_F(RemovalLogRun, HoldsEveryKindOfLineAndTheRetryRunAppends)
{
    e2e.options().readOnly = {"Engine\\qelsig.dat"};
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    // A relative edition directory, which the driver refuses.
    SetStringValue(HKEY_LOCAL_MACHINE, "Software\\Morwa Software\\Uninstall", "QEL60Vantorix", "Fonts");
    const std::string log = logs / "support log.txt";
    EndToEndRun run = RunToEnd("qel60_uninst.ini 4 0 0 /LOG=\"" + log + "\"");

    std::vector<std::string> lines = LogLines(log);
    ASSERT_FALSE(lines.empty()) << "no log at " << log;
    const std::string text = Joined(lines);
    struct Expected { const char* keyword; std::string part; } expected[] = {
        {"START", "command line: qel60_uninst.ini 4 0 0 /LOG="},
        {"START", "Windows 4.10"},
        {"START", "language 1033"},
        {"START", "install directory " + std::string(kSampleInstallDir)},
        {"MASKS", "read: editions 7 modules 1023"},
        {"MASKS", "written: editions"},
        {"READ", "QEL60Win98AM"},
        {"MAIL", "the e-mail client library is gone"},
        {"FILE", "deleted " + Install("qelexcli.dll")},
        {"APPS", "from " + Install("qel60_uninst.ini")},
        {"APP", "taken: mask"},
        {"APP", "skipped: mask"},
        {"MODULE", "taken: mask"},
        {"MODULE", "removed"},
        {"MODULE", "not removed: a retry after the next start is due"},
        {"FILE", "deleted " + Install("Engine\\qelengine.dll")},
        {"FILE", "left " + Install("Engine\\qelsig.dat") + " error 5 (access denied)"},
        {"FILE", "not found: "},
        {"TREE", "emptying "},
        {"PATTERN", "files matching "},
        {"DIR", "removed "},
        {"DIR", "left "},
        {"KEY", "deleted HKEY_"},
        {"VALUE", "deleted HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELMonitor"},
        {"EDITION", "QEL60Vantorix=Fonts refused by rule relative-path"},
        {"RESTORE", "steps: install-directory line, QELCL line"},
        {"RESTORE", "Internet Explorer 4: installed"},
        {"RESTORE", "scheduled jobs deleted: 3"},
        {"STARTUP", "written c:\\autoexec.bat: 1 line(s) with QELCL removed"},
        {"RETRY", "value QELUninstTry written: "},
        {"END", "removed "},
    };
    for (const Expected& line : expected)
        EXPECT_EQ(1u, std::min<size_t>(1, Count(lines, line.keyword, line.part)))
            << line.keyword << " " << line.part << "\n" << text;
    // The engine's registry entries stay for the retry run: no line deletes them.
    EXPECT_EQ(0u, Count(lines, "KEY", "Services\\VxD\\QELVXD")) << text;
    EXPECT_EQ(1u, Count(lines, "MODULE", "Engine has a file in use")) << text;
    // One END line with the counts, the last one.
    EXPECT_EQ(1u, Count(lines, "END", "refused 1 left "));
    EXPECT_EQ("END", lines.back().substr(24, 3)) << lines.back();

    // The retry value carries the switch, and the retry run that Windows would start appends.
    const std::string retry = run.after.retryCommand.value_or("");
    ASSERT_NE(std::string::npos, retry.find(" qel60_uninst.ini 4 0 2 /LOG=\"" + log + "\"")) << retry;
    SetAttributes(Install("Engine\\qelsig.dat"), FILE_ATTRIBUTE_NORMAL);
    DeleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue);
    ProcessResult retried = RunProcess(retry, "C:\\windows", 120000);
    ASSERT_TRUE(retried.finished);
    EXPECT_TRUE(WaitForRemovalBatch(30000));
    std::vector<std::string> after = LogLines(log);
    ASSERT_GT(after.size(), lines.size());
    EXPECT_TRUE(std::equal(lines.begin(), lines.end(), after.begin())) << "the first run's lines are kept";
    const std::vector<std::string> second(after.begin() + lines.size(), after.end());
    EXPECT_EQ(1u, Count(second, "START", "qel60_uninst.ini 4 0 2 /LOG=")) << Joined(second);
    EXPECT_EQ(1u, Count(second, "FILE", "deleted " + Install("Engine\\qelsig.dat"))) << Joined(second);
    EXPECT_EQ(1u, Count(second, "KEY", "deleted HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD\\QELVXD"))
        << Joined(second);
    EXPECT_EQ(9u, Count(second, "MODULE", "skipped: mask")) << Joined(second);
    EXPECT_EQ(1u, Count(second, "KEY", "missing: %ProgramRoot%\\Shared\\")) << Joined(second);
    EXPECT_EQ(1u, Count(second, "SELFREMOVAL", "it deletes " + Install("uninstall.exe"))) << Joined(second);
    EXPECT_EQ(1u, Count(second, "END", "removed "));
}

// Without the switch the retry value is the text it always was, and no log appears.
TEST_F(RemovalLogRun, WithoutTheSwitchNothingIsWrittenAndTheRetryValueIsUnchanged)
{
    e2e.options().readOnly = {"Engine\\qelsig.dat"};
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string defaultLog = std::string(temp) + "Morwa Uninstall Log.txt";
    DeleteFileA(defaultLog.c_str());
    EndToEndRun run = RunToEnd("qel60_uninst.ini 4 0 0");
    EXPECT_EQ("\"" + Install("uninstall.exe") + "\" qel60_uninst.ini 4 0 2", run.after.retryCommand.value_or(""));
    EXPECT_FALSE(FileExists(defaultLog));
}

// /LOG alone writes to the temporary directory; a log that cannot be opened (a directory, a
// missing directory, a place inside the install directory) leaves the run exactly as without it.
TEST_F(RemovalLogRun, TheDefaultPlaceAndUnusablePlaces)
{
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    EndToEndRun plain = RunToEnd("qel60_uninst.ini 2 8 0");
    const staging::Difference plainDifference = staging::Compare(plain.before, plain.after);
    e2e.installation().Cleanup();

    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string defaultLog = std::string(temp) + "Morwa Uninstall Log.txt";
    MakeDirectories(logs / "adir");
    const std::string places[] = {"/LOG", "/LOG=" + (logs / "adir"), "/LOG=" + (logs / "missing\\run.txt"),
                                  "/LOG=\"" + Install("run log.txt") + "\""};
    for (const std::string& place : places) {
        SCOPED_TRACE(place);
        DeleteFileA(defaultLog.c_str());
        ASSERT_TRUE(e2e.Stage()) << e2e.error();
        EndToEndRun run = RunToEnd("qel60_uninst.ini 2 8 0 " + place);
        const staging::Difference difference = staging::Compare(run.before, run.after);
        EXPECT_EQ(plainDifference.removed, difference.removed);
        EXPECT_EQ(plainDifference.changed, difference.changed);
        EXPECT_EQ(plainDifference.added, difference.added);
        EXPECT_EQ(plain.after.retryCommand, run.after.retryCommand);
        if (place == "/LOG") {
            std::vector<std::string> lines = LogLines(defaultLog);
            EXPECT_EQ(1u, Count(lines, "START", "command line: qel60_uninst.ini 2 8 0 /LOG")) << Joined(lines);
            EXPECT_EQ(1u, Count(lines, "END", "removed "));
            DeleteFileA(defaultLog.c_str());
        } else {
            EXPECT_FALSE(FileExists(defaultLog));
        }
        EXPECT_FALSE(FileExists(logs / "missing\\run.txt"));
        e2e.installation().Cleanup();
    }
}

}  // namespace
