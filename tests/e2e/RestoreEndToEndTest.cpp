// uninstall.exe on staged installations: what the configuration restore undoes, under the Windows
// versions that decide its Maintenance Wizard step, and that nothing else in Windows changes.
#include "tests/e2e/SystemState.h"
#include "tests/support/EndToEnd.h"
#include "tests/support/SavedKey.h"
#include "tests/support/ShellLinks.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const char kAppDefaultsKey[] = "Software\\Wine\\AppDefaults";
const char kUninstallerDefaultsKey[] = "Software\\Wine\\AppDefaults\\uninstall.exe";
const char kSageKey[] = "SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE";
const char kSystemAgentKey[] = "SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE\\QELJobs for Win32";
const char kSystemTools[] = "{windows}\\Start Menu\\Programs\\Accessories\\System Tools";
const char kMaintenanceLink[] = "{windows}\\Start Menu\\Programs\\Accessories\\System Tools\\Maintenance Wizard.lnk";
const char kQuickLaunch[] = "{appdata}\\Microsoft\\Internet Explorer\\Quick Launch";
const char kQuickLaunchLink[] = "{appdata}\\Microsoft\\Internet Explorer\\Quick Launch\\Morwa Antivirus.lnk";
const char* const kTuneupFiles[] = {"tuneup.exe", "tuneupMS.exe", "tuneupQEL.exe"};

const char kAllJobs[] =
    "JOB_FindFirstJob(1) = 3\r\nJOB_DeleteJob(3)\r\nJOB_FindNextJob(1) = 7\r\nJOB_DeleteJob(7)\r\n"
    "JOB_FindNextJob(2) = 12\r\nJOB_DeleteJob(12)\r\nJOB_FindNextJob(3) = 0\r\nJOB_FindJobEnd(0)\r\n";
const char kIE4Only[] = "SM_IE4Instalado() = 1\r\n";
const char kChannelCalls[] =
    "SM_IE4Instalado() = 1\r\n"
    "SM_EliminaCanalA(\"http://www.morwa.example/qelsig/Morwa_News.cdf\", \"Morwa de la semana\", 0)\r\n"
    "SM_ManageDesktopItem(0, \"http://www.morwa.example/qelsig/Morwa_DskItem.cdf\", "
    "\"http://canales.morwa.example/canales/a.htm\", \"Morwa de la semana\", 1)\r\n";

// The Windows version that Wine reports to uninstall.exe alone (the prefix itself stays win98).
// "win7" stands for the NT family: with the prefix set to win98, deleting the value would give win98.
class UninstallerVersion {
public:
    explicit UninstallerVersion(const char* version)
    {
        SetStringValue(HKEY_CURRENT_USER, kUninstallerDefaultsKey, "Version", version);
    }
private:
    SavedKey appDefaults_{HKEY_CURRENT_USER, kAppDefaultsKey};  // put back in reverse order
    SavedKey uninstaller_{HKEY_CURRENT_USER, kUninstallerDefaultsKey};
};

// What a row changes in the staged sample.
struct RunSetup {
    const char* version = "win98";
    const char* tokens = "qel60_uninst.ini 4 0 0";
    bool ie4 = true;
    const char* jobs = "3,7,12";
    const char* taskLibrary = nullptr;  // a shipped variant put in place of qeltask.dll
    bool withoutSavedWizard = false;    // "tuneupMS.exe" left out
};

// Which hooks the run must undo, and the stand-ins' call logs it must leave ("" when none).
struct Expected {
    bool installDirLine;
    bool startupLine;
    bool maintenance;
    bool channel;
    bool quickLaunch;
    const char* subscriptionLog;
    const char* taskLog;
};

struct Row {
    const char* name;
    RunSetup setup;
    Expected expected;
};

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The CR LF lines of `text` that hold none of the markers (compared in upper case); `dropped`
// counts the others.
std::string WithoutLinesHolding(const std::string& text, const std::vector<std::string>& markers, int& dropped)
{
    std::string kept;
    dropped = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        end = end == std::string::npos ? text.size() : end + 2;
        std::string line = text.substr(start, end - start);
        bool holds = false;
        for (const std::string& marker : markers) holds = holds || Upper(line).find(marker) != std::string::npos;
        if (holds)
            ++dropped;
        else
            kept += line;
        start = end;
    }
    return kept;
}

