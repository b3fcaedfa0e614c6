// The uninstall driver in-process: a staged installation, a real manifest and registry, the
// version manager replaced by recording functions, and a stand-in progress page.
#include "app/Language.h"
#include "app/RunContext.h"
#include "engine/Driver.h"
#include "base/Text.h"
#include "tests/support/DoorRun.h"
#include "app/Entry.h"
#include "tests/support/Keys.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/ProgressWindow.h"
#include <gtest/gtest.h>
#include <cstring>
#include <memory>

using namespace testing_support;

namespace {


std::string productsIn, modulesIn;
std::vector<std::string> writes;  // "products/modules" as handed to the version manager

int WINAPI RecordRead(char* products, char* modules)
{
    std::strcpy(products, productsIn.c_str());
    std::strcpy(modules, modulesIn.c_str());
    return 1;
}

int WINAPI RecordWrite(char* products, char* modules)
{
    writes.push_back(std::string(products) + "/" + modules);
    return 1;
}

class DriverTest : public ::testing::Test {
protected:
    ScratchDir root{"drv"};
    std::string install = root / "inst\\";
    std::string regBase = "Software\\UninstTests\\Drv-" + std::to_string(GetCurrentProcessId());
    bool uninstallKeyExisted = KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey);
    DoorRun door{install};

    DriverTest() { Stage(); }
    // A fresh run record, installation, manifest and registry; rows of a table call it again.
    void Stage()
    {
        ResetRunContext();
        runContext.instance = GetModuleHandleA(NULL);
        runContext.languageId = 0x0409;
        CopyText(runContext.manifestPath, kPathSize, "m.ini");
        runContext.readInstalledMasks = RecordRead;
        runContext.writeInstalledMasks = RecordWrite;
        productsIn = "3";
        modulesIn = "7";
        writes.clear();
        for (const char* name : {"engine.dll", "Scan\\scan.exe", "Scan\\Logs\\a.log",
                                 "Mail\\mailscan.dll", "common.dll"})
            WriteTextFile(install + name, "x");
        WriteTextFile(root / "edition\\e.dat", "x");
        SetStringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "QEL60", root / "edition");
        CreateKey(HKEY_CURRENT_USER, regBase + "\\Engine");
        Manifest(SampleManifest());
    }
    ~DriverTest() override
    {
        ResetRunContext();
        // A retry value left behind would start the program at the next Wine start.
        DeleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, "QELUninstTry");
        if (!uninstallKeyExisted) DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        for (const char* name : {"QEL60", "QEL60Win98AM"})
            if (uninstallKeyExisted) DeleteValue(HKEY_LOCAL_MACHINE, kUninstallKey, name);
        DeleteKeyTree(HKEY_CURRENT_USER, regBase);
    }
    std::string SampleManifest() const
    {
        return "[General]\nApps=Base,Mail\n[Base]\nMask=1\nModules=Engine,Scanner\n"
               "[Mail]\nMask=2\nModules=MailScan\n"
               "[Engine]\nMask=1\nFile1=engine.dll\nRegKeyDelSection=EngineReg\n"
               "[EngineReg]\nKey1=HKEY_CURRENT_USER\\" + regBase + "\\Engine\\\n"
               "[Scanner]\nMask=2\nRelativePath=Scan\nFile1=scan.exe\nDelDir1=Logs\n"
               "[MailScan]\nMask=4\nRelativePath=Mail\nFile1=mailscan.dll\n"
               "[Shared]\nTotalFiles=2\nFile1=common.dll\n";
    }
    void Manifest(const std::string& text) { WriteTextFile(install + "m.ini", text); }
    void Select(DWORD productBit, DWORD actionFlags, int runMode)
    {
        runContext.productBit = productBit;
        ReadEditionDirectory(productBit);  // as the run's start reads it
        runContext.actionFlags = actionFlags;
        runContext.runMode = runMode;
    }
};

