// The configuration restore run in-process on a staged installation (tests/unit/RestoreFixtures.h),
// with the real shell links, registry and start-up file of the prefix and the support-library
// stand-ins.
#include "app/RunContext.h"
#include "engine/Driver.h"
#include "door/Door.h"
#include "log/RemovalLog.h"
#include "restore/Restore.h"
#include "tests/support/Keys.h"
#include "tests/support/ShellLinks.h"
#include "tests/unit/RestoreFixtures.h"
#include <commctrl.h>
#include <gtest/gtest.h>

using namespace testing_support;
using namespace restore_test;

namespace {

TEST(Restore, StepsPerRemoval)
{
    // GetVersionExA reports Windows 98 in this prefix: the Maintenance Wizard gate is open.
    const Lines ie4 = {"SM_IE4Instalado() = 1"};
    const Lines channel = {"SM_IE4Instalado() = 1", kChannelCall, kDesktopCall};
    const Lines jobs = {"JOB_FindFirstJob(1) = 3", "JOB_DeleteJob(3)", "JOB_FindNextJob(1) = 5",
                        "JOB_DeleteJob(5)", "JOB_FindNextJob(2) = 0", "JOB_FindJobEnd(0)"};
    struct Row {
        DWORD actionFlags = 0, productBit = 0;
        bool ie4 = true;             // Internet Explorer 4 as the subscription library says
        bool dirLineGone = false;    // the start-up line of the install directory
        bool startupGone = false;    // the "QELCL" line and the companion file
        bool maintenance = false;    // the Maintenance Wizard restored, the System Agent key gone
        bool quickLaunchGone = false;
        Lines subsLog, taskLog;      // the support libraries' calls
        std::vector<int> positions;  // of the progress bar
    } rows[] = {
        {.productBit = 4, .dirLineGone = true, .startupGone = true, .maintenance = true,
         .quickLaunchGone = true, .subsLog = channel, .taskLog = jobs, .positions = {0, 33, 50, 75, 100}},
        {.productBit = 1, .dirLineGone = true, .startupGone = true, .subsLog = ie4, .taskLog = jobs,
         .positions = {0, 50, 75, 100}},
        {.productBit = 0, .dirLineGone = true, .startupGone = true, .subsLog = ie4, .taskLog = jobs,
         .positions = {0, 50, 75, 100}},
        {.actionFlags = 0x10, .productBit = 4, .startupGone = true, .subsLog = ie4, .positions = {0, 50, 75, 100}},
        {.actionFlags = 0x20, .subsLog = channel, .positions = {0, 50, 75, 100}},
        {.actionFlags = 0x20, .ie4 = false, .subsLog = {"SM_IE4Instalado() = 0"}, .positions = {0, 100}},
        {.actionFlags = 0x40, .quickLaunchGone = true, .subsLog = ie4, .positions = {0, 50, 75, 100}},
        {.actionFlags = 0x80, .maintenance = true, .subsLog = ie4, .positions = {0, 33, 50, 75, 100}},
        {.productBit = 4, .ie4 = false, .dirLineGone = true, .startupGone = true, .maintenance = true,
         .subsLog = {"SM_IE4Instalado() = 0"}, .positions = {0, 33, 100}},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& row = rows[i];
        Staging setup;
        setup.ie4 = row.ie4;
        Installation install(setup);
        ProgressBar bar;
        install.Run(row.actionFlags, row.productBit, bar.get());
        ProgressBar::Drain();

        std::string expected = std::string(kHead) + (row.dirLineGone ? "" : install.dirLine) +
                               (row.startupGone ? "" : kStartupLine) + kTail;
        EXPECT_EQ(expected, ReadTextFile(install.autoexec.path())) << "row " << i;
        EXPECT_EQ(!row.startupGone, FileExists(install.companion.path())) << "row " << i;
        EXPECT_EQ(!row.maintenance, KeyExists(HKEY_LOCAL_MACHINE, kAgentKey)) << "row " << i;
        // The maintenance shortcut is written again, pointing at the Windows wizard.
        ShellLinkFacts link = ReadShellLink(install.maintenanceLink + ".lnk");
        EXPECT_TRUE(link.loaded) << "row " << i;
        const std::string target = row.maintenance ? install.wizard.path() : install.productWizard.path();
        EXPECT_EQ(0, lstrcmpiA(target.c_str(), link.target.c_str())) << "row " << i << ": " << link.target;
        EXPECT_EQ(row.maintenance ? "" : "old link", link.description) << "row " << i;
        EXPECT_EQ(row.maintenance ? "windows wizard" : "product wizard",
                  ReadTextFile(install.wizard.path())) << "row " << i;
        EXPECT_EQ(!row.maintenance, FileExists(install.savedWizard.path())) << "row " << i;
        EXPECT_EQ(!row.maintenance, FileExists(install.productWizard.path())) << "row " << i;
        EXPECT_EQ(!row.quickLaunchGone, FileExists(install.quickLaunch)) << "row " << i;
        EXPECT_EQ(row.subsLog, install.SubsLog()) << "row " << i;
        EXPECT_EQ(row.subsLog != channel, FileExists(install.installDir + "qelsubs.dll")) << "row " << i;
        EXPECT_EQ(row.taskLog, install.TaskLog()) << "row " << i;
        EXPECT_FALSE(FileExists(install.installDir + "qeltask.dll")) << "row " << i;
        EXPECT_EQ(row.positions, ProgressBar::positions) << "row " << i;
    }
}

// Sets a file's last write time to `days` from now.
void SetWritten(const std::string& path, int days)
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME time;
    SystemTimeToFileTime(&now, &time);
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart += static_cast<long long>(days) * 864000000000LL;
    time.dwLowDateTime = value.LowPart;
    time.dwHighDateTime = value.HighPart;
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    SetFileTime(file, NULL, NULL, &time);
    CloseHandle(file);
}

