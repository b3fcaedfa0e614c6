// The configuration restore's test installation: every hook the restore undoes, staged in the
// prefix with the real start-up file, shell folders, System Agent key and the support-library
// stand-ins; and a progress bar that records what it is sent.
#pragma once
#include "tests/support/DoorRun.h"
#include "tests/support/TestSupport.h"
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace restore_test {

const char kAgentParent[] = "SOFTWARE\\Microsoft\\Plus!";
const char kAgentKey[] = "SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE\\QELJobs for Win32";
const char kAgentSibling[] = "SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE\\Other Jobs";
const char kHead[] = "@ECHO OFF\r\nPATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND\r\n";
const char kStartupLine[] = "QelCl /BOOT\r\n";
const char kTail[] = "LH MSCDEX.EXE\r\n";
const char kChannelCall[] = "SM_EliminaCanalA(\"http://www.morwa.example/qelsig/Morwa_News.cdf\", "
                            "\"Morwa de la semana\", 0)";
const char kDesktopCall[] = "SM_ManageDesktopItem(0, \"http://www.morwa.example/qelsig/Morwa_DskItem.cdf\", "
                            "\"http://canales.morwa.example/canales/a.htm\", \"Morwa de la semana\", 1)";

typedef std::vector<std::string> Lines;

// A file outside the scratch area (the start-up files, the tuneup files): put back as it was.
class SavedFile {
public:
    explicit SavedFile(const std::string& path);
    ~SavedFile();
    const std::string& path() const { return path_; }
private:
    std::string path_;
    bool existed_;
    std::string content_;
};

// The user's "AppData" shell folder, put back as it was.
class SavedAppData {
public:
    SavedAppData();
    ~SavedAppData();
private:
    bool existed_;
    DWORD type_, size_;
    BYTE data_[1024];
};

// The restore loads "qelsubs.dll" and "qeltask.dll" by bare name, as the uninstaller finds
// them beside itself. The test executable lies elsewhere, so the install directory is made
// the current directory, which the library search covers (Windows 95/98 have no
// SetDllDirectory).
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& directory);
    ~CurrentDirectory();
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

// A product installation with every hook the restore undoes; runContext is set for it.
class Installation {
public:
    explicit Installation(const Staging& setup = Staging());
    ~Installation();
    void Run(DWORD actionFlags, DWORD productBit, HWND progressBar = NULL);
    Lines SubsLog() const;
    Lines TaskLog() const;

    testing_support::ScratchDir root{"restore"};
    std::string installDir, maintenanceLink, appData, quickLaunch, windowsDir;
    std::string dirLine;  // the start-up line naming the install directory by its short form
    SavedFile autoexec, companion, wizard, savedWizard, productWizard;
    SavedAppData savedAppData;
    bool plusExisted;
    testing_support::DoorRun door;  // the install directory is the run's
    CurrentDirectory cwd;  // declared last: left before the scratch directory goes
};

// A progress bar whose PBM_SETPOS messages are recorded as they are dispatched.
class ProgressBar {
public:
    ProgressBar();
    ~ProgressBar();
    HWND get() const { return window_; }
    // Dispatches what the restore left in the queue.
    static void Drain();
    static std::vector<int> positions;
    static std::function<void()> onPosition;
    static bool probed;  // a WM_APP reached the bar
private:
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    static WNDPROC original_;
};

}  // namespace restore_test
