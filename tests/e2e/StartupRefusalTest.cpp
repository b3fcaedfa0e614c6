// uninstall.exe as a process on the staged sample in the cases where it must end at start-up:
// no command line, no usable version manager, no "Path", tokens too long to be used whole.
#include "tests/support/Keys.h"
#include "tests/support/EndToEnd.h"
#include <gtest/gtest.h>
#include <functional>

using namespace testing_support;

namespace {

const std::vector<std::string> kNone;

void UseVersionManager(const std::string& built)
{
    CopyFileA(ShipPath("product\\kolbex\\" + built).c_str(), Install("kolbex.dll").c_str(), FALSE);
}

TEST(StartupRefusal, EndsWithoutTouchingTheInstallation)
{
    Sentinels sentinels(kSampleInstallDir);
    EndToEnd e2e;
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    const std::string path = e2e.installDir();
    // The install directory has 33 characters: 226 more make the longest manifest path that fits.
    ASSERT_EQ(33u, path.size());
    struct Row {
        const char* label;
        std::string tokens;
        std::function<void()> before;  // breaks the installation for this row
        std::function<void()> after;   // mends it again
    };
    auto nothing = [] {};
    const Row rows[] = {
        {"empty command line", "", nothing, nothing},
        {"kolbex.dll missing", "qel60_uninst.ini 0 0 2", [] { DeleteFileA(Install("kolbex.dll").c_str()); },
         [] { UseVersionManager("kolbex.dll"); }},
        {"no KOLBEX_LEERREGISTRY", "qel60_uninst.ini 0 0 2", [] { UseVersionManager("kolbex_noleerregistry.dll"); },
         [] { UseVersionManager("kolbex.dll"); }},
        {"no KOLBEX_ESCRIBIRREGISTRY", "qel60_uninst.ini 0 0 2",
         [] { UseVersionManager("kolbex_noescribirregistry.dll"); }, [] { UseVersionManager("kolbex.dll"); }},
        {"no Path", "qel60_uninst.ini 0 0 2", [] { DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, "Path"); },
         [path] { SetStringValue(HKEY_LOCAL_MACHINE, kProductKey, "Path", path); }},
        // A name the retry command line could not hold, and one that fits it but not the manifest
        // path. Were either run, the e-mail client check would delete qelexcli.dll.
        {"232-character manifest name", std::string(232, 'q') + " 0 0 0", nothing, nothing},
        {"227-character manifest name", std::string(227, 'q') + " 0 0 0", nothing, nothing},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& row = rows[i];
        row.before();
        EndToEndRun run = e2e.Run(row.tokens, 30000);
        row.after();
        EXPECT_TRUE(run.facts.finished) << row.label;
        EXPECT_EQ(0u, run.facts.exitCode) << row.label;
        staging::Difference difference = staging::Compare(run.before, run.after);
        EXPECT_EQ(kNone, difference.removed) << row.label << "\n" << e2e.Report(run);
        EXPECT_EQ(kNone, difference.changed) << row.label;
        EXPECT_EQ(kNone, difference.added) << row.label;
        EXPECT_FALSE(run.after.retryCommand.has_value()) << row.label;
    }

    // The longest name that fits is taken: the run goes on to the e-mail client check, and then
    // finds no manifest of that name, so nothing else goes.
    EndToEndRun run = e2e.Run(std::string(226, 'q') + " 0 0 0", 30000);
    EXPECT_TRUE(run.facts.finished);
    std::vector<std::string> removed = {"file " + Install("qelexcli.dll")};
    EXPECT_EQ(removed, staging::Compare(run.before, run.after).removed) << e2e.Report(run);
    EXPECT_EQ(kNone, sentinels.Missing());
}

}  // namespace
