// The configuration restore run in-process on a staged installation, with the real shell
// links, registry and start-up file of the prefix and the support-library stand-ins.
#include "app/RunContext.h"
#include "engine/Driver.h"
#include "restore/Restore.h"
#include "tests/support/TestSupport.h"
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <gtest/gtest.h>
#include <functional>

using namespace testing_support;

namespace {

const char kAgentParent[] = "SOFTWARE\\Microsoft\\Plus!";
const char kAgentKey[] = "SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE\\QELJobs for Win32";
const char kAgentSibling[] = "SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE\\Other Jobs";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kHead[] = "@ECHO OFF\r\nPATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND\r\n";
const char kStartupLine[] = "QelCl /BOOT\r\n";
const char kTail[] = "LH MSCDEX.EXE\r\n";
const char kChannelCall[] = "SM_EliminaCanalA(\"http://www.morwa.example/qelsig/Morwa_News.cdf\", "
                            "\"Morwa de la semana\", 0)";
const char kDesktopCall[] = "SM_ManageDesktopItem(0, \"http://www.morwa.example/qelsig/Morwa_DskItem.cdf\", "
                            "\"http://canales.morwa.example/canales/a.htm\", \"Morwa de la semana\", 1)";

typedef std::vector<std::string> Lines;

Lines LogLines(const std::string& path)
{
    Lines lines;
    std::string text = ReadTextFile(path);
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// A file outside the scratch area (the start-up files, the tuneup files): put back as it was.
class SavedFile {
public:
    explicit SavedFile(const std::string& path)
        : path_(path), existed_(FileExists(path)), content_(ReadTextFile(path)) {}
    ~SavedFile()
    {
        SetAttributes(path_, FILE_ATTRIBUTE_NORMAL);
        if (existed_) WriteTextFile(path_, content_);
        else DeleteFileA(path_.c_str());
    }
    const std::string& path() const { return path_; }
private:
    std::string path_;
    bool existed_;
    std::string content_;
};

class SavedAppData {
public:
    SavedAppData() : existed_(false), type_(0), size_(sizeof data_)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
        existed_ = RegQueryValueExA(key, "AppData", NULL, &type_, data_, &size_) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~SavedAppData()
    {
        DeleteValue(HKEY_CURRENT_USER, kShellFolders, "AppData");
        HKEY key;
        if (!existed_ || RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_WRITE, &key)) return;
        RegSetValueExA(key, "AppData", 0, type_, data_, size_);
        RegCloseKey(key);
    }
private:
    bool existed_;
    DWORD type_, size_;
    BYTE data_[1024];
};

std::string WindowsDir()
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, sizeof dir);
    return dir;
}

// The restore loads "qelsubs.dll" and "qeltask.dll" by bare name, as the uninstaller finds
// them beside itself. The test executable lies elsewhere, so the install directory is made
// the current directory, which the library search covers (Windows 95/98 have no
// SetDllDirectory).
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& directory)
    {
        GetCurrentDirectoryA(sizeof saved_, saved_);
        SetCurrentDirectoryA(directory.c_str());
    }
    ~CurrentDirectory() { SetCurrentDirectoryA(saved_); }
private:
    char saved_[MAX_PATH];
};

struct Staging {
    bool ie4 = true;
    std::string jobs = "3,5";
    std::string subsLibrary = "qelsubs";  // a variant's name leaves out one export
    std::string taskLibrary = "qeltask";
    bool savedWizard = true;              // "tuneupMS.exe" present
};

