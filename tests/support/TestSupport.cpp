// Helpers for tests on the real file system, registry and processes of the prefix.
#include "tests/support/TestSupport.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace testing_support {

namespace {

std::string UnixToWindows(const char* unixPath)
{
    std::string path = std::string("Z:") + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

}  // namespace

ScratchDir::ScratchDir(const std::string& purpose)
{
    static unsigned counter = 0;
    MakeDirectories("C:\\uninst-tests");
    for (;;) {
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "C:\\uninst-tests\\%s-%lu-%u", purpose.c_str(),
                      GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(name, NULL)) {
            path_ = name;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            path_ = name;
            return;
        }
    }
}

ScratchDir::~ScratchDir()
{
    RemoveTree(path_);
}

void MakeDirectories(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), NULL);
    }
}

void WriteTextFile(const std::string& path, const std::string& content)
{
    size_t slash = path.rfind('\\');
    if (slash != std::string::npos) MakeDirectories(path.substr(0, slash));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, NULL);
    CloseHandle(file);
}

std::string ReadTextFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string content(GetFileSize(file, NULL), '\0');
    DWORD read = 0;
    if (!content.empty()) ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &read, NULL);
    content.resize(read);
    CloseHandle(file);
    return content;
}

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void SetAttributes(const std::string& path, DWORD attributes)
{
    SetFileAttributesA(path.c_str(), attributes);
}

void RemoveTree(const std::string& path)
{
    if (path.size() <= 3) return;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!std::strcmp(entry.cFileName, ".") || !std::strcmp(entry.cFileName, "..")) continue;
            std::string child = path + "\\" + entry.cFileName;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                RemoveUnixSymlink(child);  // never into it: it leads out of the tree
                continue;
            }
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