TEST(Restore, TuneupFilesOnlyMoveAfterASuccessfulCopy)
{
    {
        Staging setup;
        setup.savedWizard = false;
        Installation install(setup);
        install.Run(0x80, 0);
        EXPECT_EQ("product wizard", ReadTextFile(install.wizard.path()));
        EXPECT_TRUE(FileExists(install.productWizard.path()));
        // Still written again, to the Windows wizard.
        EXPECT_EQ(0, lstrcmpiA(install.wizard.path().c_str(), ReadShellLink(install.maintenanceLink + ".lnk").target.c_str()));
    }
    {
        // Wine's CopyFileA overwrites a read-only or open target, which Windows refuses: a
        // directory in the wizard's place makes the copy fail there too.
        Installation install;
        DeleteFileA(install.wizard.path().c_str());
        ASSERT_TRUE(CreateDirectoryA(install.wizard.path().c_str(), NULL));
        install.Run(0x80, 0);
        EXPECT_EQ("windows wizard", ReadTextFile(install.savedWizard.path()));
        EXPECT_FALSE(FileExists(install.productWizard.path()));
        RemoveDirectoryA(install.wizard.path().c_str());
    }
    // Another company's wizard in the product's place: written after the saved copy, a newer
    // owner put it there and it stays; written before it, Windows' wizard comes back over it.
    for (bool newer : {true, false}) {
        Installation install;
        const std::string other = ReadTextFile(ShipPath("product\\versioned\\othercompany.dll"));
        WriteTextFile(install.wizard.path(), other);
        SetWritten(install.wizard.path(), newer ? 2 : -2);
        SetWritten(install.savedWizard.path(), 0);
        install.Run(0x80, 0);
        EXPECT_EQ(newer ? other : "windows wizard", ReadTextFile(install.wizard.path())) << newer;
        EXPECT_EQ(newer, FileExists(install.savedWizard.path())) << newer;
    }
}