// Files and keys beside the ones the restore removes, which it must leave.
class Neighbours {
public:
    explicit Neighbours(const staging::Installation& installation)
        : files_{installation.Expand(kSystemTools) + "\\Disk Cleanup.lnk",
                 installation.Expand(kQuickLaunch) + "\\Show Desktop.scf",
                 installation.Expand("{windows}\\tuneup.ini")}
    {
        for (const std::string& file : files_) WriteTextFile(file, "neighbour: " + file);
        SetStringValue(HKEY_LOCAL_MACHINE, std::string(kSageKey) + "\\QELJobs for Win32 Backup\\Scan", "Program",
                       "neighbour");
    }
    ~Neighbours()
    {
        for (const std::string& file : files_) DeleteFileA(file.c_str());
        DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kSageKey) + "\\QELJobs for Win32 Backup");
    }
private:
    std::vector<std::string> files_;
};

// The keys the restore reads and writes, and the lists the sample's registry entries lie in.
const char* const kMachineKeys[] = {
    "Software\\Microsoft\\Plus!",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "Software\\Microsoft\\Exchange",
    "Software\\Morwa Software",
    "Software\\Classes\\.qel",
    "Software\\Classes\\Morwa.ScanList",
    "System\\CurrentControlSet\\Services\\VxD",
};
const char* const kUserKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "Software\\Morwa Software",
};

// The places the restore works in, whole: the Windows directory's top level with the wizard's
// files and the start-up companions' neighbours, the system directory's top level, the shortcuts'
// folders, the root with the start-up file, and the keys above. A change beside what a row
// expects shows there; whole-tree snapshots of the Windows directory and of HKLM\Software took
// most of a row's time.
system_state::State TakeSystemState(const staging::Installation& installation)
{
    system_state::State state;
    system_state::AddDirectoryTree(state, installation.Expand("{windows}"), 1);
    system_state::AddDirectoryTree(state, installation.Expand("{system}"), 1);
    system_state::AddDirectoryTree(state, installation.Expand(kSystemTools));
    system_state::AddDirectoryTree(state, installation.Expand("{appdata}\\Microsoft\\Internet Explorer"));
    system_state::AddDirectoryTree(state, "C:\\", 1);  // the start-up files beside the other roots
    for (const char* key : kMachineKeys) system_state::AddKeyTree(state, HKEY_LOCAL_MACHINE, "HKLM", key);
    for (const char* key : kUserKeys) system_state::AddKeyTree(state, HKEY_CURRENT_USER, "HKCU", key);
    return state;
}