std::vector<std::string> ListTree(const std::string& path)
{
    std::vector<std::string> names;
    std::function<void(const std::string&)> walk = [&](const std::string& relative) {
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((path + "\\" + relative + "*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return;
        do {
            if (!std::strcmp(entry.cFileName, ".") || !std::strcmp(entry.cFileName, "..")) continue;
            std::string name = relative + entry.cFileName;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                names.push_back(name + "\\");
                walk(name + "\\");
            } else {
                names.push_back(name);
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    };
    walk("");
    std::sort(names.begin(), names.end());
    return names;
}

HeldFile::HeldFile(const std::string& path) : process_(NULL), release_(NULL)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    release_ = CreateEventA(&inherit, TRUE, FALSE, NULL);
    HANDLE ready = CreateEventA(&inherit, TRUE, FALSE, NULL);
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    char commandLine[1024];
    // Handles are pointer-sized: passed as 64-bit numbers, whatever the build.
    std::snprintf(commandLine, sizeof commandLine, "\"%s\" --hold-file %llu %llu \"%s\"", self,
                  (unsigned long long)(ULONG_PTR)release_, (unsigned long long)(ULONG_PTR)ready,
                  path.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(NULL, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &info)) {
        CloseHandle(info.hThread);
        HANDLE waits[2] = {ready, info.hProcess};
        if (WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0)
            process_ = info.hProcess;
        else
            CloseHandle(info.hProcess);
    }
    CloseHandle(ready);
}

HeldFile::~HeldFile()
{
    SetEvent(release_);
    if (process_) {
        WaitForSingleObject(process_, 30000);
        CloseHandle(process_);
    }
    CloseHandle(release_);
}

bool RunAsFileHolder(int argc, char** argv)
{
    if (argc != 5 || std::strcmp(argv[1], "--hold-file") != 0) return false;
    HANDLE release = (HANDLE)(ULONG_PTR)std::strtoull(argv[2], NULL, 10);
    HANDLE ready = (HANDLE)(ULONG_PTR)std::strtoull(argv[3], NULL, 10);
    HANDLE file = CreateFileA(argv[4], GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return true;
    SetEvent(ready);
    WaitForSingleObject(release, 60000);
    CloseHandle(file);
    return true;
}

void CreateKey(HKEY root, const std::string& path)
{
    HKEY key = NULL;
    if (RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) == ERROR_SUCCESS)
        RegCloseKey(key);
}

void SetStringValue(HKEY root, const std::string& path, const std::string& name,
                    const std::string& value, DWORD type)
{
    HKEY key = NULL;
    if (RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

void SetDwordValue(HKEY root, const std::string& path, const std::string& name, DWORD value)
{
    HKEY key = NULL;
    if (RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool exists = RegQueryValueExA(key, name.c_str(), NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}

std::string ReadStringValue(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::string();
    char buffer[2048] = "";
    DWORD size = sizeof buffer - 1;
    if (RegQueryValueExA(key, name.c_str(), NULL, NULL, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        buffer[0] = '\0';
    RegCloseKey(key);
    return buffer;
}

void DeleteValue(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
}

void DeleteKeyTree(HKEY root, const std::string& path)
{
    if (path.empty()) return;
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    for (int guard = 0; guard < 100000; ++guard) {
        char name[MAX_PATH];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        DeleteKeyTree(root, path + "\\" + name);
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path.c_str());
}

namespace {

// Wine's own export: the Unix path of a Windows path, allocated on the process heap.
std::string UnixPath(const std::string& path)
{
    typedef char*(CDECL * UnixNameProc)(const WCHAR*);
    UnixNameProc unixName = reinterpret_cast<UnixNameProc>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (unixName == NULL) return std::string();
    WCHAR wide[MAX_PATH * 2];
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 2)) return std::string();
    char* name = unixName(wide);
    if (name == NULL) return std::string();
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

}  // namespace

bool MakeUnixSymlink(const std::string& link, const std::string& target)
{
    std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    if (unixLink.empty() || unixTarget.empty()) return false;
    // Wine starts a Unix program named by a Unix path, splitting its arguments as Windows does.
    RunProcess("/bin/ln -s \"" + unixTarget + "\" \"" + unixLink + "\"", "", 10000);
    for (int wait = 0; wait < 50; ++wait) {  // the Unix process is not waited for by Wine
        DWORD attributes = GetFileAttributesA(link.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        Sleep(20);
    }
    return false;
}

namespace {

// Whether the listing of `parent` shows `name` (which Win32 might not open by that name).
bool Listed(const std::string& parent, const std::string& name)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((parent + "\\*").c_str(), &entry);
    bool listed = false;
    if (find != INVALID_HANDLE_VALUE) {
        do listed = listed || name == entry.cFileName;
        while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    return listed;
}

}  // namespace

bool MakeUnixDirectory(const std::string& parent, const std::string& name)
{
    std::string unixParent = UnixPath(parent);
    if (unixParent.empty()) return false;
    RunProcess("/bin/mkdir \"" + unixParent + "/" + name + "\"", "", 10000);
    for (int wait = 0; wait < 50; ++wait) {  // listed once the Unix process has made it
        if (Listed(parent, name)) return true;
        Sleep(20);
    }
    return false;
}

void RemoveUnixDirectory(const std::string& parent, const std::string& name)
{
    std::string unixParent = UnixPath(parent);
    if (!unixParent.empty()) RunProcess("/bin/rm -rf \"" + unixParent + "/" + name + "\"", "", 10000);
    for (int wait = 0; wait < 50; ++wait) {
        if (!Listed(parent, name)) return;
        Sleep(20);
    }
}

void RemoveUnixSymlink(const std::string& link)
{
    std::string unixLink = UnixPath(link);
    if (unixLink.empty()) return;
    RunProcess("/bin/rm -f \"" + unixLink + "\"", "", 10000);
    for (int wait = 0; wait < 50 && GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; ++wait)
        Sleep(20);
}

namespace {

std::string DosDevice(char letter)
{
    char prefix[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    if (length == 0 || length >= sizeof prefix) return std::string();
    return std::string(prefix) + "/dosdevices/" + static_cast<char>(letter | 0x20) + ":";
}

bool DriveAppears(char letter, bool appears)
{
    const std::string root = std::string(1, letter) + ":\\";
    for (int wait = 0; wait < 100; ++wait) {
        if ((GetFileAttributesA(root.c_str()) != INVALID_FILE_ATTRIBUTES) == appears) return true;
        Sleep(20);
    }
    return false;
}

}  // namespace

std::string HostRootForm(const std::string& path)
{
    std::string unix = UnixPath(path);
    if (unix.empty() || unix[0] != '/') return std::string();
    for (char& c : unix)
        if (c == '/') c = '\\';
    return "Z:" + unix;
}

std::string PrefixFolder(const std::string& name)
{
    char prefix[MAX_PATH] = "";
    const DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    std::string folder = length > 0 && length < sizeof prefix ? std::string("Z:") + prefix + "/" + name : "";
    for (char& c : folder)
        if (c == '/') c = '\\';
    return folder;
}

bool MakeShare(const std::string& host, const std::string& share, const std::string& folder)
{
    char prefix[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    const std::string target = UnixPath(folder);
    if (length == 0 || length >= sizeof prefix || target.empty()) return false;
    const std::string hostDir = std::string(prefix) + "/dosdevices/unc/" + host;
    RunProcess("/bin/mkdir -p \"" + hostDir + "\"", "", 10000);
    Sleep(200);
    RunProcess("/bin/ln -sfn \"" + target + "\" \"" + hostDir + "/" + share + "\"", "", 10000);
    const std::string root = "\\\\" + host + "\\" + share + "\\";
    for (int wait = 0; wait < 100; ++wait) {
        if (GetFileAttributesA(root.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(20);
    }
    return false;
}

bool MakeDriveLetter(char letter, const std::string& folder)
{
    std::string device = DosDevice(letter), target = UnixPath(folder);
    if (device.empty() || target.empty()) return false;
    RunProcess("/bin/ln -sfn \"" + target + "\" \"" + device + "\"", "", 10000);
    return DriveAppears(letter, true);
}

void RemoveDriveLetter(char letter)
{
    std::string device = DosDevice(letter);
    if (device.empty()) return;
    RunProcess("/bin/rm -f \"" + device + "\"", "", 10000);
    DriveAppears(letter, false);
}

ProcessResult RunProcess(const std::string& commandLine, const std::string& directory,
                         DWORD timeoutMs)
{
    ProcessResult result;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL,
                        directory.empty() ? NULL : directory.c_str(), &startup, &info))
        return result;
    result.started = true;
    CloseHandle(info.hThread);
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        result.finished = true;
        GetExitCodeProcess(info.hProcess, &result.exitCode);
    } else {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hProcess);
    return result;
}

std::string ShipPath(const std::string& relative)
{
    return UnixToWindows(UNINST_SHIP_DIR) + "\\" + relative;
}

std::string SourcePath(const std::string& relative)
{
    return UnixToWindows(UNINST_SOURCE_DIR) + "\\" + relative;
}

}  // namespace testing_support