// What a run cut short leaves, row by row, and the full Vantorix removal run again over it: it
// ends as one uninterrupted run ends.
TEST(Restore, ARunCutShortIsFinishedByTheNext)
{
    const std::string replacement = door::ReplacementPath("c:\\autoexec.bat");
    struct Row {
        const char* cut;
        std::function<void(Installation&)> leave;
    } rows[] = {
        {"after the product's wizard went, before the saved one",
         [](Installation& install) {
             CopyFileA(install.savedWizard.path().c_str(), install.wizard.path().c_str(), FALSE);
             DeleteFileA(install.productWizard.path().c_str());
         }},
        {"after the maintenance shortcut was deleted, before it was written again",
         [](Installation& install) { DeleteFileA((install.maintenanceLink + ".lnk").c_str()); }},
        {"after the old start-up file went, before the new text took its place",
         [&replacement](Installation& install) {
             WriteTextFile(replacement, std::string(kHead) + install.dirLine + kTail);
             DeleteFileA(install.autoexec.path().c_str());
         }},
        {"while the new start-up text was written",
         [&replacement](Installation&) { WriteTextFile(replacement, "@ECHO OF"); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cut);
        Installation install;
        row.leave(install);
        install.Run(0, 4);
        EXPECT_EQ(std::string(kHead) + kTail, ReadTextFile(install.autoexec.path()));
        EXPECT_FALSE(FileExists(replacement));
        EXPECT_EQ("windows wizard", ReadTextFile(install.wizard.path()));
        EXPECT_FALSE(FileExists(install.savedWizard.path()));
        EXPECT_FALSE(FileExists(install.productWizard.path()));
        ShellLinkFacts link = ReadShellLink(install.maintenanceLink + ".lnk");
        EXPECT_EQ(0, lstrcmpiA(install.wizard.path().c_str(), link.target.c_str())) << link.target;
        DeleteFileA(replacement.c_str());
    }
}

// The deletions a later run needs undone come last: the support libraries after the last step
// that asks them, the saved Windows wizard after the product's copy.
TEST(Restore, WhatTellsALaterRunGoesLast)
{
    Installation install;
    const std::string log = install.root / "restore.log";
    removal_log::Request(log.c_str());
    removal_log::Open(nullptr);
    install.Run(0, 4);
    removal_log::Close();
    const std::string text = ReadTextFile(log);
    auto at = [&text](const std::string& what) {
        size_t found = text.find(what);
        EXPECT_NE(std::string::npos, found) << what;
        return found;
    };
    const size_t jobs = at("scheduled jobs deleted: 2");
    EXPECT_LT(jobs, at("deleted " + install.installDir + "qelsubs.dll"));
    EXPECT_LT(jobs, at("deleted " + install.installDir + "qeltask.dll"));
    EXPECT_LT(at("deleted " + install.productWizard.path()), at("deleted " + install.savedWizard.path()));
}

TEST(Restore, TaskLibraryVariants)
{
    struct Row { const char* library; const char* jobs; Lines log; } rows[] = {
        {"qeltask", "0,5", {"JOB_FindFirstJob(1) = 0", "JOB_FindJobEnd(0)"}},
        {"qeltask", "4,-1,6", {"JOB_FindFirstJob(1) = 4", "JOB_DeleteJob(4)",
                               "JOB_FindNextJob(1) = -1", "JOB_FindJobEnd(0)"}},
        {"qeltask_nofindfirstjob", "3", {}},  // any export missing: no job call at all
        {"qeltask_nofindnextjob", "3", {}},
        {"qeltask_nodeletejob", "3", {}},
        {"qeltask_nofindjobend", "3", {}},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        Staging setup;
        setup.taskLibrary = rows[i].library;
        setup.jobs = rows[i].jobs;
        Installation install(setup);
        install.Run(0, 1);
        EXPECT_EQ(rows[i].log, install.TaskLog()) << "row " << i;
        EXPECT_FALSE(FileExists(install.installDir + "qeltask.dll")) << "row " << i;  // released
    }
}

TEST(Restore, SubscriptionLibraryVariants)
{
    struct Row { const char* library; Lines log; bool libraryGone; std::vector<int> positions; } rows[] = {
        {"qelsubs_noie4instalado", {}, false, {0, 100}},  // counts as no Internet Explorer 4
        {"qelsubs_noeliminacanala", {"SM_IE4Instalado() = 1", kDesktopCall}, true, {0, 50, 75, 100}},
        {"qelsubs_nomanagedesktopitem", {"SM_IE4Instalado() = 1", kChannelCall}, true, {0, 50, 75, 100}},
        {"", {}, true, {0, 100}},  // no library at all (so none left either)
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        Staging setup;
        setup.subsLibrary = rows[i].library;
        Installation install(setup);
        ProgressBar bar;
        install.Run(0x20, 0, bar.get());
        ProgressBar::Drain();
        EXPECT_EQ(rows[i].log, install.SubsLog()) << "row " << i;
        EXPECT_EQ(rows[i].libraryGone, !FileExists(install.installDir + "qelsubs.dll")) << "row " << i;
        EXPECT_EQ(rows[i].positions, ProgressBar::positions) << "row " << i;
    }
}

TEST(Restore, QuickLaunchNeedsAppDataAsText)
{
    struct Row { DWORD type; bool deleted; } rows[] = {
        {REG_SZ, true},
        {REG_EXPAND_SZ, true},
        {REG_BINARY, false},  // the path's bytes, but not text
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        Installation install;
        DeleteValue(HKEY_CURRENT_USER, kShellFolders, "AppData");
        SetStringValue(HKEY_CURRENT_USER, kShellFolders, "AppData", install.appData, rows[i].type);
        install.Run(0x40, 0);
        EXPECT_EQ(!rows[i].deleted, FileExists(install.quickLaunch)) << "row " << i;
    }
}

TEST(Restore, AnInstallDirectoryThatNamesNoPrivatePlaceKeepsEveryLine)
{
    Installation install;
    // A directory that is gone has no short form, and so no marker, which could match every
    // line; a "Path" of the Windows directory or of a drive root (whose "C:" is the current
    // directory of the drive) would make a marker that the PATH line also holds.
    const std::string rows[] = {install.root / "Gone Directory\\", install.windowsDir, "C:\\"};
    for (const std::string& odd : rows) {
        SCOPED_TRACE(odd);
        DoorRun door(odd);
        CurrentDirectory inWindows(install.windowsDir);
        runContext.actionFlags = 0;
        runContext.productBit = 1;
        RestoreConfiguration(NULL, odd.c_str());
        EXPECT_EQ(std::string(kHead) + install.dirLine + kTail, ReadTextFile(install.autoexec.path()));
    }
}

TEST(Restore, OnlyTheProductsShortcutsAreTouched)
{
    // Another vendor's shortcut under the names the registry gives, and a file that is no
    // shortcut at all: neither is deleted, nor written again.
    for (bool linked : {true, false}) {
        SCOPED_TRACE(linked ? "a shortcut of another vendor" : "no shortcut");
        Installation install;
        const std::string other = install.root / "Other Vendor\\tool.exe";
        WriteTextFile(other, "x");
        for (const std::string& shortcut : {install.maintenanceLink + ".lnk", install.quickLaunch}) {
            DeleteFileA(shortcut.c_str());
            if (linked) ASSERT_TRUE(WriteShellLink(shortcut, other, "theirs"));
            else WriteTextFile(shortcut, "not a link");
        }
        install.Run(0, 4);
        for (const std::string& shortcut : {install.maintenanceLink + ".lnk", install.quickLaunch}) {
            EXPECT_EQ(linked, ReadShellLink(shortcut).loaded) << shortcut;
            if (linked) EXPECT_EQ(0, lstrcmpiA(other.c_str(), ReadShellLink(shortcut).target.c_str())) << shortcut;
            else EXPECT_EQ("not a link", ReadTextFile(shortcut));
        }
        EXPECT_EQ("windows wizard", ReadTextFile(install.wizard.path()));  // the wizard's files still go back
    }
}

TEST(Restore, ProgressIsPumpedAfterEachReport)
{
    Installation install;
    ProgressBar bar;
    PostMessageA(bar.get(), WM_APP, 0, 0);
    PumpMessages();
    if (!ProgressBar::probed) GTEST_SKIP() << "PumpMessages dispatches nothing in this build";

    // What each report point has already done when its position is dispatched.
    std::vector<std::string> stages;
    ProgressBar::onPosition = [&] {
        stages.push_back(std::string(KeyExists(HKEY_LOCAL_MACHINE, kAgentKey) ? "K" : "-") +
                         (FileExists(install.companion.path()) ? "Q" : "-") +
                         (install.SubsLog().size() == 3 ? "C" : "-") +
                         (FileExists(install.quickLaunch) ? "L" : "-") +
                         (install.TaskLog().empty() ? "-" : "J") +
                         (FileExists(install.installDir + "qeltask.dll") ? "T" : "-"));
    };
    install.Run(0, 4, bar.get());
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));  // nothing left to dispatch
    EXPECT_EQ((std::vector<int>{0, 33, 50, 75, 100}), ProgressBar::positions);
    EXPECT_EQ((std::vector<std::string>{"KQ-L-T", "---L-T", "--CL-T", "--C--T", "--C-J-"}), stages);
    ProgressBar::onPosition = nullptr;

    // Without a bar the queue is pumped all the same.
    Installation again;
    PostMessageA(bar.get(), WM_APP, 0, 0);
    ProgressBar::probed = false;
    again.Run(0x10, 0);
    EXPECT_TRUE(ProgressBar::probed);
}