// Where a run may change things: what the sample describes (checked item by item elsewhere), the
// install directory and the prefix's own Wine settings (the Windows version set above).
std::vector<std::string> DescribedPlaces(const staging::Installation& installation)
{
    std::vector<std::string> places = {installation.installDir(), "HKCU\\Software\\Wine"};
    for (const staging::DescriptionItem& item : installation.items()) {
        std::string root, below;
        switch (item.kind) {
        case staging::ItemKind::File:
        case staging::ItemKind::Line:
        case staging::ItemKind::Copy:
        case staging::ItemKind::OptionalCopy:
        case staging::ItemKind::Link:
            places.push_back(installation.Path(item.target));
            break;
        case staging::ItemKind::Key:
        case staging::ItemKind::StringValue:
        case staging::ItemKind::DwordValue:
            if (!staging::SplitRegistryPath(installation.Expand(item.target), root, below)) break;
            places.push_back(root + "\\" + below);
            if (root == "HKCR") places.push_back("HKLM\\Software\\Classes\\" + below);
            break;
        default:
            break;
        }
    }
    return places;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

void RunRow(const Row& row)
{
    SCOPED_TRACE(row.name);
    const RunSetup& setup = row.setup;
    const Expected& expected = row.expected;
    UninstallerVersion version(setup.version);

    staging::Options options = SampleOptions();
    if (setup.withoutSavedWizard) options.omit.push_back("{windows}\\tuneupMS.exe");
    EndToEnd endToEnd(options);
    ASSERT_TRUE(endToEnd.Stage()) << endToEnd.error();
    staging::Installation& installation = endToEnd.installation();
    WriteTextFile(installation.Path("qelsubs.ini"),
                  std::string("[qelsubs]\r\nIE4Installed=") + (setup.ie4 ? "1" : "0") + "\r\n");
    WriteTextFile(installation.Path("qeltask.ini"), std::string("[qeltask]\r\nJobs=") + setup.jobs + "\r\n");
    if (setup.taskLibrary) {
        std::string variant = ShipPath(std::string("product\\qeltask\\") + setup.taskLibrary);
        ASSERT_TRUE(CopyFileA(variant.c_str(), installation.Path("qeltask.dll").c_str(), FALSE)) << variant;
    }
    Neighbours neighbours(installation);
    Sentinels sentinels(installation.installDir());

    const std::string windows = installation.Expand("{windows}");
    const std::string maintenanceLink = installation.Expand(kMaintenanceLink);
    const std::string quickLaunchLink = installation.Expand(kQuickLaunchLink);
    std::string tuneupBefore[3];
    for (int i = 0; i < 3; ++i) tuneupBefore[i] = ReadTextFile(windows + "\\" + kTuneupFiles[i]);
    // The product's shortcut to its own wizard, as the restore finds it.
    ASSERT_TRUE(WriteShellLink(maintenanceLink, windows + "\\tuneupQEL.exe", "Morwa Maintenance Wizard"));
    const std::string linkBefore = ReadTextFile(maintenanceLink);
    ASSERT_EQ(Upper(windows + "\\tuneupQEL.exe"), Upper(ReadShellLink(maintenanceLink).target));
    ASSERT_TRUE(FileExists(quickLaunchLink));
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kSystemAgentKey) + "\\Scan"));
    const system_state::State systemBefore = TakeSystemState(installation);

    EndToEndRun run = endToEnd.Run(std::string(setup.tokens));
    const std::string report = endToEnd.Report(run);
    ASSERT_TRUE(run.facts.finished) << report;
    EXPECT_EQ(0u, run.facts.exitCode) << report;
    EXPECT_FALSE(run.after.retryCommand.has_value()) << report;

    // The start-up file loses exactly the selected lines; every other line stays as it was.
    std::vector<std::string> markers;
    if (expected.installDirLine) markers.push_back(installation.Expand("{installShort}"));
    if (expected.startupLine) markers.push_back("QELCL");
    const std::string startupBefore = run.before.texts["C:\\autoexec.bat"];
    int dropped = 0;
    const std::string startupExpected = WithoutLinesHolding(startupBefore, markers, dropped);
    EXPECT_EQ(static_cast<int>(markers.size()), dropped) << startupBefore;
    EXPECT_EQ(startupExpected, ReadTextFile("C:\\autoexec.bat"));
    EXPECT_EQ(!expected.startupLine, FileExists("C:\\autoexec.qel"));

    // The Maintenance Wizard: the saved wizard back in place, the shortcut written again, the
    // System Agent key gone with its sub-keys; or everything as it was.
    bool restoresFiles = expected.maintenance && !setup.withoutSavedWizard;
    EXPECT_EQ(restoresFiles ? tuneupBefore[1] : tuneupBefore[0], ReadTextFile(windows + "\\tuneup.exe"));
    EXPECT_EQ(!restoresFiles && !setup.withoutSavedWizard, FileExists(windows + "\\tuneupMS.exe"));
    EXPECT_EQ(!restoresFiles, FileExists(windows + "\\tuneupQEL.exe"));
    if (!restoresFiles) {
        EXPECT_EQ(tuneupBefore[2], ReadTextFile(windows + "\\tuneupQEL.exe"));
    }
    EXPECT_EQ(!expected.maintenance, KeyExists(HKEY_LOCAL_MACHINE, kSystemAgentKey));
    if (expected.maintenance) {
        ShellLinkFacts link = ReadShellLink(maintenanceLink);
        EXPECT_TRUE(link.loaded) << ReadTextFile(maintenanceLink);
        EXPECT_EQ(Upper(windows + "\\tuneup.exe"), Upper(link.target));
        EXPECT_EQ("", link.description);
        EXPECT_EQ("", link.arguments);
    } else {
        EXPECT_EQ(linkBefore, ReadTextFile(maintenanceLink));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kSystemAgentKey) + "\\Scan"));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kSystemAgentKey) + "\\Update"));
    }

    // The channel through the subscription library, the Quick Launch shortcut, the jobs through
    // the task library; the task library goes in every run.
    EXPECT_EQ(expected.subscriptionLog, ReadTextFile(installation.Path("qelsubs.log")));
    EXPECT_EQ(!expected.channel, FileExists(installation.Path("qelsubs.dll")));
    EXPECT_EQ(!expected.quickLaunch, FileExists(quickLaunchLink));
    EXPECT_EQ(expected.taskLog, ReadTextFile(installation.Path("qeltask.log")));
    EXPECT_FALSE(FileExists(installation.Path("qeltask.dll")));

    // Nothing else changed.
    std::vector<std::string> changes =
        system_state::ChangesOutside(systemBefore, TakeSystemState(installation), DescribedPlaces(installation));
    EXPECT_TRUE(changes.empty()) << Joined(changes);
    std::vector<std::string> missing = sentinels.Missing();
    EXPECT_TRUE(missing.empty()) << Joined(missing);
}

