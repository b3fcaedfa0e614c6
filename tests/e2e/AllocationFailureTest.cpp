// The test variant, uninstall-hooks.exe, with UNINST_FAIL_ALLOCATION: an allocation that finds no
// memory inside a module's removal ends that module only (it counts as not removed and keeps its
// registry entries), the run goes on with the next module and exits with 0. On i686 the fault
// travels the exception chain at FS:[0] to the module's guard, on x86_64 the unwind data.
#include "tests/support/EndToEnd.h"
#include <gtest/gtest.h>
#include <windows.h>

using namespace testing_support;

namespace {

const std::vector<std::string> kNone;
const std::string kProduct = kProductKeyName;

// The switch, set in this process's environment for the runs it starts.
class FailAllocation {
public:
    explicit FailAllocation(const std::string& value)
    {
        SetEnvironmentVariableA("UNINST_FAIL_ALLOCATION", value.c_str());
    }
    ~FailAllocation() { SetEnvironmentVariableA("UNINST_FAIL_ALLOCATION", NULL); }
    FailAllocation(const FailAllocation&) = delete;
    FailAllocation& operator=(const FailAllocation&) = delete;
};

// Snapshot items ("file C:\...", "key HKLM\...") outside every one of `names`.
std::vector<std::string> Outside(const std::vector<std::string>& items, const std::vector<std::string>& names)
{
    std::vector<std::string> outside;
    for (const std::string& item : items) {
        bool covered = false;
        for (const std::string& name : names) {
            size_t at = item.find(' ') + 1;
            covered = covered || (item.compare(at, name.size(), name) == 0 &&
                                  (item.size() == at + name.size() || item[at + name.size()] == '\\'));
        }
        if (!covered) outside.push_back(item);
    }
    return outside;
}

// A full removal of the Vantorix edition whose updater module finds no memory at its first
// allocation: nothing of the updater goes, everything else goes as with the shipped program,
// the version manager keeps the updater's bit and the edition, and a retry is due.
TEST(AllocationFailure, AModuleThatFindsNoMemoryIsLeftAndTheRunGoesOn)
{
    Sentinels sentinels(kSampleInstallDir);
    ScratchDir logs("allocation");
    const std::string tokens = "qel60_uninst.ini 4 0 0";
    staging::Difference reference;
    {
        EndToEnd e2e;
        ASSERT_TRUE(e2e.Stage()) << e2e.error();
        EndToEndRun run = e2e.Run(tokens);
        ASSERT_TRUE(run.facts.finished) << e2e.Report(run);
        ASSERT_FALSE(run.after.retryCommand.has_value()) << e2e.Report(run);
        reference = staging::Compare(run.before, run.after);
    }
    EndToEnd e2e;
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    const std::string variant = ShipPath("uninstall-hooks.exe");
    ASSERT_TRUE(CopyFileA(variant.c_str(), Install("uninstall.exe").c_str(), FALSE)) << variant;
    const std::string log = logs / "run.txt";
    FailAllocation failing("update");  // the section's name in any case
    EndToEndRun run = e2e.Run(tokens + " /LOG=\"" + log + "\"");

    ASSERT_TRUE(run.facts.finished) << e2e.Report(run);
    EXPECT_EQ(0u, run.facts.exitCode);
    const std::vector<std::string> update = {Install("Update"), kProduct + "\\Update", kProduct + "\\LastUpdate",
                                             "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELUpdate"};
    const staging::Difference difference = staging::Compare(run.before, run.after);
    EXPECT_EQ(Outside(reference.removed, update), difference.removed) << e2e.Report(run);
    EXPECT_EQ(kNone, LostFrom(difference, update));
    EXPECT_EQ("512", run.after.installedModules.value_or("(none)"));
    EXPECT_EQ("7", run.after.installedProducts.value_or("(none)"));
    EXPECT_EQ("\"" + Install("uninstall.exe") + "\" qel60_uninst.ini 4 0 2 /LOG=\"" + log + "\"",
              run.after.retryCommand.value_or("(none)"));
    // The fault ended the updater; the next module came after it.
    const std::string text = ReadTextFile(log);
    const size_t fault = text.find("MODULE   Update ended by fault 0xe04d5701");
    EXPECT_LT(fault, text.find("MODULE   Update not removed")) << text;
    EXPECT_LT(text.find("MODULE   Update not removed"), text.find("MODULE   Channel removed")) << text;
    EXPECT_EQ(kNone, sentinels.Missing());
}

// Two modules share a tree: the first finds no memory in the middle of its walk, deep in the
// tree, where it holds a find handle per level; the second, in the same run, empties the tree
// and removes its directories. (On the NT family a find handle left open would keep its
// directory, and so its parents, until the handle is closed; the guard closes them.)
TEST(AllocationFailure, ATreeLeftInTheMiddleOfItsWalkIsRemovedLaterInTheSameRun)
{
    Sentinels sentinels(kSampleInstallDir);
    ScratchDir scratch("walk");
    // Enough files that the walk spans some 300 allocations, wider than the reads and checks
    // before it vary as the program changes.
    const int kFiles = 150;
    std::string items =
        "copy uninstall.exe = {ship}\\uninstall-hooks.exe\r\n"
        "copy kolbex.dll = {ship}\\product\\kolbex\\kolbex.dll\r\n"
        "copy walk.ini = {samples}\\walk.ini\r\n"
        "key HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\r\n"
        "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\Path = {install}\r\n"
        "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\InstalledProducts = 1\r\n"
        "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\InstalledModules = 3\r\n"
        "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\First\\Setting = 1\r\n"
        "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\Second\\Setting = 2\r\n";
    for (int i = 0; i < kFiles; ++i) items += "file Data\\Tree\\Deep\\file" + std::to_string(100 + i) + ".dat\r\n";
    WriteTextFile(scratch / "description.ini", items);
    WriteTextFile(scratch / "walk.ini",
                  "[General]\r\nApps=Walk\r\n[Walk]\r\nMask=1\r\nModules=First,Second\r\n"
                  "[First]\r\nMask=1\r\nRelativePath=Data\r\nDelDir1=Tree\r\nRegKeyDelSection=FirstReg\r\n"
                  "[FirstReg]\r\nKey1=%ProgramRoot%\\First\\\r\n"
                  "[Second]\r\nMask=2\r\nRelativePath=Data\r\nDelDir1=Tree\\Deep\r\nDelDir2=Tree\r\n"
                  "RegKeyDelSection=SecondReg\r\n[SecondReg]\r\nKey1=%ProgramRoot%\\Second\\\r\n");
    staging::Options options = SampleOptions();
    options.samplesDir = scratch.path();
    EndToEnd e2e(options, scratch / "description.ini");
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    const std::string log = scratch / "run.txt";
    // Counted from the start of First's removal: its reads and the checks of Tree come to
    // between 100 and 200 allocations (measured with the log), then the walk takes two per
    // entry; the 250th falls in the middle of Deep's files.
    FailAllocation failing("First:250");
    EndToEndRun run = e2e.Run("walk.ini 1 0 0 /LOG=\"" + log + "\"");

    ASSERT_TRUE(run.facts.finished) << e2e.Report(run);
    EXPECT_EQ(0u, run.facts.exitCode);
    const std::string text = ReadTextFile(log);
    const size_t fault = text.find("MODULE   First ended by fault 0xe04d5701");
    ASSERT_NE(std::string::npos, fault) << text;
    // The fault came in the middle of the walk of Deep: some of its files were deleted by then.
    size_t deletedBefore = 0;
    for (size_t at = 0; (at = text.find("FILE     deleted", at)) < fault; ++at) ++deletedBefore;
    EXPECT_GT(deletedBefore, 0u) << "the fault came before the walk of Deep: measure again\n" << text;
    EXPECT_LT(deletedBefore, static_cast<size_t>(kFiles)) << "the fault came after the walk\n" << text;
    EXPECT_LT(fault, text.find("MODULE   Second removed")) << text;
    // Second took the rest of the tree and every directory of it; First keeps its entries.
    EXPECT_EQ(kNone, StillPresent(run.after, {Install("Data"), kProduct + "\\Second"})) << e2e.Report(run);
    EXPECT_EQ(kNone, LostFrom(staging::Compare(run.before, run.after), {kProduct + "\\First"}));
    EXPECT_EQ("1", run.after.installedModules.value_or("(none)"));
    EXPECT_TRUE(run.after.retryCommand.has_value());
    EXPECT_EQ(kNone, sentinels.Missing());
}

}  // namespace
