// End-to-end runs of uninstall.exe on staged installations, and the sentinels beside them.
#include "tests/support/EndToEnd.h"
#include <windows.h>
#include <tlhelp32.h>
#include <cstring>

namespace testing_support {

const char kSampleInstallDir[] = "C:\\Program Files\\Morwa Antivirus\\";

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// True when `name` is `base` or lies below it, without regard to case or a trailing backslash.
bool IsAtOrBelow(std::string name, std::string base)
{
    while (!name.empty() && name.back() == '\\') name.pop_back();
    while (!base.empty() && base.back() == '\\') base.pop_back();
    name = Lower(name);
    base = Lower(base);
    return name == base || (name.size() > base.size() && name.compare(0, base.size(), base) == 0 &&
                            name[base.size()] == '\\');
}

// "file C:\x" -> "C:\x"
std::string ItemName(const std::string& item)
{
    size_t blank = item.find(' ');
    return blank == std::string::npos ? item : item.substr(blank + 1);
}

bool CoveredBy(const std::string& name, const std::vector<std::string>& bases)
{
    for (const std::string& base : bases)
        if (IsAtOrBelow(name, base)) return true;
    return false;
}

struct DialogSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindProcessDialog(HWND window, LPARAM parameter)
{
    DialogSearch* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner != search->processId || std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK KeepLongestStaticText(HWND child, LPARAM parameter)
{
    std::string* longest = reinterpret_cast<std::string*>(parameter);
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0) return TRUE;
    char text[1024] = "";
    SendMessageA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    if (std::strlen(text) > longest->size()) *longest = text;
    return TRUE;
}

std::string WithoutTrailingBackslash(std::string path)
{
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

std::string Directory(UINT (WINAPI* query)(LPSTR, UINT))
{
    char buffer[MAX_PATH] = "";
    query(buffer, sizeof buffer);
    return WithoutTrailingBackslash(buffer);
}

// Names that the sample manifest uses, so that a path composed against the wrong directory
// would find something to delete.
const char* const kSentinelNames[] = {
    "qelexcli.dll", "qelres.dll", "readme.txt", "scan.TMP", "scan.LOG", "inbox.EML", "QELSCAN.GID",
    "~qel0001.dat", "Engine\\qelengine.dll", "Engine\\sigs.tmp", "Base\\licence.key", "Temp\\~qel0002.tmp",
    "Update\\Backup\\qelsig.dat",
};

struct SentinelValue { HKEY root; const char* key; const char* name; };
const SentinelValue kSentinelValues[] = {
    {HKEY_LOCAL_MACHINE, "Software\\Morwa Software Sentinel\\Engine", "Level"},
    {HKEY_CURRENT_USER, "Software\\Morwa Software Sentinel\\Mail", "Folder"},
    {HKEY_CLASSES_ROOT, ".qelsentinel", ""},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "QELSentinel"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qelsentinel.exe", ""},
};
const char kSentinelData[] = "sentinel: no uninstall may touch this";
// The keys that the sentinels create of their own, removed whole afterwards.
const SentinelValue kSentinelKeys[] = {
    {HKEY_LOCAL_MACHINE, "Software\\Morwa Software Sentinel", ""},
    {HKEY_CURRENT_USER, "Software\\Morwa Software Sentinel", ""},
    {HKEY_CLASSES_ROOT, ".qelsentinel", ""},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qelsentinel.exe", ""},
};

}  // namespace

std::string SampleDescription()
{
    return SourcePath("samples\\installation.ini");
}

staging::Options SampleOptions(const std::string& installDir)
{
    staging::Options options;
    options.installDir = installDir;
    options.shipDir = WithoutTrailingBackslash(ShipPath(""));
    options.samplesDir = SourcePath("samples");
    return options;
}

EndToEnd::EndToEnd(const staging::Options& options, const std::string& description)
    : options_(options), description_(description)
{
}

bool EndToEnd::Stage()
{
    return installation_.Stage(description_, options_);
}

EndToEnd::~EndToEnd()
{
    if (process_ == nullptr) return;
    TerminateProcess(static_cast<HANDLE>(process_), 1);
    WaitForSingleObject(static_cast<HANDLE>(process_), 5000);
    CloseHandle(static_cast<HANDLE>(process_));
}

EndToEndRun EndToEnd::Run(const std::string& tokens, unsigned long timeoutMs)
{
    Start(tokens);
    return Finish(timeoutMs);
}

bool EndToEnd::Start(const std::string& tokens)
{
    pending_ = EndToEndRun();
    pending_.facts.commandLine = "\"" + installation_.installDir() + "uninstall.exe\" " + tokens;
    pending_.before = installation_.Take();
    std::vector<char> line(pending_.facts.commandLine.begin(), pending_.facts.commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    startTicks_ = GetTickCount();
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, "C:\\windows", &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    pending_.facts.started = true;
    return true;
}

namespace {

ULONGLONG CreationTime(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Waits for the processes the uninstaller started (the self-removal batch) to end, so that the
// snapshot after a run sees what the batch has done, not a moment of its work. Process ids come
// round again: a child is one that names the uninstaller as its parent and began after it.
void WaitForChildren(DWORD parentId, ULONGLONG parentCreated, DWORD timeoutMs)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID != parentId || entry.th32ProcessID == GetCurrentProcessId()) continue;
        HANDLE child = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID);
        if (child == NULL) continue;
        if (CreationTime(child) >= parentCreated) WaitForSingleObject(child, timeoutMs);
        CloseHandle(child);
    }
    CloseHandle(snapshot);
}

}  // namespace