TEST_F(DriverTest, FullRemovalOfOneEdition)
{
    SetStringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "QEL60Win98AM", root / "maint.lnk");
    Select(1, 0, 0);
    EXPECT_EQ(1, RunUninstall(NULL));
    EXPECT_EQ((std::vector<std::string>{"inst\\", "inst\\Mail\\", "inst\\Mail\\mailscan.dll",
                                        "inst\\m.ini"}),
              ListTree(root.path()));
    EXPECT_EQ((std::vector<std::string>{"3/6", "3/4", "2/4"}), writes);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, regBase + "\\Engine"));
    EXPECT_EQ(install + "m.ini", runContext.manifestPath);
    EXPECT_STREQ((root / "maint.lnk").c_str(), runContext.maintenanceLinkPath.get());
    EXPECT_EQ(0u, runContext.actionFlags);
    EXPECT_EQ(0, runContext.keepFilesFlag);
}

TEST_F(DriverTest, RefusedModuleStaysForTheRetry)
{
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        bool held = row & 1;  // Wine, like the NT family, refuses a held file with 32
        int runMode = row < 2 ? 0 : kRunRetry;
        Stage();
        std::string engine = install + "engine.dll";
        if (!held) SetAttributes(engine, FILE_ATTRIBUTE_READONLY);
        std::unique_ptr<HeldFile> holder(held ? new HeldFile(engine) : nullptr);
        Select(1, 0, runMode);
        EXPECT_EQ(1, RunUninstall(NULL));
        // The module's bits and the edition's bit stay, so that the retry finds the module.
        EXPECT_EQ((std::vector<std::string>{"3/5", "3/5"}), writes);
        EXPECT_TRUE(FileExists(engine));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, regBase + "\\Engine"));
        EXPECT_FALSE(FileExists(install + "common.dll"));
        EXPECT_FALSE(DirectoryExists(root / "edition"));
        EXPECT_EQ(runMode == kRunRetry ? 0 : 1, runContext.keepFilesFlag);
        holder.reset();
        SetAttributes(engine, FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(DriverTest, RefusedSharedModuleKeepsTheEditionListed)
{
    Manifest("[General]\nApps=Base,Extra\n[Base]\nMask=1\nModules=Engine\n[Engine]\nMask=1\n"
             "File1=engine.dll\n[Extra]\nMask=1\nModules=Scanner\n[Scanner]\nMask=2\n"
             "[Shared]\nFile1=common.dll\n");
    SetAttributes(install + "common.dll", FILE_ATTRIBUTE_READONLY);
    Select(1, 0, 0);
    EXPECT_EQ(1, RunUninstall(NULL));
    // Nothing is written for the refused shared step; the next write still lists edition 1.
    EXPECT_EQ((std::vector<std::string>{"3/6", "3/4"}), writes);
    EXPECT_EQ(1, runContext.keepFilesFlag);
    SetAttributes(install + "common.dll", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(DriverTest, PartialRemovals)
{
    // The last module of the edition going turns the partial removal into a full one.
    struct {
        const char* modules;
        std::vector<std::string> writes;
        bool rest;  // the edition directory and the shared module go
        DWORD flags;
    } rows[] = {
        {"9", {"1/1"}, false, 8},
        {"8", {"1/0", "0/0"}, true, 0},
    };
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        Stage();
        Manifest("[General]\nApps=Base\n[Base]\nMask=1\nModules=Engine,Hook\n[Engine]\nMask=1\n"
                 "File1=engine.dll\n[Hook]\nMask=8\nFile1=hook.dll\n[Shared]\nFile1=common.dll\n");
        WriteTextFile(install + "hook.dll", "x");
        productsIn = "1";
        modulesIn = rows[i].modules;
        Select(1, 8, 1);
        ProgressWindow page;
        EXPECT_EQ(1, RunUninstall(page.get()));
        EXPECT_EQ(rows[i].writes, writes);
        EXPECT_FALSE(FileExists(install + "hook.dll"));
        EXPECT_TRUE(FileExists(install + "engine.dll"));
        EXPECT_EQ(rows[i].rest, !FileExists(install + "common.dll"));
        EXPECT_EQ(rows[i].rest, !DirectoryExists(root / "edition"));
        EXPECT_EQ(rows[i].flags, runContext.actionFlags);
        EXPECT_TRUE(page.MarkShown(3));
        EXPECT_EQ(rows[i].rest, page.MarkShown(4));
        EXPECT_TRUE(page.MarkShown(5));
    }
}

TEST_F(DriverTest, EmptyMaskSkipsWithoutHidingAFailure)
{
    Manifest("[General]\nApps=Blank,Base\n[Blank]\nMask=\nModules=Other\n[Other]\nMask=1\n"
             "File1=other.dat\n[Base]\nMask=1\nModules=Engine,Unset\n[Unset]\nMask=\n"
             "[Engine]\nMask=1\nFile1=engine.dll\n");
    WriteTextFile(install + "other.dat", "x");
    SetAttributes(install + "engine.dll", FILE_ATTRIBUTE_READONLY);
    Select(1, 0, 0);
    EXPECT_EQ(1, RunUninstall(NULL));
    EXPECT_TRUE(FileExists(install + "other.dat"));
    EXPECT_EQ(1, runContext.keepFilesFlag);
    SetAttributes(install + "engine.dll", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(DriverTest, RunsThatEndWithoutAWalk)
{
    const std::string longName(240, 'm');
    struct { std::string manifest; const char* name; std::vector<std::string> writes; } rows[] = {
        {"", "absent.ini", {}},
        {"[General]\nOther=1\n", "m.ini", {}},
        {"[General]\nApps=\n", "m.ini", {}},
        {SampleManifest(), longName.c_str(), {}},  // install directory and name over 259
        {"[General]\nApps=Base,Mail\n[Base]\nMask=1\nModules=Engine\n[Engine]\nMask=1\n"
         "File1=engine.dll\n[Mail]\nMask=2\n[Shared]\nFile1=common.dll\n", "m.ini", {"3/6", "3/6"}},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE(i);
        Stage();
        if (!rows[i].manifest.empty()) Manifest(rows[i].manifest);
        CopyText(runContext.manifestPath, kPathSize, rows[i].name);
        Select(0, 0, 0);
        EXPECT_EQ(0, RunUninstall(NULL));
        EXPECT_EQ(rows[i].writes, writes);
        // Only the last row walks an application (and its shared step) before it stops.
        EXPECT_EQ(!rows[i].writes.empty(), !FileExists(install + "engine.dll"));
        EXPECT_EQ(!rows[i].writes.empty(), !FileExists(install + "common.dll"));
        EXPECT_TRUE(FileExists(install + "Mail\\mailscan.dll"));
        EXPECT_TRUE(DirectoryExists(root / "edition"));
        EXPECT_STREQ("", runContext.maintenanceLinkPath.get());
        EXPECT_EQ(0, runContext.keepFilesFlag);
    }
}

// Dismisses the warning box from another thread, as a user would, and keeps what it showed.
struct WarningBox {
    std::string caption;  // the caption to look for
    std::string text;
    bool seen = false;
};

BOOL CALLBACK ClickOkOnWarning(HWND window, LPARAM parameter)
{
    WarningBox* box = reinterpret_cast<WarningBox*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[32] = "", caption[64] = "", text[300] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (process != GetCurrentProcessId() || std::strcmp(className, "#32770") != 0 ||
        box->caption != caption || !IsWindowVisible(window))
        return TRUE;
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);  // the message box's text control
    box->text = text;
    box->seen = true;
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

DWORD WINAPI DismissWarning(LPVOID parameter)
{
    WarningBox* box = static_cast<WarningBox*>(parameter);
    for (int i = 0; i < 400 && !box->seen; ++i) {
        EnumWindows(ClickOkOnWarning, reinterpret_cast<LPARAM>(box));
        Sleep(50);
    }
    return 0;
}

TEST_F(DriverTest, MailClientLibrary)
{
    enum Hold { kNone, kReadOnly, kHeld };
    struct { Hold hold; DWORD flags; bool stops; } rows[] = {
        {kReadOnly, 0, true}, {kHeld, 8, true}, {kHeld, 16, false}, {kNone, 0, false}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE(i);
        Stage();
        std::string library = install + "qelexcli.dll";
        WriteTextFile(library, "x");
        if (rows[i].hold == kReadOnly) SetAttributes(library, FILE_ATTRIBUTE_READONLY);
        std::unique_ptr<HeldFile> holder(rows[i].hold == kHeld ? new HeldFile(library) : nullptr);
        WarningBox box;
        char text[260] = "", caption[25] = "";
        LoadLocalizedString(runContext.instance, 12, text, sizeof text, runContext.languageId);
        LoadLocalizedString(runContext.instance, 13, caption, sizeof caption,
                            runContext.languageId);
        box.caption = caption;
        HANDLE dismisser =
            rows[i].stops ? CreateThread(NULL, 0, DismissWarning, &box, 0, NULL) : NULL;
        Select(1, rows[i].flags, 1);
        ProgressWindow page;
        int result = RunUninstall(page.get());
        if (dismisser) {
            WaitForSingleObject(dismisser, 30000);
            CloseHandle(dismisser);
        }
        EXPECT_EQ(rows[i].stops ? 2 : 1, result);
        EXPECT_EQ(rows[i].stops, box.seen);
        EXPECT_EQ(rows[i].stops ? text : "", box.text);
        EXPECT_EQ(rows[i].flags == 0 && !rows[i].stops, !FileExists(install + "engine.dll"));
        EXPECT_EQ(rows[i].hold != kNone, FileExists(library));
        EXPECT_EQ(rows[i].stops ? 1 : 0, runContext.keepFilesFlag);
        EXPECT_EQ(rows[i].stops ? std::vector<UINT>{WM_CLOSE} : std::vector<UINT>{},
                  page.messages());
        holder.reset();
        SetAttributes(library, FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(DriverTest, ProgressAndStepMarks)
{
    // Five names, one skipped as not installed and one empty: each still costs a pause and a step.
    Manifest("[General]\nApps=Base\n[Base]\nMask=1\nModules=M1,M2,M3,,M5\n[M1]\nMask=1\n"
             "[M2]\nMask=2\n[M3]\nMask=16\n[M5]\nMask=4\n"
             "[Shared]\nTotalFiles=4\nFile1=a\nFile2=b\nFile3=c\nFile4=d\n");
    for (int runMode : {1, 0}) {
        SCOPED_TRACE(runMode);
        Select(1, 0, runMode);
        ProgressWindow page;
        DWORD start = GetTickCount();
        EXPECT_EQ(1, RunUninstall(page.get()));
        EXPECT_GE(GetTickCount() - start, 5u * 200u - 20u);  // the fixed pause per module name
        CopyText(runContext.manifestPath, kPathSize, "m.ini");
        std::vector<unsigned> got = page.positions();
        for (int id = 3; id <= 5; ++id) EXPECT_EQ(runMode != 0, page.MarkShown(id)) << id;
        if (runMode == 0) {
            EXPECT_TRUE(got.empty());  // silent mode 0 never touches the page
            continue;
        }
        // The configuration restore posts its own positions between these and the final 0.
        std::vector<unsigned> walk = {0, 20, 40, 60, 80, 100, 0, 50, 75, 100, 125, 150};
        ASSERT_GT(got.size(), walk.size());
        EXPECT_EQ(walk, std::vector<unsigned>(got.begin(), got.begin() + walk.size()));
        EXPECT_EQ(0u, got.back());
    }
}

TEST(PumpMessagesTest, DispatchesUntranslatedAndStopsAtQuit)
{
    ProgressWindow page;
    PumpMessages();  // an empty queue: returns at once
    EXPECT_TRUE(page.messages().empty());
    PostMessageA(page.get(), WM_KEYDOWN, 'A', 0x001E0001);
    PostMessageA(page.get(), WM_APP, 0, 0);
    PumpMessages();
    EXPECT_EQ((std::vector<UINT>{WM_KEYDOWN, WM_APP}), page.messages());  // no WM_CHAR
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
    PostMessageA(page.get(), WM_APP, 1, 0);
    PumpMessages();
    EXPECT_EQ(2u, page.messages().size());
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_NOREMOVE));  // taken
    EXPECT_TRUE(PeekMessageA(&message, page.get(), WM_APP, WM_APP, PM_REMOVE));  // still waiting
}

}  // namespace
