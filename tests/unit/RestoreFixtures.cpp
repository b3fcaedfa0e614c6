// The configuration restore's test installation.
#include "tests/unit/RestoreFixtures.h"
#include "app/RunContext.h"
#include "restore/Restore.h"
#include "tests/support/Keys.h"
#include "tests/support/ShellLinks.h"
#include <commctrl.h>

using namespace testing_support;

namespace restore_test {

namespace {

Lines LogLines(const std::string& path)
{
    Lines lines;
    std::string text = ReadTextFile(path);
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::string WindowsDir()
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, sizeof dir);
    return dir;
}

}  // namespace

SavedFile::SavedFile(const std::string& path)
    : path_(path), existed_(FileExists(path)), content_(ReadTextFile(path)) {}

SavedFile::~SavedFile()
{
    SetAttributes(path_, FILE_ATTRIBUTE_NORMAL);
    if (existed_) WriteTextFile(path_, content_);
    else DeleteFileA(path_.c_str());
}

SavedAppData::SavedAppData() : existed_(false), type_(0), size_(sizeof data_)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    existed_ = RegQueryValueExA(key, "AppData", NULL, &type_, data_, &size_) == ERROR_SUCCESS;
    RegCloseKey(key);
}

SavedAppData::~SavedAppData()
{
    DeleteValue(HKEY_CURRENT_USER, kShellFolders, "AppData");
    HKEY key;
    if (!existed_ || RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_WRITE, &key)) return;
    RegSetValueExA(key, "AppData", 0, type_, data_, size_);
    RegCloseKey(key);
}

CurrentDirectory::CurrentDirectory(const std::string& directory)
{
    GetCurrentDirectoryA(sizeof saved_, saved_);
    SetCurrentDirectoryA(directory.c_str());
}

CurrentDirectory::~CurrentDirectory()
{
    SetCurrentDirectoryA(saved_);
}

Installation::Installation(const Staging& setup)
    : installDir(root / "Morwa Antivirus 6.0\\"),
      maintenanceLink(root / "Start Menu\\Programs\\System Tools\\Maintenance Wizard"),
      appData(root / "Application Data"),
      quickLaunch(appData + "\\Microsoft\\Internet Explorer\\Quick Launch\\Morwa Antivirus.lnk"),
      windowsDir(WindowsDir() + "\\"),
      autoexec("c:\\autoexec.bat"), companion("c:\\autoexec.qel"),
      wizard(windowsDir + "tuneup.exe"), savedWizard(windowsDir + "tuneupMS.exe"),
      productWizard(windowsDir + "tuneupQEL.exe"),
      plusExisted(KeyExists(HKEY_LOCAL_MACHINE, kAgentParent)), door(installDir),
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
    // The product's shortcuts: the Maintenance Wizard's to its copy of the wizard, the Quick
    // Launch one into the install directory.
    MakeDirectories(maintenanceLink.substr(0, maintenanceLink.rfind('\\')));
    WriteShellLink(maintenanceLink + ".lnk", productWizard.path(), "old link");
    MakeDirectories(quickLaunch.substr(0, quickLaunch.rfind('\\')));
    WriteShellLink(quickLaunch, installDir + "qelscan.exe", "quick launch");
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

Installation::~Installation()
{
    ResetRunContext();
    if (plusExisted) {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kAgentKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kAgentSibling);
    } else {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kAgentParent);
    }
}

void Installation::Run(DWORD actionFlags, DWORD productBit, HWND progressBar)
{
    runContext.actionFlags = actionFlags;
    runContext.productBit = productBit;
    RestoreConfiguration(progressBar, installDir.c_str());
}

Lines Installation::SubsLog() const
{
    return LogLines(installDir + "qelsubs.log");
}

Lines Installation::TaskLog() const
{
    return LogLines(installDir + "qeltask.log");
}

ProgressBar::ProgressBar()
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

ProgressBar::~ProgressBar()
{
    DestroyWindow(window_);
}

void ProgressBar::Drain()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

LRESULT CALLBACK ProgressBar::Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETPOS) {
        positions.push_back(static_cast<int>(wParam));
        if (onPosition) onPosition();
    }
    if (message == WM_APP) probed = true;
    return CallWindowProcA(original_, window, message, wParam, lParam);
}

std::vector<int> ProgressBar::positions;
std::function<void()> ProgressBar::onPosition;
bool ProgressBar::probed = false;
WNDPROC ProgressBar::original_ = NULL;

}  // namespace restore_test