EndToEndRun EndToEnd::Finish(unsigned long timeoutMs)
{
    HANDLE process = static_cast<HANDLE>(process_);
    if (process != NULL) {
        if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
            DWORD exitCode = 0;
            GetExitCodeProcess(process, &exitCode);
            pending_.facts.finished = true;
            pending_.facts.exitCode = exitCode;
        } else {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
        }
        const ULONGLONG created = CreationTime(process);
        CloseHandle(process);
        process_ = nullptr;
        pending_.facts.milliseconds = GetTickCount() - startTicks_;
        if (waitForChildren_ && pending_.facts.finished && created != 0)
            WaitForChildren(processId_, created, timeoutMs);
    } else {
        pending_.facts.milliseconds = GetTickCount() - startTicks_;
    }
    pending_.after = installation_.Take();
    EndToEndRun run = pending_;
    pending_ = EndToEndRun();
    return run;
}

void EndToEnd::EnableVersionManagerLog()
{
    WriteTextFile(installDir() + "kolbex.ini", "[kolbex]\r\nLog=1\r\n");
}

std::vector<std::string> EndToEnd::VersionManagerCalls()
{
    std::string path = installDir() + "kolbexlog.txt";
    std::string text = ReadTextFile(path);
    DeleteFileA(path.c_str());
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string EndToEnd::Report(const EndToEndRun& run) const
{
    const staging::Installation& installation = installation_;
    return staging::FormatReport(run.facts, run.before, run.after,
                                 [&installation](const std::string& kind, const std::string& name) {
                                     return installation.ReasonFor(kind, name);
                                 });
}

Sentinels::Sentinels(const std::string& installDir)
{
    std::string top = WithoutTrailingBackslash(installDir);
    directory_ = top + " Sentinel";
    for (const char* name : kSentinelNames) files_.push_back({directory_ + "\\" + name, kSentinelData});
    files_.push_back({top + "qelres.dll", kSentinelData});
    files_.push_back({top + ".LOG", kSentinelData});
    files_.push_back({Directory(GetWindowsDirectoryA) + "\\qelsentinel.exe", kSentinelData});
    files_.push_back({Directory(GetSystemDirectoryA) + "\\qelsentinel.dll", kSentinelData});
    for (const auto& file : files_) WriteTextFile(file.first, file.second);
    for (const SentinelValue& value : kSentinelValues) SetStringValue(value.root, value.key, value.name, kSentinelData);
}

Sentinels::~Sentinels()
{
    for (const auto& file : files_) {
        SetFileAttributesA(file.first.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file.first.c_str());
    }
    RemoveTree(directory_);
    DeleteValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "QELSentinel");
    for (const SentinelValue& key : kSentinelKeys) DeleteKeyTree(key.root, key.key);
}

std::vector<std::string> Sentinels::Missing() const
{
    std::vector<std::string> missing;
    for (const auto& file : files_)
        if (ReadTextFile(file.first) != file.second) missing.push_back(file.first);
    for (const SentinelValue& value : kSentinelValues)
        if (ReadStringValue(value.root, value.key, value.name) != kSentinelData)
            missing.push_back(std::string(value.key) + "\\" + (*value.name ? value.name : "@"));
    return missing;
}

std::vector<std::string> RemovedOutside(const staging::Difference& difference,
                                        const std::vector<std::string>& allowed)
{
    std::vector<std::string> outside;
    for (const std::string& item : difference.removed)
        if (!CoveredBy(ItemName(item), allowed)) outside.push_back(item);
    return outside;
}

std::vector<std::string> StillPresent(const staging::Snapshot& after, const std::vector<std::string>& gone)
{
    std::vector<std::string> present;
    const staging::Entries* kinds[] = {&after.files, &after.directories, &after.keys, &after.values};
    for (const std::string& name : gone) {
        bool found = false;
        for (const staging::Entries* entries : kinds)
            for (const auto& entry : *entries) found = found || IsAtOrBelow(entry.first, name);
        if (found) present.push_back(name);
    }
    return present;
}

std::vector<std::string> LostFrom(const staging::Difference& difference, const std::vector<std::string>& kept)
{
    std::vector<std::string> lost;
    for (const std::string& name : kept) {
        bool touched = false;
        for (const std::string& item : difference.removed) touched = touched || IsAtOrBelow(ItemName(item), name);
        if (touched) lost.push_back(name);
    }
    return lost;
}

bool AnswerMessageBox(unsigned long processId, int buttonId, unsigned long timeoutMs, MessageBoxSeen* seen)
{
    DialogSearch search = {processId, NULL};
    DWORD start = GetTickCount();
    while (search.found == NULL) {
        EnumWindows(FindProcessDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != NULL) break;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(100);
    }
    char caption[512] = "";
    GetWindowTextA(search.found, caption, sizeof caption);
    seen->caption = caption;
    seen->text.clear();
    EnumChildWindows(search.found, KeepLongestStaticText, reinterpret_cast<LPARAM>(&seen->text));
    HWND button = GetDlgItem(search.found, buttonId);
    if (button == NULL) return false;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    return true;
}

bool WaitForRemovalBatch(unsigned long timeoutMs)
{
    char temp[MAX_PATH] = "";
    DWORD length = GetTempPathA(sizeof temp, temp);
    std::string batch = (length == 0 || length >= sizeof temp) ? std::string("C:\\") : std::string(temp);
    batch += "autodel.bat";
    DWORD start = GetTickCount();
    while (FileExists(batch)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(100);
    }
    return true;
}

const char kProductKeyName[] = "HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0";

std::string Install(const std::string& relative)
{
    return kSampleInstallDir + relative;
}

std::string System(const std::string& name)
{
    return Directory(GetSystemDirectoryA) + "\\" + name;
}

}  // namespace testing_support
