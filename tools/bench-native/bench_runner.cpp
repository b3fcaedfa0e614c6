// Runner of the benchmark: stages trees, runs programs as processes and measures them.
//   bench_runner deletion SHIP_DIR FILES RUNS [shell]   uninstall.exe against the floor
//   bench_runner startup RUNS LABEL EXE [ARGS...]       median start-to-exit time
// Prints lines "name value" that tools/bench turns into its table.
#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

struct Run {
    double seconds = 0;
    SIZE_T peakPrivate = 0;
    DWORD exitCode = 0;
};

// Runs a command line from C:\windows and polls its memory counters until it ends.
Run RunMeasured(const std::string& commandLine)
{
    Run run;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    double start = Now();
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, "C:\\windows", &startup, &info)) {
        std::fprintf(stderr, "cannot start: %s\n", commandLine.c_str());
        std::exit(2);
    }
    while (WaitForSingleObject(info.hProcess, 5) == WAIT_TIMEOUT) {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(info.hProcess, &counters, sizeof counters))
            run.peakPrivate = std::max(run.peakPrivate, counters.PeakPagefileUsage);
    }
    run.seconds = Now() - start;
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(info.hProcess, &counters, sizeof counters))
        run.peakPrivate = std::max(run.peakPrivate, counters.PeakPagefileUsage);
    GetExitCodeProcess(info.hProcess, &run.exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return run;
}

void MakeDirs(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), NULL);
}

void PutFile(const std::string& path, const std::string& content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    WriteFile(file, content.data(), DWORD(content.size()), &written, NULL);
    CloseHandle(file);
}

void Wipe(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Wipe(child);
            else DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

// The module directory: nine tenths of the files in a tree of 100 directories (the DelDir
// entry), one tenth beside it as *.tmp (the DelExt entry).
void StageData(const std::string& data, int files)
{
    int patternFiles = files / 10;
    int treeFiles = files - patternFiles;
    MakeDirs(data + "\\tree");
    for (int i = 0; i < treeFiles; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "\\tree\\d%02d", i % 100);
        if (i < 100) MakeDirs(data + name);
        std::snprintf(name + std::strlen(name), sizeof name - std::strlen(name), "\\file%05d.dat", i);
        PutFile(data + name, "data");
    }
    for (int i = 0; i < patternFiles; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "\\scan%05d.tmp", i);
        PutFile(data + name, "tmp");
    }
}

void SetValue(const char* name, const std::string& value)
{
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Morwa Software\\Morwa Antivirus 6.0", 0, NULL, 0,
                    KEY_ALL_ACCESS, NULL, &key, NULL);
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value.c_str(), DWORD(value.size() + 1));
    RegCloseKey(key);
}

void StageInstallation(const std::string& ship, const std::string& inst, int files)
{
    Wipe(inst);
    MakeDirs(inst);
    CopyFileA((ship + "\\uninstall.exe").c_str(), (inst + "\\uninstall.exe").c_str(), FALSE);
    CopyFileA((ship + "\\product\\kolbex\\kolbex.dll").c_str(), (inst + "\\kolbex.dll").c_str(), FALSE);
    PutFile(inst + "\\bench.ini",
            "[General]\r\nApps=Bench\r\n[Bench]\r\nMask=1\r\nModules=Data\r\n"
            "[Data]\r\nMask=1\r\nRelativePath=data\r\nDelDir1=tree\r\nDelExt1=.TMP\r\n");
    StageData(inst + "\\data", files);
    SetValue("Path", inst + "\\");
    SetValue("InstalledProducts", "1");
    SetValue("InstalledModules", "1");
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int Deletion(const std::string& ship, int files, int runs, bool shell)
{
    const std::string inst = "C:\\bench\\inst", floor = "C:\\bench\\floor";
    std::vector<double> uninstall, reference;
    SIZE_T peak = 0;
    for (int r = 0; r < runs; ++r) {
        StageInstallation(ship, inst, files);
        Run run = RunMeasured("\"" + inst + "\\uninstall.exe\" bench.ini 1 0 0");
        // One module name costs a fixed 200 ms pause.
        uninstall.push_back(run.seconds - 0.2);
        peak = std::max(peak, run.peakPrivate);
        DWORD left = GetFileAttributesA((inst + "\\data\\tree\\d00\\file00000.dat").c_str());
        if (left != INVALID_FILE_ATTRIBUTES) std::fprintf(stderr, "uninstall.exe left files behind\n");

        Wipe(floor);
        StageData(floor + "\\data", files);
        reference.push_back(RunMeasured(ship + "\\tools\\bench-native\\bench_floor.exe " + floor + "\\data").seconds);
    }
    std::printf("deletion_files %d\n", files);
    std::printf("deletion_uninstall_s %.3f\n", Median(uninstall));
    std::printf("deletion_floor_s %.3f\n", Median(reference));
    std::printf("deletion_peak_private_bytes %lu\n", (unsigned long)peak);
    if (shell) {
        Wipe(floor);
        StageData(floor + "\\data", files);
        std::printf("deletion_del_s %.3f\n", RunMeasured("cmd /c del /s /q " + floor + "\\data >NUL").seconds);
        Wipe(floor);
        StageData(floor + "\\data", files);
        std::printf("deletion_rd_s %.3f\n", RunMeasured("cmd /c rd /s /q " + floor + "\\data").seconds);
    }
    Wipe(inst);
    Wipe(floor);
    Wipe("C:\\bench");
    return 0;
}

int Startup(int runs, const std::string& commandLine, const char* label)
{
    std::vector<double> times;
    SIZE_T peak = 0;
    for (int r = 0; r < runs; ++r) {
        Run run = RunMeasured(commandLine);
        times.push_back(run.seconds);
        peak = std::max(peak, run.peakPrivate);
    }
    std::printf("startup_%s_ms %.1f\n", label, Median(times) * 1000);
    std::printf("startup_%s_peak_private_bytes %lu\n", label, (unsigned long)peak);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "deletion" && argc >= 5)
        return Deletion(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argc > 5);
    if (mode == "startup" && argc >= 5) {
        std::string line;
        for (int i = 4; i < argc; ++i) line += (i > 4 ? " " : "") + std::string(argv[i]);
        return Startup(std::atoi(argv[2]), line, argv[3]);
    }
    std::fprintf(stderr, "usage: bench_runner deletion SHIP FILES RUNS [shell] | startup RUNS LABEL CMDLINE...\n");
    return 2;
}