// A product installation with every hook the restore undoes.
class Installation {
public:
    explicit Installation(const Staging& setup = Staging())
        : installDir(root / "Morwa Antivirus 6.0\\"),
          maintenanceLink(root / "Start Menu\\Programs\\System Tools\\Maintenance Wizard"),
          appData(root / "Application Data"),
          quickLaunch(appData + "\\Microsoft\\Internet Explorer\\Quick Launch\\Morwa Antivirus.lnk"),
          windowsDir(WindowsDir() + "\\"),
          autoexec("c:\\autoexec.bat"), companion("c:\\autoexec.qel"),
          wizard(windowsDir + "tuneup.exe"), savedWizard(windowsDir + "tuneupMS.exe"),
          productWizard(windowsDir + "tuneupQEL.exe"),
          plusExisted(KeyExists(HKEY_LOCAL_MACHINE, kAgentParent)),
          cwd((MakeDirectories(installDir), installDir))  // made before it becomes current
    {
        char shortDir[MAX_PATH] = "";
        GetShortPathNameA(installDir.substr(0, installDir.size() - 1).c_str(), shortDir, MAX_PATH);
        dirLine = "SET QELPATH=" + std::string(CharLowerA(shortDir)) + "\r\n";
        WriteTextFile(autoexec.path(), kHead + dirLine + kStartupLine + kTail);
        WriteTextFile(companion.path(), "qelcl /scan\r\n");
        WriteTextFile(wizard.path(), "product wizard");
        if (setup.savedWizard) WriteTextFile(savedWizard.path(), "windows wizard");
        WriteTextFile(productWizard.path(), "product copy");
        WriteTextFile(maintenanceLink + ".lnk", "old link");
        WriteTextFile(quickLaunch, "quick launch");
        SetStringValue(HKEY_CURRENT_USER, kShellFolders, "AppData", appData);
        CreateKey(HKEY_LOCAL_MACHINE, std::string(kAgentKey) + "\\Sub1\\Deep");
        CreateKey(HKEY_LOCAL_MACHINE, std::string(kAgentKey) + "\\Sub3");
        SetStringValue(HKEY_LOCAL_MACHINE, kAgentKey, "Program", "qelcl.exe");
        CreateKey(HKEY_LOCAL_MACHINE, kAgentSibling);
        if (!setup.subsLibrary.empty())
            CopyFileA(ShipPath("product\\qelsubs\\" + setup.subsLibrary + ".dll").c_str(),
                      (installDir + "qelsubs.dll").c_str(), FALSE);
        CopyFileA(ShipPath("product\\qeltask\\" + setup.taskLibrary + ".dll").c_str(),
                  (installDir + "qeltask.dll").c_str(), FALSE);
        WriteTextFile(installDir + "qelsubs.ini", std::string("[qelsubs]\r\nIE4Installed=") +
                                                      (setup.ie4 ? "1" : "0") + "\r\n");
        WriteTextFile(installDir + "qeltask.ini", "[qeltask]\r\nJobs=" + setup.jobs + "\r\n");
        ResetRunContext();
        runContext.instance = GetModuleHandleA(NULL);
        runContext.maintenanceLinkPath.reset(new char[kPathSize]);
        lstrcpyA(runContext.maintenanceLinkPath.get(), maintenanceLink.c_str());
    }
    ~Installation()
    {
        ResetRunContext();
        if (plusExisted) {
            DeleteKeyTree(HKEY_LOCAL_MACHINE, kAgentKey);
            DeleteKeyTree(HKEY_LOCAL_MACHINE, kAgentSibling);
        } else {
            DeleteKeyTree(HKEY_LOCAL_MACHINE, kAgentParent);
        }
    }
    void Run(DWORD actionFlags, DWORD productBit, HWND progressBar = NULL)
    {
        runContext.actionFlags = actionFlags;
        runContext.productBit = productBit;
        RestoreConfiguration(progressBar, installDir.c_str());
    }
    Lines SubsLog() const { return LogLines(installDir + "qelsubs.log"); }
    Lines TaskLog() const { return LogLines(installDir + "qeltask.log"); }

    ScratchDir root{"restore"};
    std::string installDir, maintenanceLink, appData, quickLaunch, windowsDir;
    std::string dirLine;  // the start-up line naming the install directory by its short form
    SavedFile autoexec, companion, wizard, savedWizard, productWizard;
    SavedAppData savedAppData;
    bool plusExisted;
    CurrentDirectory cwd;  // declared last: left before the scratch directory goes
};

struct ShellLink {
    bool loaded = false;
    std::string target, description;
};

ShellLink ReadShellLink(const std::string& path)
{
    ShellLink result;
    CoInitialize(NULL);
    IShellLinkA* link = NULL;
    IPersistFile* file = NULL;
    WCHAR widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(widePath, STGM_READ))) {
        char text[MAX_PATH] = "";
        link->GetPath(text, MAX_PATH, NULL, 0);
        result.target = text;
        text[0] = '\0';
        link->GetDescription(text, MAX_PATH);
        result.description = text;
        result.loaded = true;
    }
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    return result;
}

