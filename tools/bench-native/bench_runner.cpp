// Runner of the benchmark: stages trees, runs programs as processes and measures them.
//   bench_runner stage SHIP FILES [OTHER]         stages two installations and the floor's tree,
//                                                 and a third installation whose uninstall.exe
//                                                 is OTHER (another build, to compare with)
//   bench_runner deletion SHIP FILES ROUND [OTHER]  removes them: one installation without a
//                                                 log, one with /LOG, the floor's tree, and
//                                                 OTHER's without a log; ROUND rotates which
//                                                 goes first
//   bench_runner shell FILES                      `del /s /q` and `rd /s /q` on the same tree
//   bench_runner startup ROUNDS LIST              start-to-exit times of the programs in LIST
// tools/bench calls stage, then sync, then deletion, round after round, so that both removals
// meet the same file system state; and it interleaves the start-up programs round by round,
// so that a change in the machine's load falls on all of them alike.
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

// The product key names one installation at a time: the one about to be removed.
void SelectInstallation(const std::string& inst)
{
    SetValue("Path", inst + "\\");
    SetValue("InstalledProducts", "1");
    SetValue("InstalledModules", "1");
}

void StageInstallation(const std::string& ship, const std::string& program, const std::string& inst, int files)
{
    Wipe(inst);
    MakeDirs(inst);
    CopyFileA(program.c_str(), (inst + "\\uninstall.exe").c_str(), FALSE);
    CopyFileA((ship + "\\product\\kolbex\\kolbex.dll").c_str(), (inst + "\\kolbex.dll").c_str(), FALSE);
    PutFile(inst + "\\bench.ini",
            "[General]\r\nApps=Bench\r\n[Bench]\r\nMask=1\r\nModules=Data\r\n"
            "[Data]\r\nMask=1\r\nRelativePath=data\r\nDelDir1=tree\r\nDelExt1=.TMP\r\n");
    StageData(inst + "\\data", files);
}

const char kInstall[] = "C:\\bench\\inst";
const char kLogged[] = "C:\\bench\\logged";
const char kLogFile[] = "C:\\bench\\removal-log.txt";
const char kFloor[] = "C:\\bench\\floor";
const char kOther[] = "C:\\bench\\other";

int Stage(const std::string& ship, int files, const char* other)
{
    const std::string program = ship + "\\uninstall.exe";
    StageInstallation(ship, program, kInstall, files);
    StageInstallation(ship, program, kLogged, files);
    if (other) StageInstallation(ship, other, kOther, files);
    Wipe(kFloor);
    StageData(std::string(kFloor) + "\\data", files);
    return 0;
}

// One removal by uninstall.exe, with the log switch or without.
int Uninstall(const std::string& inst, bool logged, const char* name)
{
    SelectInstallation(inst);
    DeleteFileA(kLogFile);
    std::string line = "\"" + inst + "\\uninstall.exe\" bench.ini 1 0 0";
    if (logged) line += std::string(" /LOG=") + kLogFile;
    Run run = RunMeasured(line);
    // One module name costs a fixed 200 ms pause.
    std::printf("%s %.3f\n", name, run.seconds - 0.2);
    if (inst == kInstall) std::printf("deletion_peak_private_bytes %lu\n", (unsigned long)run.peakPrivate);
    DWORD left = GetFileAttributesA((inst + "\\data\\tree\\d00\\file00000.dat").c_str());
    if (left != INVALID_FILE_ATTRIBUTES || run.exitCode != 0) {
        std::fprintf(stderr, "uninstall.exe left files behind or failed\n");
        return 1;
    }
    if (logged) {
        WIN32_FILE_ATTRIBUTE_DATA log = {};
        if (!GetFileAttributesExA(kLogFile, GetFileExInfoStandard, &log) || log.nFileSizeLow == 0) {
            std::fprintf(stderr, "uninstall.exe wrote no log\n");
            return 1;
        }
        std::printf("deletion_log_bytes %lu\n", (unsigned long)log.nFileSizeLow);
    }
    return 0;
}

// One round: the removals of identical trees, the first changing from round to round.
int Deletion(const std::string& ship, int files, int round, bool other)
{
    const int turns = other ? 4 : 3;
    for (int turn = 0; turn < turns; ++turn) {
        switch ((turn + round) % turns) {
        case 0:
            if (Uninstall(kInstall, false, "deletion_uninstall_s") != 0) return 1;
            break;
        case 1:
            if (Uninstall(kLogged, true, "deletion_logged_s") != 0) return 1;
            break;
        case 2: {
            Run run = RunMeasured(ship + "\\tools\\bench-native\\bench_floor.exe " + kFloor + "\\data");
            std::printf("deletion_floor_s %.3f\n", run.seconds);
            break;
        }
        default:
            if (Uninstall(kOther, false, "deletion_other_s") != 0) return 1;
        }
    }
    std::printf("deletion_files %d\n", files);
    return 0;
}

// The files left below a directory, so that a command that deleted less is not taken as faster.
int CountFiles(const std::string& path)
{
    int count = 0;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) count += CountFiles(path + "\\" + name);
        else ++count;
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return count;
}

int Shell(int files)
{
    const std::string floor = kFloor, data = floor + "\\data";
    const char* const commands[][2] = {{"del", "cmd /c del /s /q "}, {"rd", "cmd /c rd /s /q "}};
    for (const auto& command : commands) {
        Wipe(floor);
        StageData(data, files);
        std::string line = command[1] + data + (std::string(command[0]) == "del" ? " >NUL" : "");
        std::printf("deletion_%s_s %.3f\n", command[0], RunMeasured(line).seconds);
        std::printf("deletion_%s_left %d\n", command[0], CountFiles(data));
    }
    Wipe(kInstall);
    Wipe(kLogged);
    Wipe(kOther);
    Wipe(floor);
    Wipe("C:\\bench");
    return 0;
}

// LIST: a file of lines "label<TAB>command line". Each round runs every program once, the
// first one of the round changing from round to round.
int Startup(int rounds, const char* listPath)
{
    std::vector<std::pair<std::string, std::string>> programs;
    FILE* list = std::fopen(listPath, "r");
    if (list == NULL) return 2;
    char line[1024];
    while (std::fgets(line, sizeof line, list)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        size_t tab = text.find('\t');
        if (tab != std::string::npos) programs.push_back({text.substr(0, tab), text.substr(tab + 1)});
    }
    std::fclose(list);
    for (int round = 0; round < rounds; ++round) {
        for (size_t k = 0; k < programs.size(); ++k) {
            const auto& program = programs[(k + round) % programs.size()];
            Run run = RunMeasured(program.second);
            std::printf("startup_%s_ms %.1f\n", program.first.c_str(), run.seconds * 1000);
            std::printf("startup_%s_peak_private_bytes %lu\n", program.first.c_str(),
                        (unsigned long)run.peakPrivate);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "stage" && (argc == 4 || argc == 5))
        return Stage(argv[2], std::atoi(argv[3]), argc == 5 ? argv[4] : nullptr);
    if (mode == "deletion" && (argc == 5 || argc == 6))
        return Deletion(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argc == 6);
    if (mode == "shell" && argc == 3) return Shell(std::atoi(argv[2]));
    if (mode == "startup" && argc == 4) return Startup(std::atoi(argv[2]), argv[3]);
    std::fprintf(stderr, "usage: bench_runner stage SHIP FILES [OTHER] | deletion SHIP FILES ROUND [OTHER] | "
                         "shell FILES | startup ROUNDS LIST\n");
    return 2;
}
