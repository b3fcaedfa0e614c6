// The restart test's stand-ins: for Wine's restart, and for a program that holds a file open.
//
// Wine's restart (ExitWindowsEx starts "wineboot.exe --end-session") runs the deletions due at
// the next start at once, while the program that asked for the restart still runs, and leaves
// console programs such as the removal batch running. A real restart ends every program first
// and deletes at the next start. Copied over system32\wineboot.exe, and loaded in place of the
// built-in one for the program that asks for the restart (WINEDLLOVERRIDES wineboot.exe=n), this
// program ends every batch interpreter (cmd.exe), as the restart would, and records the request
// in C:\restart-requested.txt. The test then runs the real start-up processing (wineboot -r).
#include <windows.h>
#include <tlhelp32.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "Usage: restart_standin [wineboot arguments]\n"
    "         ends every cmd.exe of the prefix and writes C:\\restart-requested.txt\n"
    "       restart_standin --hold FILE READY RELEASE\n"
    "         opens FILE sharing reading and writing (not deletion), creates READY, and keeps\n"
    "         FILE open until RELEASE exists (at most 300 s)\n";

const DWORD kHoldLimitMs = 300000;

bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool WriteText(const char* path, const std::string& text)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, NULL);
    CloseHandle(file);
    return ok && written == text.size();
}

int Hold(const char* path, const char* ready, const char* release)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s (error %lu)\n", path, GetLastError());
        return 1;
    }
    int status = WriteText(ready, "holding\r\n") ? 0 : 1;
    for (DWORD waited = 0; status == 0 && !Exists(release) && waited < kHoldLimitMs; waited += 100) Sleep(100);
    CloseHandle(file);
    return status;
}

// Ends every process whose program is cmd.exe; the count of those ended.
int EndBatchInterpreters()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    int ended = 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "cmd.exe") != 0) continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process == NULL) continue;
        if (TerminateProcess(process, 1)) {
            WaitForSingleObject(process, 5000);
            ++ended;
        }
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return ended;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--hold") == 0) return Hold(argv[2], argv[3], argv[4]);
    if (argc > 1 && std::strncmp(argv[1], "--", 2) != 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    int ended = EndBatchInterpreters();
    char count[16];
    std::snprintf(count, sizeof count, "%d", ended);
    return WriteText("C:\\restart-requested.txt",
                     std::string(GetCommandLineA()) + "\r\nended cmd.exe: " + count + "\r\n")
               ? 0
               : 1;
}
