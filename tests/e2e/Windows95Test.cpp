// The sample removed on Windows 95, by the test variant told that the system lacks what Windows
// 95 lacks (GetLongPathNameA, sfc.dll, a later C runtime) and only stubs QueryDosDeviceA: the
// product goes as it goes on Windows 98 with the program as it ships.
#include "tests/support/EndToEnd.h"
#include "tests/support/SavedKey.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const std::vector<std::string> kNone;
const char kWineVersion[] = "Software\\Wine\\AppDefaults\\uninstall.exe";

// What a full removal of every edition removed, with the shipped program or the variant.
std::vector<std::string> Removed(bool windows95)
{
    SavedKey version(HKEY_CURRENT_USER, kWineVersion);
    Sentinels sentinels{kSampleInstallDir};
    EndToEnd e2e;
    if (windows95) {
        e2e.options().omit = {"uninstall.exe"};
        SetStringValue(HKEY_CURRENT_USER, kWineVersion, "Version", "win95");
        SetEnvironmentVariableA("UNINST_ABSENT", "win95");
    }
    EXPECT_TRUE(e2e.Stage()) << e2e.error();
    if (windows95) {
        EXPECT_TRUE(CopyFileA(ShipPath("uninstall-hooks.exe").c_str(),
                              (e2e.installDir() + "uninstall.exe").c_str(), FALSE));
    }
    EndToEndRun run = e2e.Run("qel60_uninst.ini 0 0 0");
    SetEnvironmentVariableA("UNINST_ABSENT", NULL);
    EXPECT_TRUE(run.facts.finished) << e2e.Report(run);
    EXPECT_EQ(kNone, sentinels.Missing());
    return staging::Compare(run.before, run.after).removed;
}

TEST(Windows95, TheSampleGoesAsOnWindows98)
{
    const std::vector<std::string> windows98 = Removed(false);
    const std::vector<std::string> windows95 = Removed(true);
    EXPECT_GT(windows98.size(), 50u);
    // The program's own file is the variant there, which the staging does not record as the
    // sample's; every item of the product is removed alike.
    EXPECT_EQ(windows98, windows95);
}

}  // namespace