// Every step: the Maintenance Wizard only on Windows 98 and only for a full Vantorix removal or
// bit 0x80; the channel and the Quick Launch shortcut only with Internet Explorer 4 and only for a
// full Vantorix removal or their bits; the jobs in every full removal.
TEST(RestoreEndToEnd, WindowsVersionEditionAndFlagsSelectTheSteps)
{
    const Row rows[] = {
        {"Vantorix, win98", {}, {true, true, true, true, true, kChannelCalls, kAllJobs}},
        {"Vantorix, win95", {"win95"}, {true, true, false, true, true, kChannelCalls, kAllJobs}},
        {"Vantorix, NT", {"win7"}, {true, true, false, true, true, kChannelCalls, kAllJobs}},
        {"base edition, win98", {"win98", "qel60_uninst.ini 1 0 0"}, {true, true, false, false, false, kIE4Only, kAllJobs}},
        {"all editions, win98", {"win98", "qel60_uninst.ini 0 0 0"}, {true, true, false, false, false, kIE4Only, kAllJobs}},
        {"start-up line only, win95", {"win95", "qel60_uninst.ini 4 16 0"}, {false, true, false, false, false, kIE4Only, ""}},
        {"Maintenance Wizard and Quick Launch, win98", {"win98", "qel60_uninst.ini 4 192 0"},
         {false, false, true, false, true, kIE4Only, ""}},
        {"channel without Internet Explorer 4, win98", {"win98", "qel60_uninst.ini 4 32 0", false},
         {false, false, false, false, false, "SM_IE4Instalado() = 0\r\n", ""}},
        {"channel without Internet Explorer 4, NT", {"win7", "qel60_uninst.ini 4 32 0", false},
         {false, false, false, false, false, "SM_IE4Instalado() = 0\r\n", ""}},
    };
    for (const Row& row : rows) RunRow(row);
}

// The saved wizard missing: the three wizard files stay as they are, the shortcut and the System
// Agent key are still handled.
TEST(RestoreEndToEnd, MissingSavedWizardLeavesTheWizardFiles)
{
    RunSetup setup;
    setup.withoutSavedWizard = true;
    RunRow({"Vantorix without tuneupMS.exe, win98", setup, {true, true, true, true, true, kChannelCalls, kAllJobs}});
}

// The job enumeration: a first job number of 0 ends it at once with the closing call; a library
// that lacks any one of the four exports gets no job call at all, and is deleted all the same.
TEST(RestoreEndToEnd, TaskLibraryEnumerationAndMissingExports)
{
    const char base[] = "qel60_uninst.ini 1 0 0";
    const Row rows[] = {
        {"first job 0", {"win98", base, true, "0,5"}, {true, true, false, false, false, kIE4Only,
                                                        "JOB_FindFirstJob(1) = 0\r\nJOB_FindJobEnd(0)\r\n"}},
        {"no JOB_FindFirstJob", {"win98", base, true, "3,7,12", "qeltask_nofindfirstjob.dll"},
         {true, true, false, false, false, kIE4Only, ""}},
        {"no JOB_FindNextJob", {"win98", base, true, "3,7,12", "qeltask_nofindnextjob.dll"},
         {true, true, false, false, false, kIE4Only, ""}},
        {"no JOB_DeleteJob", {"win98", base, true, "3,7,12", "qeltask_nodeletejob.dll"},
         {true, true, false, false, false, kIE4Only, ""}},
        {"no JOB_FindJobEnd", {"win98", base, true, "3,7,12", "qeltask_nofindjobend.dll"},
         {true, true, false, false, false, kIE4Only, ""}},
    };
    for (const Row& row : rows) RunRow(row);
}

}  // namespace
