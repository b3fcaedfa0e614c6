// uninstall.exe as a process, in the cases where it must end at start-up: an empty command
// line, and kolbex.dll absent. Exit code 0, nothing touched.
#include "tests/support/Keys.h"
#include "tests/support/SavedKey.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {


TEST(StartupEnd, EndsAtOnceWithoutCommandLineOrVersionManager)
{
    SavedKey product{HKEY_LOCAL_MACHINE, kProductKey};
    SavedKey runOnce{HKEY_LOCAL_MACHINE, kRunOnceKey};
    ScratchDir dir{"startup-end"};
    std::string exe = dir / "uninstall.exe";
    ASSERT_TRUE(CopyFileA(ShipPath("uninstall.exe").c_str(), exe.c_str(), FALSE));
    WriteTextFile(dir / "qel60_uninst.ini", "[General]\r\n");
    WriteTextFile(dir / "Shared\\file.txt", "x");
    // Were the run to go on, this is the installation it would remove.
    SetStringValue(HKEY_LOCAL_MACHINE, kProductKey, "Path", dir.path() + "\\");
    std::vector<std::string> before = ListTree(dir.path());

    const char* lines[] = {"", "qel60_uninst.ini 0 0 2", "qel60_uninst.ini 1 0 1", "qel60_uninst.ini"};
    for (size_t i = 0; i < sizeof lines / sizeof lines[0]; ++i) {
        ProcessResult result = RunProcess("\"" + exe + "\"" + (lines[i][0] ? " " : "") + lines[i],
                                          dir.path(), 30000);
        ASSERT_TRUE(result.started) << "row " << i;
        EXPECT_TRUE(result.finished) << "row " << i;
        EXPECT_EQ(0u, result.exitCode) << "row " << i;
        Sleep(500);  // a removal batch, had one been started, would have run by now
        EXPECT_EQ(before, ListTree(dir.path())) << "row " << i;
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunOnceKey, "QELUninstTry")) << "row " << i;
    }
}

// A run cut short in its self-removal, after the manifest and kolbex.dll went and before the
// batch started: a retry run finishes it, a silent run does not, nor a retry run that still
// finds the manifest.
TEST(StartupEnd, ASelfRemovalCutShortIsFinishedByARetryRunOnly)
{
    SavedKey product{HKEY_LOCAL_MACHINE, kProductKey};
    SavedKey runOnce{HKEY_LOCAL_MACHINE, kRunOnceKey};
    struct Row { const char* tokens; bool manifest; bool finished; } rows[] = {
        {"qel60_uninst.ini 4 0 0", false, false},
        {"qel60_uninst.ini 4 0 2", true, false},
        {"qel60_uninst.ini 4 0 2", false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tokens);
        ScratchDir dir{"cut-self-removal"};
        std::string exe = dir / "uninstall.exe";
        ASSERT_TRUE(CopyFileA(ShipPath("uninstall.exe").c_str(), exe.c_str(), FALSE));
        if (row.manifest) WriteTextFile(dir / "qel60_uninst.ini", "[General]\r\n");
        SetStringValue(HKEY_LOCAL_MACHINE, kProductKey, "Path", dir.path() + "\\");
        ProcessResult result = RunProcess("\"" + exe + "\" " + row.tokens, dir.path(), 30000);
        EXPECT_TRUE(result.finished);
        // The batch, where one was started, deletes the program and then its directory.
        auto there = [&dir] { return GetFileAttributesA(dir.path().c_str()) != INVALID_FILE_ATTRIBUTES; };
        for (int wait = 0; wait < (row.finished ? 100 : 10) && there(); ++wait) Sleep(100);
        EXPECT_EQ(!row.finished, FileExists(exe));
        EXPECT_EQ(!row.finished, there());
    }
}

}  // namespace
