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

}  // namespace