// Sees every message taken from this thread's queue, thread messages included.
int positionsTaken = 0;
LRESULT CALLBACK CountPositions(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && reinterpret_cast<MSG*>(lParam)->message == PBM_SETPOS) ++positionsTaken;
    return CallNextHookEx(NULL, code, wParam, lParam);
}

TEST(Restore, WithoutABarNothingIsPosted)
{
    Installation install;
    positionsTaken = 0;
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, CountPositions, NULL, GetCurrentThreadId());
    ASSERT_TRUE(hook != NULL);
    install.Run(0, 4);
    ProgressBar::Drain();
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(0, positionsTaken);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAgentKey));  // the run did happen
}

TEST(SystemAgentKey, DeletesTheWholeTree)
{
    // Wine's RegDeleteKeyA in win98 mode leaves "Sub3" behind when "Sub1" comes first.
    Installation install;
    CreateKey(HKEY_LOCAL_MACHINE, std::string(kAgentKey) + "\\Sub22\\a\\b\\c");
    EXPECT_EQ(1, DeleteSystemAgentJobsKey());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAgentKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kAgentSibling));
    EXPECT_EQ(0, DeleteSystemAgentJobsKey());  // gone already
}

TEST(CreateShortcut, TooLongAPathIsNotWrittenNorCut)
{
    // What it writes is read back in Restore.StepsPerRemoval.
    ScratchDir dir{"link"};
    std::string target = dir / "target.exe";
    WriteTextFile(target, "x");
    std::string nested = dir / std::string(120, 'n');
    MakeDirectories(nested);
    // 255 characters fit the shortcut buffer; this path is longer.
    CreateShortcut((nested + "\\" + std::string(130, 'm') + ".lnk").c_str(), target.c_str());
    EXPECT_EQ(std::vector<std::string>(), ListTree(nested));
}

}  // namespace