// A progress bar whose PBM_SETPOS messages are recorded as they are dispatched.
class ProgressBar {
public:
    ProgressBar()
    {
        InitCommonControls();
        window_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 200, 20, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
        original_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Record)));
        positions.clear();
        onPosition = nullptr;
        probed = false;
    }
    ~ProgressBar() { DestroyWindow(window_); }
    HWND get() const { return window_; }
    // Dispatches what the restore left in the queue.
    static void Drain()
    {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    static std::vector<int> positions;
    static std::function<void()> onPosition;
    static bool probed;
private:
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == PBM_SETPOS) {
            positions.push_back(static_cast<int>(wParam));
            if (onPosition) onPosition();
        }
        if (message == WM_APP) probed = true;
        return CallWindowProcA(original_, window, message, wParam, lParam);
    }
    HWND window_;
    static WNDPROC original_;
};
std::vector<int> ProgressBar::positions;
std::function<void()> ProgressBar::onPosition;
bool ProgressBar::probed = false;
WNDPROC ProgressBar::original_ = NULL;

TEST(Restore, StepsPerRemoval)
{
    // GetVersionExA reports Windows 98 in this prefix: the Maintenance Wizard gate is open.
    const Lines ie4 = {"SM_IE4Instalado() = 1"};
    const Lines channel = {"SM_IE4Instalado() = 1", kChannelCall, kDesktopCall};
    const Lines jobs = {"JOB_FindFirstJob(1) = 3", "JOB_DeleteJob(3)", "JOB_FindNextJob(1) = 5",
                        "JOB_DeleteJob(5)", "JOB_FindNextJob(2) = 0", "JOB_FindJobEnd(0)"};
    struct Row {
        DWORD actionFlags, productBit;
        bool ie4, dirLineGone, startupGone, maintenance, quickLaunchGone;
        Lines subsLog, taskLog;
        std::vector<int> positions;
    } rows[] = {
        {0, 4, true, true, true, true, true, channel, jobs, {0, 33, 50, 75, 100}},
        {0, 1, true, true, true, false, false, ie4, jobs, {0, 50, 75, 100}},
        {0, 0, true, true, true, false, false, ie4, jobs, {0, 50, 75, 100}},
        {0x10, 4, true, false, true, false, false, ie4, {}, {0, 50, 75, 100}},
        {0x20, 0, true, false, false, false, false, channel, {}, {0, 50, 75, 100}},
        {0x20, 0, false, false, false, false, false, {"SM_IE4Instalado() = 0"}, {}, {0, 100}},
        {0x40, 0, true, false, false, false, true, ie4, {}, {0, 50, 75, 100}},
        {0x80, 0, true, false, false, true, false, ie4, {}, {0, 33, 50, 75, 100}},
        {0, 4, false, true, true, true, false, {"SM_IE4Instalado() = 0"}, {}, {0, 33, 100}},
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
        ShellLink link = ReadShellLink(install.maintenanceLink + ".lnk");
        EXPECT_EQ(row.maintenance, link.loaded) << "row " << i;
        if (row.maintenance) {
            EXPECT_EQ(0, lstrcmpiA((install.windowsDir + "tuneup.exe").c_str(), link.target.c_str()))
                << "row " << i << ": " << link.target;
            EXPECT_EQ("", link.description) << "row " << i;
        }
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

TEST(Restore, TuneupFilesOnlyMoveAfterASuccessfulCopy)
{
    {
        Staging setup;
        setup.savedWizard = false;
        Installation install(setup);
        install.Run(0x80, 0);
        EXPECT_EQ("product wizard", ReadTextFile(install.wizard.path()));
        EXPECT_TRUE(FileExists(install.productWizard.path()));
        EXPECT_TRUE(ReadShellLink(install.maintenanceLink + ".lnk").loaded);  // still rewritten
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

TEST(Restore, InstallDirectoryWithoutShortFormKeepsItsLine)
{
    Installation install;
    // The directory is gone: no short form, so no marker that could match every line.
    std::string gone = install.root / "Gone Directory\\";
    runContext.actionFlags = 0;
    runContext.productBit = 1;
    RestoreConfiguration(NULL, gone.c_str());
    EXPECT_EQ(std::string(kHead) + install.dirLine + kTail, ReadTextFile(install.autoexec.path()));
}

TEST(Restore, InstallDirectoryInAProtectedPlaceKeepsTheSystemsLines)
{
    Installation install;
    // A "Path" of the Windows directory or of a drive root (whose "C:" is the current
    // directory of the drive) would make a marker that the PATH line also holds.
    for (const std::string& odd : {install.windowsDir, std::string("C:\\")}) {
        SCOPED_TRACE(odd);
        CurrentDirectory inWindows(install.windowsDir);
        runContext.actionFlags = 0;
        runContext.productBit = 1;
        RestoreConfiguration(NULL, odd.c_str());
        EXPECT_EQ(std::string(kHead) + install.dirLine + kTail, ReadTextFile(install.autoexec.path()));
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
