// uninstall.exe on hostile but well-formed input: manifests and registry values that name the
// system's own keys and directories, by every spelling Wine gives them, through links, or that
// ask to delete a file other programs still count on. Every row runs on a small installation
// of its own, with sentinel files and folders in every protected place and sentinel keys and
// values in every protected key: nothing outside the product may go, and what the input
// validly names of the product still goes.
#include "tests/support/Keys.h"
#include "tests/support/EndToEnd.h"
#include "tests/support/LogStory.h"
#include "tests/support/SavedKey.h"
#include <gtest/gtest.h>
#include <functional>
#include <memory>

using namespace testing_support;

namespace {

const std::vector<std::string> kNone;
const std::string kProduct = kProductKeyName;
const char kSentinelFile[] = "qelhostile.txt";
const char kSentinelFolder[] = "QEL Sentinel";
const char kSentinelKey[] = "QEL Hostile Sentinel";
const char kSentinelText[] = "sentinel: a protected place";

std::string Query(UINT(WINAPI* query)(LPSTR, UINT))
{
    char buffer[MAX_PATH] = "";
    query(buffer, sizeof buffer);
    return buffer;
}

std::string ShortForm(const std::string& path)
{
    char buffer[MAX_PATH] = "";
    DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer) : std::string();
}

std::string TempDirectory()
{
    char buffer[MAX_PATH] = "";
    GetTempPathA(sizeof buffer, buffer);
    std::string temp = buffer;
    if (temp.size() > 3 && temp.back() == '\\') temp.pop_back();
    return temp;
}

// True when the directory exists and no directory on its way is a link: in a Wine prefix the
// Desktop and Documents folders are links into the Unix home, where no test writes.
bool IsPlainDirectory(const std::string& path)
{
    for (size_t end = path.find('\\', 3);; end = path.find('\\', end + 1)) {
        DWORD attributes = GetFileAttributesA(path.substr(0, end).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return false;
        if (end == std::string::npos) return true;
    }
}

struct Place {
    HKEY root;
    const char* path;
    bool value;  // a sentinel value in the key itself too (not in RunOnce, which Wine would run)
};

// The system's own keys, each given a sentinel sub-key and, where harmless, a sentinel value.
const Place kProtectedKeys[] = {
    {HKEY_LOCAL_MACHINE, "Software", true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft", true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows", true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices", false},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths", true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false},
    {HKEY_LOCAL_MACHINE, "Software\\Classes", true},
    {HKEY_LOCAL_MACHINE, "Software\\Morwa Software\\Uninstall", false},
    {HKEY_LOCAL_MACHINE, "System", true},
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet", true},
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services", true},
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD", true},
    // The system's configuration, deep down.
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager\\Environment", true},
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Class", true},
    {HKEY_LOCAL_MACHINE, "Enum", true},
    {HKEY_LOCAL_MACHINE, "Config", true},
    {HKEY_CURRENT_USER, "Software", true},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", true},
    {HKEY_CURRENT_USER, "Software\\Classes", true},
    {HKEY_CLASSES_ROOT, "CLSID", true},
    {HKEY_CLASSES_ROOT, "Interface", true},
    {HKEY_CLASSES_ROOT, "TypeLib", true},
    {HKEY_USERS, ".DEFAULT", true},
    {HKEY_USERS, ".DEFAULT\\Software", true},
};

// Files and folders in every protected place, keys and values in every protected key; the
// shell folders of a Windows 98 machine (C:\My Documents, the Start Menu in the Windows
// directory) beside Wine's own. Made before an installation is staged, undone at the end.
class ProtectedSentinels {
public:
    ProtectedSentinels();
    ~ProtectedSentinels();
    std::vector<std::string> Missing() const;
    const std::string& windows() const { return windows_; }

private:
    void Protect(const std::string& directory);
    SavedKey shellFolders_{HKEY_CURRENT_USER, kShellFolders};
    std::string windows_;
    std::vector<std::string> madeDirectories_;  // the Windows 98 shell folders
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
    std::vector<std::pair<HKEY, std::string>> madeKeys_;  // protected keys this prefix lacked
};

ProtectedSentinels::ProtectedSentinels() : windows_(Query(GetWindowsDirectoryA))
{
    // Wine's own folders, as the registry names them before the Windows 98 ones take over.
    std::vector<std::string> places = {"C:", windows_, Query(GetSystemDirectoryA), windows_ + "\\Fonts",
                                       windows_ + "\\inf", Query(GetSystemDirectoryA) + "\\drivers",
                                       TempDirectory()};
    for (const char* name : {"ProgramFilesDir", "CommonFilesDir"})
        places.push_back(ReadStringValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", name));
    for (const char* name : {"AppData", "Start Menu", "Programs", "StartUp", "Favorites", "SendTo", "Recent",
                             "NetHood", "PrintHood", "Local AppData"})
        places.push_back(ReadStringValue(HKEY_CURRENT_USER, kShellFolders, name));
    for (const char* name : {"Common AppData", "Common Start Menu", "Common Programs", "Common Desktop"})
        places.push_back(ReadStringValue(HKEY_LOCAL_MACHINE, kShellFolders, name));
    char profile[MAX_PATH] = "";
    GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
    places.push_back(profile);
    places.push_back(std::string(profile).substr(0, std::string(profile).rfind('\\')));
    // A Windows 98 machine's folders: made here, and named as its shell folders.
    const struct { const char* name; std::string path; } win98[] = {
        {"Personal", "C:\\My Documents"},
        {"Desktop", windows_ + "\\Desktop"},
        {"Start Menu", windows_ + "\\Start Menu"},
        {"Programs", windows_ + "\\Start Menu\\Programs"},
        {"StartUp", windows_ + "\\Start Menu\\Programs\\StartUp"},
    };
    for (const auto& folder : win98) {
        if (!DirectoryExists(folder.path)) madeDirectories_.insert(madeDirectories_.begin(), folder.path);
        MakeDirectories(folder.path);
        SetStringValue(HKEY_CURRENT_USER, kShellFolders, folder.name, folder.path);
        places.push_back(folder.path);
    }
    for (const std::string& place : places) Protect(place);
    for (const Place& key : kProtectedKeys) {
        // The outermost key this prefix lacks goes again at the end.
        const std::string path = key.path;
        for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
            if (!KeyExists(key.root, path.substr(0, end))) {
                madeKeys_.push_back({key.root, path.substr(0, end)});
                break;
            }
            if (end == std::string::npos) break;
        }
        SetStringValue(key.root, std::string(key.path) + "\\" + kSentinelKey, "Level", kSentinelText);
        if (key.value) SetStringValue(key.root, key.path, kSentinelKey, kSentinelText);
    }
}

void ProtectedSentinels::Protect(const std::string& directory)
{
    if (directory.empty() || (directory != "C:" && !IsPlainDirectory(directory))) return;
    for (const std::string& file : files_)
        if (lstrcmpiA(file.c_str(), (directory + "\\" + kSentinelFile).c_str()) == 0) return;
    files_.push_back(directory + "\\" + kSentinelFile);
    WriteTextFile(files_.back(), kSentinelText);
    folders_.push_back(directory + "\\" + kSentinelFolder);
    files_.push_back(folders_.back() + "\\inner.txt");
    WriteTextFile(files_.back(), kSentinelText);
}

ProtectedSentinels::~ProtectedSentinels()
{
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    for (const std::string& folder : folders_) RemoveDirectoryA(folder.c_str());
    for (const std::string& directory : madeDirectories_) RemoveTree(directory);
    for (const Place& key : kProtectedKeys) {
        DeleteKeyTree(key.root, std::string(key.path) + "\\" + kSentinelKey);
        if (key.value) DeleteValue(key.root, key.path, kSentinelKey);
    }
    for (auto key = madeKeys_.rbegin(); key != madeKeys_.rend(); ++key) DeleteKeyTree(key->first, key->second);
}

std::vector<std::string> ProtectedSentinels::Missing() const
{
    std::vector<std::string> missing;
    for (const std::string& file : files_)
        if (ReadTextFile(file) != kSentinelText) missing.push_back(file);
    for (const Place& key : kProtectedKeys) {
        if (ReadStringValue(key.root, std::string(key.path) + "\\" + kSentinelKey, "Level") != kSentinelText)
            missing.push_back(std::string(key.path) + "\\" + kSentinelKey);
        if (key.value && ReadStringValue(key.root, key.path, kSentinelKey) != kSentinelText)
            missing.push_back(std::string(key.path) + " value");
    }
    return missing;
}

// Gives a file or directory the creation and write times of 2020, as a folder the user kept long
// before the product came shows them (Wine reports the last write as the creation time).
bool MakeOld(const std::string& path)
{
    SYSTEMTIME old = {2020, 1, 3, 1, 12, 0, 0, 0};
    FILETIME time;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool set = SystemTimeToFileTime(&old, &time) && SetFileTime(handle, &time, &time, &time);
    CloseHandle(handle);
    return set;
}

// One hostile installation: what the registry and the manifest say, and what must go.
struct Row {
    std::string what;
    std::string path = "{install}";              // the product's "Path"
    std::string manifestAt = "hostile.ini";      // where the manifest lies (the path it names)
    std::string module;                          // entries of the one module's section
    std::string keys;                            // its Key%i entries
    std::string items;                           // more of the installation
    std::vector<std::string> gone;               // of the product: must go
    std::vector<std::string> kept;               // staged files the run must leave as they are
    std::vector<std::pair<std::string, std::string>> links;   // Unix links made once staged
    std::vector<std::pair<std::string, DWORD>> counts;        // SharedDLLs counts before
    std::vector<std::pair<std::string, DWORD>> countsAfter;   // and after (0: no value)
    int edition = 1;
    // A file of the "Shared" module in the directory that "Path" names: it goes when the run
    // has walked the manifest to its end (the proof that the hostile entries were reached), and
    // stays when the run refused the whole installation.
    std::string sharedFile = "{install}qelshared.dat";
    bool sharedFileStays = false;  // the run refused the whole installation, or went nowhere through it
    std::string installDir = kSampleInstallDir;    // where the installation is staged
    std::string sharedEntries;                     // more entries of the "Shared" module
    std::vector<std::string> rules;                // refusals the removal log must name
    std::vector<std::pair<std::string, std::string>> texts;  // files and their whole text after the run
    bool maintenanceStep = false;       // the rules are logged by the Maintenance Wizard's step,
                                        // which Windows 95 does not take
    std::string dosDevices;             // what QueryDosDeviceA answers (the test variant)
    std::vector<std::string> rules95;   // the rules on Windows 95, where they differ
    std::string absent;                 // functions the test variant reports absent ("X") or failing ("X!")
    std::vector<std::string> stays;     // staged keys ("HKLM\\path") and values that must still be there
    std::function<bool()> afterStage;   // makes what staging cannot (Unicode names, registry links)
    std::string modulesAfter;           // the version manager's module mask after the run, when checked
                                        // ("1": the module stays installed, "0": it went)
    std::string productsAfter;          // the same for the edition mask
    bool retry = false;                 // the run schedules a retry
};

// Every table runs twice: with the program as it ships, on Windows 98; and with the test variant
// on Windows 95, whose kernel lacks GetLongPathNameA and only stubs QueryDosDeviceA, so that the
// rules must hold through short names alone.
enum class Platform { kWindows98, kWindows95 };

class HostileInput : public ::testing::TestWithParam<Platform> {
protected:
    SavedKey wineVersion{HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\uninstall.exe"};
    ScratchDir scratch{"hostile"};
    std::unique_ptr<ProtectedSentinels> places{new ProtectedSentinels()};
    Sentinels sentinels{kSampleInstallDir};
    SavedKey sharedDlls{HKEY_LOCAL_MACHINE, kSharedDlls};
    const std::string windows = places->windows();
    const std::string windowsName = windows.substr(3);  // "windows": the name below C:

    void SetUp() override
    {
        if (windows95())
            SetStringValue(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\uninstall.exe", "Version", "win95");
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("UNINST_ABSENT", NULL);
        SetEnvironmentVariableA("UNINST_DOS_DEVICES", NULL);
    }
    bool windows95() const { return GetParam() == Platform::kWindows95; }
    void RunRow(size_t index, const Row& row);
};

// The Windows 95 pass differs from the Windows 98 one in the functions bound at run time alone
// (GetLongPathNameA, QueryDosDeviceA, SfcIsFileProtected, _resetstkoflw: see the README). A test
// whose outcome none of them can change runs on one platform and says why in its first line.
#define ONE_PLATFORM_PROVES(why) \
    if (windows95()) GTEST_SKIP() << "one platform proves it: " << why

std::string Manifest(const Row& row)
{
    return "[General]\r\nApps=Hostile\r\n[Hostile]\r\nMask=" + std::to_string(row.edition) +
           "\r\nModules=HostileModule\r\n[HostileModule]\r\nMask=1\r\n" + row.module +
           "RegKeyDelSection=HostileReg\r\n[HostileReg]\r\n" + row.keys + "[Shared]\r\nFile1=qelshared.dat\r\n" +
           row.sharedEntries;
}

std::string Description(const Row& row, bool variant)
{
    const std::string edition = std::to_string(row.edition);
    return "copy uninstall.exe = {ship}\\" + std::string(variant ? "uninstall-hooks.exe" : "uninstall.exe") + "\r\n"
           "copy kolbex.dll = {ship}\\product\\kolbex\\kolbex.dll\r\n"
           "copy " + row.manifestAt + " = {samples}\\hostile.ini\r\n"
           "key HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\r\n"
           "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\Path = " + row.path + "\r\n"
           "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\InstalledProducts = " + edition + "\r\n"
           "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\InstalledModules = 1\r\n"
           "file " + row.sharedFile + "\r\n" + row.items;
}

DWORD Count(const std::string& name)
{
    HKEY key = NULL;
    DWORD value = 0, size = sizeof value;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    if (RegQueryValueExA(key, name.c_str(), NULL, NULL, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        value = 0;
    RegCloseKey(key);
    return value;
}

void HostileInput::RunRow(size_t index, const Row& row)
{
    SCOPED_TRACE("row " + std::to_string(index) + ": " + row.what);
    WriteTextFile(scratch / "hostile.ini", Manifest(row));
    // The test variant where the system must answer otherwise than Wine does.
    const bool variant = windows95() || !row.dosDevices.empty() || !row.absent.empty();
    WriteTextFile(scratch / "description.ini", Description(row, variant));
    std::string absent = windows95() ? "win95" : "";
    if (!row.absent.empty()) absent += (absent.empty() ? "" : ",") + row.absent;
    SetEnvironmentVariableA("UNINST_ABSENT", absent.empty() ? NULL : absent.c_str());
    SetEnvironmentVariableA("UNINST_DOS_DEVICES", row.dosDevices.empty() ? NULL : row.dosDevices.c_str());
    staging::Options options = SampleOptions(row.installDir);
    options.samplesDir = scratch.path();
    EndToEnd e2e(options, scratch / "description.ini");
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    for (const auto& link : row.links)
        if (!MakeUnixSymlink(link.first, link.second)) GTEST_SKIP() << "no Unix symbolic links here";
    for (const auto& count : row.counts) SetDwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, count.first, count.second);
    ASSERT_TRUE(!row.afterStage || row.afterStage()) << "the hostile entry could not be made";

    // First a preview, which changes nothing and tells the story the run then tells.
    const std::string log = scratch / "hostile-log.txt";
    const std::string tokens = "hostile.ini " + std::to_string(row.edition) + " 0 0 /LOG=\"" + log + "\"";
    DeleteFileA(log.c_str());
    EndToEndRun preview = e2e.Run(tokens + " /PREVIEW", 60000);
    EXPECT_EQ(kNone, Changes(preview.before, preview.after)) << e2e.Report(preview);
    const std::vector<std::string> previewed = Story(LogLines(log));
    DeleteFileA(log.c_str());
    EndToEndRun run = e2e.Run(tokens, 60000);
    const std::string logText = ReadTextFile(log);
    const std::vector<std::string> story = Story(LogLines(log));
    EXPECT_EQ(story, previewed) << Parting(story, previewed);
    const std::vector<std::string>& rules = windows95() && !row.rules95.empty() ? row.rules95 : row.rules;
    for (const std::string& rule : rules) {
        if (windows95() && row.maintenanceStep) break;
        EXPECT_NE(std::string::npos, logText.find("rule " + rule)) << "no refusal by rule " << rule << "\n" << logText;
    }
    for (const auto& link : row.links) RemoveUnixSymlink(link.first);

    EXPECT_TRUE(run.facts.finished) << e2e.Report(run);
    EXPECT_EQ(0u, run.facts.exitCode);
    std::vector<std::string> missing = places->Missing();
    EXPECT_EQ(kNone, missing) << e2e.Report(run);
    // Made again after a loss, so that the next row is told against sentinels of its own.
    if (!missing.empty()) {
        places.reset();
        places.reset(new ProtectedSentinels());
    }
    EXPECT_EQ(kNone, sentinels.Missing());
    EXPECT_EQ(kNone, StillPresent(run.after, row.gone)) << e2e.Report(run);
    std::string shared = row.sharedFile;
    if (shared.compare(0, 9, "{install}") == 0) shared = row.installDir + shared.substr(9);
    EXPECT_EQ(row.sharedFileStays, FileExists(shared)) << (row.sharedFileStays ? "the run went on" : "the walk did not end");
    for (const std::string& file : row.kept) {
        auto before = run.before.files.find(file), after = run.after.files.find(file);
        ASSERT_NE(run.before.files.end(), before) << file;
        EXPECT_TRUE(after != run.after.files.end() && after->second == before->second) << file << " changed";
    }
    for (const auto& count : row.countsAfter) EXPECT_EQ(count.second, Count(count.first)) << count.first;
    for (const std::string& name : row.stays) {
        ASSERT_TRUE(run.before.keys.count(name) || run.before.values.count(name)) << name << " was not staged";
        EXPECT_TRUE(run.after.keys.count(name) || run.after.values.count(name)) << name << " is gone";
    }
    for (const auto& text : row.texts) EXPECT_EQ(text.second, ReadTextFile(text.first)) << text.first;
    if (!row.modulesAfter.empty()) EXPECT_EQ(row.modulesAfter, run.after.installedModules.value_or("(none)"));
    if (!row.productsAfter.empty()) EXPECT_EQ(row.productsAfter, run.after.installedProducts.value_or("(none)"));
    EXPECT_EQ(row.retry, run.after.retryCommand.has_value()) << run.after.retryCommand.value_or("(none)");
}

TEST_P(HostileInput, KeyEntriesNamingTheSystemsKeys)
{
    ONE_PLATFORM_PROVES("the key rules read no function bound at run time");
    // Each row also names the product's own key and its Run value, which must still go.
    const std::string items = "file Hostile\\qelhostile.dat\r\n"
                              "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\Hostile\\Level = x\r\n"
                              "sz HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELHostile = x\r\n";
    const std::string module = "RelativePath=Hostile\r\nFile1=qelhostile.dat\r\n";
    const std::vector<std::string> product = {
        "%ProgramRoot%\\Hostile\\",
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELHostile"};
    const std::vector<std::string> gone = {Install("Hostile\\qelhostile.dat"), kProduct + "\\Hostile",
                                           "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELHostile"};
    const std::string version = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\";
    const std::vector<std::pair<std::string, std::vector<std::string>>> rows = {
        {"HKLM\\Software", {"HKEY_LOCAL_MACHINE\\Software\\"}},
        {"HKCU\\Software", {"HKEY_CURRENT_USER\\Software\\"}},
        {"HKCR\\CLSID", {"HKEY_CLASSES_ROOT\\CLSID\\"}},
        {"HKLM\\System", {"HKEY_LOCAL_MACHINE\\System\\"}},
        {"HKU\\.DEFAULT", {"HKEY_USERS\\.DEFAULT\\"}},
        {"CurrentVersion", {version}},
        {"the start-up and uninstall keys",
         {version + "Run\\", version + "RunOnce\\", version + "RunServices\\", version + "Uninstall\\",
          version + "App Paths\\", version + "Explorer\\Shell Folders\\",
          "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\",
          "HKEY_LOCAL_MACHINE\\Software\\Morwa Software\\Uninstall\\",
          "HKEY_LOCAL_MACHINE\\Software\\Morwa Software\\"}},
        {"classes and services",
         {"HKEY_CLASSES_ROOT\\Interface\\", "HKEY_CLASSES_ROOT\\TypeLib\\",
          "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\", "HKEY_CURRENT_USER\\Software\\Classes\\",
          "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\",
          "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD\\"}},
        {"other spellings of the same keys",
         {"HKEY_LOCAL_MACHINE\\software\\MICROSOFT\\",
          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\",
          "HKEY_LOCAL_MACHINE\\System\\ControlSet001\\", "HKEY_USERS\\.DEFAULT\\Software\\",
          "HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\"}},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        Row row;
        row.what = rows[i].first;
        row.module = module;
        std::vector<std::string> entries = rows[i].second;
        entries.insert(entries.end(), product.begin(), product.end());  // numbered on, no gap
        for (size_t k = 0; k < entries.size(); ++k)
            row.keys += "Key" + std::to_string(k + 1) + "=" + entries[k] + "\r\n";
        row.items = items;
        row.gone = gone;
        RunRow(i, row);
    }
}

TEST_P(HostileInput, DirectoryEntriesNamingProtectedPlaces)
{
    const std::string programFiles = ReadStringValue(HKEY_LOCAL_MACHINE,
        "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    const std::string shortProgramFiles = ShortForm(programFiles);
    ASSERT_FALSE(shortProgramFiles.empty());
    std::string profile(MAX_PATH, '\0');
    profile.resize(GetEnvironmentVariableA("USERPROFILE", &profile[0], MAX_PATH));
    const std::string appData = ReadStringValue(HKEY_CURRENT_USER, kShellFolders, "AppData");
    const std::string programs = windows + "\\Start Menu\\Programs";
    const std::string group = programs + "\\Morwa Antivirus";

    std::vector<Row> rows(6);
    rows[0].what = "a drive root as Path, Program Files by its short names";
    rows[0].path = "C:\\";
    rows[0].manifestAt = "C:\\hostile.ini";
    rows[0].sharedFile = "C:\\qelshared.dat";
    // A drive root is no private place: nothing goes through it, not even the product's files.
    rows[0].sharedFileStays = true;
    rows[0].rules = {"drive-root", "install-directory"};
    // PROGRA~1 is the short name Windows gives; Wine hashes its own (PROG~FBU).
    rows[0].module = "DelDir1=PROGRA~1\r\nDelDir2=" + shortProgramFiles.substr(3) + "\r\nDelExt1=.txt\r\n";

    rows[1].what = "a device form as Path";
    rows[1].path = "\\\\?\\C:\\";
    rows[1].manifestAt = "C:\\hostile.ini";
    rows[1].sharedFile = "C:\\qelshared.dat";
    rows[1].sharedFileStays = true;  // the run ends at its start
    rows[1].module = "DelDir1=" + windowsName + "\r\nDelExt1=.txt\r\n";

    rows[2].what = "a drive root as Path, shell folders, profiles, temporary and Windows' own folders";
    rows[2].path = "C:\\";
    rows[2].manifestAt = "C:\\hostile.ini";
    rows[2].sharedFile = "C:\\qelshared.dat";
    rows[2].sharedFileStays = true;
    rows[2].rules = {"drive-root", "install-directory"};
    const std::string below[] = {
        "My Documents", windowsName + "\\Desktop", windowsName + "\\Start Menu", windowsName + "\\Start Menu\\Programs",
        windowsName + "\\Fonts", windowsName + "\\inf", Query(GetSystemDirectoryA).substr(3) + "\\drivers",
        programFiles.substr(3) + "\\Common Files", profile.substr(3), profile.substr(3, profile.rfind('\\') - 3),
        TempDirectory().substr(3), appData.substr(3), windowsName + ". .", windowsName + "\\Fonts. .",
    };
    for (size_t i = 0; i < sizeof below / sizeof below[0]; ++i)
        rows[2].module += "DelDir" + std::to_string(i + 1) + "=" + below[i] + "\r\n";

    rows[3].what = "a Path that climbs into the Windows directory";
    rows[3].path = programFiles + "\\..\\" + windowsName + "\\";
    rows[3].manifestAt = windows + "\\hostile.ini";
    rows[3].sharedFile = windows + "\\qelshared.dat";
    rows[3].sharedFileStays = true;
    rows[3].rules = {"protected-directory", "install-directory"};
    rows[3].module = "DelDir1=Fonts\r\nDelDir2=Start Menu\r\nDelExt1=.txt\r\nDelExt2=.ini\r\n";

    // A shell folder is no private place: not even a group in it that looks like the product's
    // goes through it.
    rows[4].what = "a shell folder as Path, with a Start Menu group in it";
    rows[4].path = programs + "\\";
    rows[4].manifestAt = programs + "\\hostile.ini";
    rows[4].sharedFile = programs + "\\qelshared.dat";
    rows[4].sharedFileStays = true;
    rows[4].rules = {"shell-folder", "install-directory"};
    rows[4].module = "DelDir1=Morwa Antivirus\r\nDelDir2=StartUp\r\nDelExt1=.txt\r\n";
    rows[4].items = "file " + group + "\\Morwa Antivirus.lnk\r\nfile " + group + "\\Readme.lnk\r\n";
    rows[4].kept = {group + "\\Morwa Antivirus.lnk", group + "\\Readme.lnk"};

    rows[5].what = "the product's own trees still go";
    rows[5].module = "RelativePath=Scanner\r\nDelDir1=Reports\r\nDelExt1=.GID\r\n";
    rows[5].items = "file Scanner\\Reports\\report01.txt\r\nfile Scanner\\Reports\\Old\\report00.txt\r\n"
                    "file Scanner\\QELSCAN.GID\r\n";
    rows[5].gone = {Install("Scanner\\Reports\\report01.txt"), Install("Scanner\\Reports\\Old\\report00.txt"),
                    Install("Scanner\\QELSCAN.GID")};

    // A folder the user keeps files in too, chosen as the install directory: its trees and
    // patterns take only what came with the product; the user's older files stay, and so does
    // the folder that holds one, and the module still counts as removed.
    Row shared;
    shared.what = "a folder the user shares with the product as Path";
    shared.installDir = "C:\\Utils\\";
    shared.sharedFile = "C:\\Utils\\qelshared.dat";
    shared.module = "DelDir1=Temp\r\nDelExt1=.txt\r\nDelExt2=.log\r\n";
    const std::vector<std::string> users = {"C:\\Utils\\readme.txt", "C:\\Utils\\backup.log",
                                            "C:\\Utils\\Temp\\draft.doc", "C:\\Utils\\Temp\\Old\\notes.txt"};
    for (const std::string& file : users) shared.items += "file " + file + "\r\n";
    shared.items += "file {install}qelscan.txt\r\nfile {install}qelscan.log\r\nfile {install}Temp\\qeltemp.tmp\r\n"
                    "file {install}Temp\\Old\\qelold.tmp\r\n";
    shared.gone = {"C:\\Utils\\qelscan.txt", "C:\\Utils\\qelscan.log", "C:\\Utils\\Temp\\qeltemp.tmp",
                   "C:\\Utils\\Temp\\Old\\qelold.tmp"};
    shared.kept = users;
    shared.afterStage = [&]() {
        bool made = true;
        for (const std::string& file : users) made = MakeOld(file) && made;
        return MakeOld("C:\\Utils") && made;  // last: what is made inside a folder renews its time under Wine
    };
    shared.rules = {"user-file"};
    shared.modulesAfter = "0";
    shared.productsAfter = "0";
    rows.push_back(shared);
    // The same files in a folder the product made (not older than the product): all of them go.
    Row own = shared;
    own.what = "old files in a folder the product made";
    own.afterStage = [&]() {
        bool made = true;
        for (const std::string& file : users) made = MakeOld(file) && made;
        return made;
    };
    own.gone.insert(own.gone.end(), users.begin(), users.end());
    own.kept.clear();
    own.rules.clear();
    rows.push_back(own);
    for (size_t i = 0; i < rows.size(); ++i) RunRow(i, rows[i]);
}

TEST_P(HostileInput, EditionDirectoriesAndTheMaintenanceShortcut)
{
    // Another user's shell folders, as a loaded hive names them.
    const std::string otherDesktop = "C:\\QEL Other User\\Desktop";
    MakeDirectories(otherDesktop + "\\" + kSentinelFolder);
    WriteTextFile(otherDesktop + "\\" + kSentinelFolder + "\\inner.txt", kSentinelText);
    SavedKey otherFolders(HKEY_USERS, std::string(".DEFAULT\\") + kShellFolders);
    SetStringValue(HKEY_USERS, std::string(".DEFAULT\\") + kShellFolders, "Desktop", otherDesktop);
    const std::string outside = "C:\\QEL Hostile Edition";
    struct Edition { const char* what; std::string value; const char* rule; } editions[] = {
        // The test runs the program in the Windows directory, as RunOnce starts the retry run.
        {"a relative name", "Fonts", "relative-path"},
        {"an empty value", "", "relative-path"},
        {"My Documents", "C:\\My Documents", "shell-folder"},
        {"the Windows 98 Start Menu", "C:\\WINDOWS\\Start Menu", "shell-folder"},
        {"the temporary directory", TempDirectory(), "temp-directory"},
        {"a device form", "\\\\?\\" + windows + "\\Fonts", "device-path"},
        {"the Windows directory by an administrative share", "\\\\localhost\\C$\\" + windowsName, "protected-directory"},
        // Deeper down in the places: a folder of the system directory, of a shell folder, of
        // another user's Desktop.
        {"deep in the system directory", Query(GetSystemDirectoryA) + "\\drivers\\" + kSentinelFolder, "windows-directory"},
        {"a folder in My Documents", std::string("C:\\My Documents\\") + kSentinelFolder, "shell-folder"},
        {"a folder on another user's Desktop", otherDesktop + "\\" + kSentinelFolder, "shell-folder"},
        {"the product's own", "{install}Base", nullptr},
        {"the product's own, outside the install directory", outside, nullptr},
    };
    for (size_t i = 0; i < sizeof editions / sizeof editions[0]; ++i) {
        Row row;
        row.what = std::string("edition directory: ") + editions[i].what;
        row.items = "file Base\\licence.key\r\nfile " + outside + "\\licence.key\r\n"
                    "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = " + editions[i].value + "\r\n";
        if (editions[i].rule) row.rules = {editions[i].rule};
        else row.gone = {editions[i].value == outside ? outside : Install("Base")};
        RunRow(i, row);
    }
    EXPECT_EQ(kSentinelText, ReadTextFile(otherDesktop + "\\" + kSentinelFolder + "\\inner.txt"));
    RemoveTree("C:\\QEL Other User");
    // A folder of its own beside the install directory inside Program Files, named as the vendor
    // names it, is the edition's, and it goes with the edition; Common Files beside it is not a
    // folder of its own, and a folder named otherwise is another's.
    const std::string install = kSampleInstallDir;
    const std::string programFiles = install.substr(0, install.rfind('\\', install.size() - 2));
    for (const char* name : {"Morwa Hostile Beside", "Common Files", "QEL Hostile Beside"}) {
        const bool own = name[0] == 'M';
        Row beside;
        beside.what = std::string("edition directory beside the install directory: ") + name;
        beside.items = "file " + programFiles + "\\" + name + "\\qelhostile-licence.key\r\n"
                       "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = " + programFiles + "\\" + name + "\r\n";
        if (own) beside.gone = {programFiles + "\\" + name};
        else beside.kept = {programFiles + "\\" + name + "\\qelhostile-licence.key"};
        if (!own) beside.rules = {"protected-directory"};  // both: inside Program Files
        beside.modulesAfter = "0";
        beside.productsAfter = "0";
        RunRow(200, beside);
    }
    // A file of the edition's own directory that cannot go: the edition stays listed and the
    // retry run is due, as for a module's file.
    Row held;
    held.what = "edition directory: the product's own, a file that cannot go";
    const std::string heldFile = outside + "\\qelheld.dat";
    held.items = "file " + heldFile + "\r\nsz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = " + outside + "\r\n";
    held.afterStage = [&]() { return SetFileAttributesA(heldFile.c_str(), FILE_ATTRIBUTE_READONLY) != 0; };
    held.kept = {heldFile};
    held.productsAfter = "1";
    held.retry = true;
    RunRow(400, held);
    SetFileAttributesA(heldFile.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveTree(outside);
    // The install directory itself, also under another spelling (a trailing dot, which the system
    // reads away), is no edition directory of its own: the run does not walk it for the edition,
    // which would meet the program's own files in use where the preview said they would go.
    for (const char* end : {".", ""}) {
        Row itself;
        itself.what = std::string("edition directory: the install directory") + (*end ? " with a trailing dot" : "");
        itself.items = "file Base\\licence.key\r\n"
                       "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = " +
                       install.substr(0, install.size() - 1) + end + "\r\n";
        itself.kept = {Install("Base\\licence.key")};  // named by nothing but the edition value
        itself.modulesAfter = "0";
        itself.productsAfter = "0";
        RunRow(300, itself);
    }
    // The full Vantorix removal rewrites the maintenance shortcut on Windows 98 (the prefix's
    // mode): a relative value would name a file of the Windows directory.
    Row row;
    row.what = "a relative maintenance shortcut";
    row.edition = 4;
    const std::string shortcut = windows + "\\Start Menu\\Programs\\QEL Hostile Wizard";
    row.items = "file " + shortcut + ".lnk\r\n"
                "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60Win98AM = Start Menu\\Programs\\QEL Hostile Wizard\r\n"
                "file Vantorix\\licence.key\r\n"
                "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60Vantorix = {install}Vantorix\r\n";
    row.gone = {Install("Vantorix")};
    row.kept = {shortcut + ".lnk"};  // neither deleted nor written again
    RunRow(100, row);

    // Another vendor's shortcut under the name the registry gives: it is not the product's.
    row.what = "another vendor's shortcut as the maintenance shortcut";
    row.items = "file C:\\QEL Other Vendor\\wizard.exe\r\n"
                "link " + shortcut + ".lnk = C:\\QEL Other Vendor\\wizard.exe\r\n"
                "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60Win98AM = " + shortcut + "\r\n"
                "file Vantorix\\licence.key\r\n"
                "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60Vantorix = {install}Vantorix\r\n";
    row.rules = {"foreign-shortcut"};
    row.maintenanceStep = true;
    RunRow(101, row);
}

TEST_P(HostileInput, DriveLettersThatStandForFolders)
{
    // W: stands for the user's profile (SUBST W: <profile>). Wine answers every drive with a
    // volume of its own, so the test variant answers QueryDosDeviceA as the NT family would.
    std::string profile(MAX_PATH, '\0');
    profile.resize(GetEnvironmentVariableA("USERPROFILE", &profile[0], MAX_PATH));
    if (!MakeDriveLetter('W', profile)) GTEST_SKIP() << "no drive letters can be made here";
    Row row;
    row.what = "a folder of the profile, through a drive letter that stands for it";
    row.items = std::string("sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = W:\\") + kSentinelFolder + "\r\n";
    row.dosDevices = "W:=\\??\\" + profile;
    row.rules = {"profile-directory"};
    row.rules95 = {"unresolved-drive"};  // where the system cannot tell, the drive is refused
    RunRow(0, row);
    RemoveDriveLetter('W');
}

TEST_P(HostileInput, APrivatePlaceOnADriveOfItsOwn)
{
    // E: stands for a folder of the prefix of its own (tools/lib/wine-test configures it before
    // the server starts): a drive of its own, where a private place is the edition's and goes
    // with it, the version manager told so, also where QueryDosDeviceA is a stub.
    const std::string driveE = PrefixFolder("drive_e"), own = "E:\\Morwa Vantorix";
    MakeDirectories(driveE);
    ASSERT_TRUE(DirectoryExists("E:\\")) << "no drive E: configured before the server started";
    Row edition;
    edition.what = "an edition directory that is a private place on a drive of its own";
    edition.items = "file " + own + "\\licence.key\r\nsz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = " + own + "\r\n";
    edition.modulesAfter = "0";
    edition.productsAfter = "0";
    RunRow(0, edition);
    EXPECT_FALSE(DirectoryExists(own));
    RemoveTree(own);
}

TEST_P(HostileInput, StartupLinesByWholeNames)
{
    ONE_PLATFORM_PROVES("the install directory C:\\WIN is its own long and short form, and the line filter is pure");
    // Installed in C:\WIN: Windows' own lines name C:\WINDOWS, another program's C:\WINTOOLS.
    const char* const theirs[] = {"@ECHO OFF", "PATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND", "SET TEMP=C:\\WINDOWS\\TEMP",
                                  "LH C:\\WINDOWS\\COMMAND\\DOSKEY.COM", "C:\\WINTOOLS\\WINCHECK.EXE /BOOT",
                                  "SET WINTOOLS=C:\\WINTOOLS\\DATA"};
    const char* const ours[] = {"SET PATH=%PATH%;C:\\WIN", "C:\\WIN\\QELSCAN.EXE /BOOT", "SET QEL=\"C:\\WIN\""};
    Row row;
    row.what = "an install directory whose name begins other names";
    row.installDir = "C:\\WIN\\";
    std::string kept;
    for (const char* line : theirs) {
        row.items += std::string("line C:\\autoexec.bat = ") + line + "\r\n";
        kept += std::string(line) + "\r\n";
    }
    for (const char* line : ours) row.items += std::string("line C:\\autoexec.bat = ") + line + "\r\n";
    row.texts = {{"C:\\autoexec.bat", kept}};
    RunRow(0, row);
}

TEST_P(HostileInput, TheSystemsConfigurationAndItsValues)
{
    ONE_PLATFORM_PROVES("the key and value rules read no function bound at run time");
    const std::string sentinel = std::string("\\") + kSentinelKey;
    const std::string control = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\\Environment";
    Row row;
    row.what = "keys deep in the configuration, values of the system's keys";
    row.module = "RelativePath=Hostile\r\nFile1=qelhostile.dat\r\n";
    const std::vector<std::string> entries = {
        control + sentinel + "\\", control + sentinel,
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class" + sentinel + "\\",
        "HKEY_LOCAL_MACHINE\\Enum" + sentinel + "\\", "HKEY_LOCAL_MACHINE\\Config" + sentinel + "\\",
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion" + sentinel,
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows" + sentinel,
        // The product's own: its service's key, and its value in a registration list.
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD\\QELHOSTILE\\",
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELHostile"};
    for (size_t k = 0; k < entries.size(); ++k) row.keys += "Key" + std::to_string(k + 1) + "=" + entries[k] + "\r\n";
    row.items = "file Hostile\\qelhostile.dat\r\n"
                "sz HKLM\\System\\CurrentControlSet\\Services\\VxD\\QELHOSTILE\\StaticVxD = {system}\\qelhostile.vxd\r\n"
                "sz HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELHostile = x\r\n";
    row.gone = {Install("Hostile\\qelhostile.dat"), "HKLM\\System\\CurrentControlSet\\Services\\VxD\\QELHOSTILE",
                "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELHostile"};
    row.rules = {"system-configuration", "system-value"};
    RunRow(0, row);
}

TEST_P(HostileInput, LinksAreNotFollowed)
{
    const std::string desktop = windows + "\\Desktop", documents = "C:\\My Documents";
    Row inside;
    inside.what = "a link inside the product's tree";
    inside.module = "RelativePath=Scanner\r\nDelDir1=Reports\r\n";
    inside.items = "file Scanner\\Reports\\report01.txt\r\n";
    inside.links = {{Install("Scanner\\Reports\\Desktop"), desktop}};
    inside.gone = {Install("Scanner\\Reports\\report01.txt")};
    // Where a link leads cannot be told: the module stays installed, and no retry is due for it.
    inside.modulesAfter = "1";
    inside.rules = {"link"};
    RunRow(0, inside);

    Row top;
    top.what = "a tree and a module directory that are links";
    top.module = "RelativePath=Linked\r\nDelDir1=QEL Sentinel\r\nDelExt1=.txt\r\n";
    top.links = {{Install("Linked"), documents}};
    top.modulesAfter = "1";
    top.rules = {"link"};
    RunRow(1, top);
}

TEST_P(HostileInput, SharedSystemFilesFollowTheirCounts)
{
    const std::string system = Query(GetSystemDirectoryA);
    Row row;
    row.what = "system files counted by other programs";
    row.items = "file {system}\\qelhostile-shared.dll\r\nfile {system}\\qelhostile-last.dll\r\n"
                "file {system}\\qelhostile-free.dll\r\n";
    row.module = "File1=%SystemRoot%\\qelhostile-shared.dll\r\nFile2=%SystemRoot%\\qelhostile-last.dll\r\n"
                 "File3=%SystemRoot%\\qelhostile-free.dll\r\n";
    row.counts = {{system + "\\qelhostile-shared.dll", 2}, {system + "\\QELHOSTILE-LAST.DLL", 1}};
    row.countsAfter = {{system + "\\qelhostile-shared.dll", 1}, {system + "\\qelhostile-last.dll", 0}};
    row.gone = {system + "\\qelhostile-last.dll", system + "\\qelhostile-free.dll"};
    row.kept = {system + "\\qelhostile-shared.dll"};
    RunRow(0, row);

    // Counted twice, and listed by two of the product's modules: one reference is the
    // product's, released once; a count outside the system directory counts too.
    Row twice;
    twice.what = "a file two modules list, and a counted file of the install directory";
    twice.items = "file {system}\\qelhostile-twice.dll\r\nfile qelhostile-counted.dat\r\n";
    twice.module = "File1=%SystemRoot%\\qelhostile-twice.dll\r\nFile2=qelhostile-counted.dat\r\n";
    twice.sharedEntries = "File2=%SystemRoot%\\qelhostile-twice.dll\r\n";
    twice.counts = {{system + "\\qelhostile-twice.dll", 2}, {Install("qelhostile-counted.dat"), 2}};
    twice.countsAfter = {{system + "\\qelhostile-twice.dll", 1}, {Install("qelhostile-counted.dat"), 1}};
    twice.kept = {system + "\\qelhostile-twice.dll", Install("qelhostile-counted.dat")};
    twice.rules = {"still-listed", "shared-file"};
    RunRow(1, twice);

    // Files the product's manifest names in the system directory: another company's stays.
    Row owners;
    owners.what = "system files by the company their version information names";
    owners.items = "copy {system}\\qelhostile-other.dll = {ship}\\product\\versioned\\othercompany.dll\r\n"
                   "copy {system}\\qelhostile-morwa.dll = {ship}\\product\\versioned\\morwacompany.dll\r\n";
    owners.module = "File1=%SystemRoot%\\qelhostile-other.dll\r\nFile2=%SystemRoot%\\qelhostile-morwa.dll\r\n";
    owners.kept = {system + "\\qelhostile-other.dll"};
    owners.gone = {system + "\\qelhostile-morwa.dll"};
    owners.rules = {"other-company"};
    RunRow(2, owners);

    // Without version information a system file is the product's by its name ("QEL...") or, directly
    // in the system directory, by a SharedDLLs count; Windows' own code pages, .inf files, programs
    // and drivers stay, in the system directory and below it (IOSUBSYS), where the product's own
    // unversioned driver still goes.
    Row unversioned;
    unversioned.what = "system files without version information";
    const char* const names[] = {"c_hostile.nls", "hostile.inf", "hostilenover.exe", "iosubsys\\hostile-io.vxd",
                                 "hostile-counted.dll", "qelhostile.vxd", "iosubsys\\qelhostile-io.vxd"};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        unversioned.items += "file {system}\\" + std::string(names[i]) + "\r\n";
        unversioned.module += "File" + std::to_string(i + 1) + "=%SystemRoot%\\" + names[i] + "\r\n";
        (i < 4 ? unversioned.kept : unversioned.gone).push_back(system + "\\" + names[i]);
    }
    unversioned.counts = {{system + "\\hostile-counted.dll", 1}};
    unversioned.countsAfter = {{system + "\\hostile-counted.dll", 0}};
    unversioned.rules = {"no-evidence", "windows-directory"};
    unversioned.modulesAfter = "0";
    RunRow(5, unversioned);

    // Where the system cannot read version information, no owner is known: both stay.
    for (const char* absent : {"GetFileVersionInfoSizeA", "GetFileVersionInfoA!"}) {
        Row unknown = owners;
        unknown.what = std::string("system files with ") + absent + " absent";
        unknown.absent = absent;
        unknown.kept = {system + "\\qelhostile-other.dll", system + "\\qelhostile-morwa.dll"};
        unknown.gone.clear();
        unknown.rules = {"unreadable-owner"};
        RunRow(3, unknown);
    }
}

// A drive letter that stands for the system drive (SUBST W: C:\, or a network drive mapped to the
// machine's own C$): the Windows directory under another name. Windows 95/98 cannot tell what such
// a drive stands for, and Wine answers every drive with a volume of its own.
TEST_P(HostileInput, ADriveLetterThatStandsForTheSystemDrive)
{
    if (!MakeDriveLetter('W', "C:\\")) GTEST_SKIP() << "no drive letters can be made here";
    const std::string alias = "W:\\" + windowsName;
    Row path;
    path.what = "the Windows directory through the drive letter as Path";
    path.path = alias + "\\";
    path.manifestAt = windows + "\\hostile.ini";
    path.sharedFile = windows + "\\qelshared.dat";
    path.sharedFileStays = true;
    path.module = std::string("DelDir1=") + kSentinelFolder + "\r\nDelExt1=" + kSentinelFile + "\r\n";
    path.rules = {"install-directory"};
    RunRow(0, path);

    Row edition;
    edition.what = "a folder of the Windows directory through the drive letter as an edition directory";
    edition.items = "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = " + alias + "\\" + kSentinelFolder + "\r\n";
    edition.rules = {"unresolved-drive"};
    RunRow(1, edition);
    RemoveDriveLetter('W');
}

// Program Files holds folders of Windows' own components, and Common Files the components that
// programs share: none of them is an edition's directory of its own.
TEST_P(HostileInput, SharedFoldersOfProgramFilesAsEditionDirectories)
{
    const std::string programFiles = ReadStringValue(HKEY_LOCAL_MACHINE,
        "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    const std::string commonFiles = ReadStringValue(HKEY_LOCAL_MACHINE,
        "Software\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir");
    ASSERT_FALSE(programFiles.empty());
    ASSERT_FALSE(commonFiles.empty());
    const std::string folders[] = {commonFiles + "\\System", commonFiles + "\\Microsoft Shared",
                                   programFiles + "\\Internet Explorer"};
    for (size_t i = 0; i < sizeof folders / sizeof folders[0]; ++i) {
        Row row;
        row.what = "edition directory: " + folders[i];
        row.items = "file " + folders[i] + "\\qelhostile-component.dll\r\n"
                    "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = " + folders[i] + "\r\n";
        row.kept = {folders[i] + "\\qelhostile-component.dll"};
        RunRow(i, row);
    }
}

// Files that several programs count on stay, whichever entry reaches them: a tree, a pattern, or
// a file entry that spells the counted name with the trailing dot the system drops.
TEST_P(HostileInput, SharedCountsInTreesPatternsAndSpellings)
{
    const std::string system = Query(GetSystemDirectoryA);
    // The 8.3 name the system gives the counted file, by which a manifest may name it.
    const std::string counted = system + "\\qelhostile-short-named.dll";
    WriteTextFile(counted, "counted");
    const std::string shortName = ShortForm(counted);
    DeleteFileA(counted.c_str());
    ASSERT_FALSE(shortName.empty());
    Row row;
    row.what = "counted files reached by a pattern, a tree, a trailing dot and a short name";
    row.module = "RelativePath=Hostile\r\nDelExt1=.dll\r\nDelDir1=Components\r\n"
                 "File1=%SystemRoot%\\qelhostile-dotted.dll.\r\nFile2=qelhostile-own.dat\r\n"
                 "File3=%SystemRoot%\\" + shortName.substr(shortName.rfind('\\') + 1) + "\r\n";
    row.items = "file Hostile\\qelhostile-counted.dll\r\nfile Hostile\\Components\\qelhostile-tree.ocx\r\n"
                "file Hostile\\qelhostile-own.dat\r\nfile Hostile\\qelhostile-free.dll\r\n"
                "file {system}\\qelhostile-dotted.dll\r\nfile {system}\\qelhostile-short-named.dll\r\n";
    row.counts = {{counted, 2},{Install("Hostile\\qelhostile-counted.dll"), 2},
                  {Install("Hostile\\Components\\qelhostile-tree.ocx"), 3},
                  {system + "\\qelhostile-dotted.dll", 2}};
    row.kept = {Install("Hostile\\qelhostile-counted.dll"), Install("Hostile\\Components\\qelhostile-tree.ocx"),
                system + "\\qelhostile-dotted.dll", counted};
    row.gone = {Install("Hostile\\qelhostile-own.dat"), Install("Hostile\\qelhostile-free.dll")};
    row.rules = {"shared-file"};
    RunRow(0, row);
}

// Keys below the system's own keys that are the system's too: a listed class's verbs and its
// shell extensions, the policies, Internet Explorer's settings, the other children of
// HKLM\System and of a user's key. Each holds a sentinel sub-key that must stay; the product's
// own key and Run value still go.
TEST_P(HostileInput, KeysBelowTheSystemsOwnKeys)
{
    ONE_PLATFORM_PROVES("the key rules read no function bound at run time");
    const std::string sentinel = std::string("\\") + kSentinelKey;
    const struct { const char* entry; const char* staged; } keys[] = {
        {"HKEY_CLASSES_ROOT\\txtfile\\shell\\", "HKLM\\Software\\Classes\\txtfile\\shell"},
        {"HKEY_CLASSES_ROOT\\lnkfile\\shellex\\", "HKLM\\Software\\Classes\\lnkfile\\shellex"},
        {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\",
         "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"},
        {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer\\Main\\",
         "HKLM\\Software\\Microsoft\\Internet Explorer\\Main"},
        {"HKEY_LOCAL_MACHINE\\System\\Select\\", "HKLM\\System\\Select"},
        {"HKEY_CURRENT_USER\\AppEvents\\Schemes\\", "HKCU\\AppEvents\\Schemes"},
    };
    Row row;
    row.what = "keys below the system's own keys";
    row.module = "RelativePath=Hostile\r\nFile1=qelhostile.dat\r\n";
    row.items = "file Hostile\\qelhostile.dat\r\n"
                "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\Hostile\\Level = x\r\n"
                "sz HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELHostile = x\r\n";
    size_t k = 0;
    for (const auto& key : keys) {
        row.keys += "Key" + std::to_string(++k) + "=" + key.entry + "\r\n";
        row.items += std::string("sz ") + key.staged + sentinel + "\\Level = " + kSentinelText + "\r\n";
        row.stays.push_back(std::string(key.staged) + sentinel + "\\Level");
    }
    row.keys += "Key" + std::to_string(++k) + "=%ProgramRoot%\\Hostile\\\r\n";
    row.keys += "Key" + std::to_string(++k) + "=HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELHostile\r\n";
    row.gone = {Install("Hostile\\qelhostile.dat"), kProduct + "\\Hostile",
                "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELHostile"};
    RunRow(0, row);
}

// Registrations of the shared trees (classes, extensions, CLSID, interfaces, type libraries, App
// Paths, services, uninstall entries, Active Setup components) go only by evidence: a value that
// names a file of the product. One row per class of Windows' or another's registration, each of
// which must stay (by rule no-evidence) while the product's own registrations of every class go
// and its module still counts as removed.
TEST_P(HostileInput, SharedRegistrationsGoByEvidence)
{
    const std::string version = "Software\\Microsoft\\Windows\\CurrentVersion\\";
    const std::string guid = "{6D6F7277-6100-4000-8000-00000000000";
    const std::string components = "Software\\Microsoft\\Active Setup\\Installed Components\\";
    // The product's, as its installer writes them: quoted and unquoted commands, a rundll32 entry
    // point, a VxD in the system directory named "QEL...", a variable of the environment.
    const std::vector<std::pair<std::string, std::string>> ours = {
        {"HKCR\\.qelh", "@ = Morwa.HostileList"},
        {"HKCR\\Morwa.HostileList", "shell\\open\\command\\@ = \"{install}Hostile\\qelhostile.exe\" /list \"%1\""},
        {"HKCR\\Interface\\" + guid + "2}", "ProxyStubClsid32\\@ = " + guid + "1}"},
        {"HKCR\\CLSID\\" + guid + "1}", "InprocServer32\\@ = {install}Hostile\\qelhostile.dll"},
        {"HKCR\\TypeLib\\" + guid + "3}", "1.0\\0\\win32\\@ = {install}Hostile\\qelhostile.tlb"},
        {"HKLM\\" + version + "App Paths\\qelhostile.exe", "Path = {install}Hostile"},
        {"HKLM\\System\\CurrentControlSet\\Services\\VxD\\QELHVXD", "StaticVxD = {system}\\qelhvxd.vxd"},
        {"HKLM\\" + version + "Uninstall\\Morwa Hostile", "UninstallString = {install}uninstall.exe hostile.ini 0 0 1"},
        {"HKLM\\" + components + guid + "4}",
         "StubPath = %SystemRoot%\\rundll32.exe {install}Hostile\\qelhostile.dll,Setup"},
    };
    // Windows' and another's: each row's keys and their values, which must stay.
    const struct { const char* what; std::vector<std::pair<std::string, std::string>> keys; } rows[] = {
        {"Windows' own classes",
         {{"HKCR\\JSFile", "shell\\Open\\command\\@ = %SystemRoot%\\WScript.exe \"%1\" %*"},
          {"HKCR\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}", "InprocServer32\\@ = shell32.dll"}}},
        {"Windows' extensions",
         {{"HKCR\\.zip", "@ = CompressedFolder"},
          {"HKCR\\.url", "@ = InternetShortcut"},
          {"HKCR\\InternetShortcut", "shell\\open\\command\\@ = rundll32.exe {system}\\shdocvw.dll,OpenURL %l"}}},
        {"the IUnknown interface",
         {{"HKCR\\Interface\\{00000000-0000-0000-C000-000000000046}",
           "ProxyStubClsid32\\@ = {00000320-0000-0000-C000-000000000046}"},
          {"HKCR\\CLSID\\{00000320-0000-0000-C000-000000000046}", "InprocServer32\\@ = {system}\\ole32.dll"}}},
        {"stdole's type library",
         {{"HKCR\\TypeLib\\{00020430-0000-0000-C000-000000000046}", "2.0\\0\\win32\\@ = {system}\\STDOLE2.TLB"}}},
        {"iexplore's App Path",
         {{"HKLM\\" + version + "App Paths\\IEXPLORE.EXE",
           "@ = \"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\""}}},
        {"Windows' services",
         {{"HKLM\\System\\CurrentControlSet\\Services\\RpcSs", "ImagePath = %SystemRoot%\\system32\\rpcss.exe"},
          {"HKLM\\System\\CurrentControlSet\\Services\\VxD\\VNETSUP", "StaticVxD = {system}\\vnetsup.vxd"}}},
        {"another product's Uninstall key",
         {{"HKLM\\" + version + "Uninstall\\Other Antivirus",
           "UninstallString = \"C:\\Program Files\\Other Antivirus\\unins000.exe\""}}},
        {"an Active Setup component of Windows",
         {{"HKLM\\" + components + "{89820200-ECBD-11cf-8B85-00AA005B4383}",
           "StubPath = rundll32.exe {system}\\iedkcs32.dll,BrandIE4 SIGNUP"}}},
        // Windows' and another's with the product's icon, verb or folder added: their own values
        // weigh against it.
        {"Windows' own class and CLSID with the product's icon and verb",
         {{"HKCR\\JSFile", "shell\\Open\\command\\@ = %SystemRoot%\\WScript.exe \"%1\" %*"},
          {"HKCR\\JSFile", "DefaultIcon\\@ = {install}Hostile\\qelhostile.dll,1"},
          {"HKCR\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}", "InprocServer32\\@ = shell32.dll"},
          {"HKCR\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}",
           "shell\\scan\\command\\@ = \"{install}Hostile\\qelhostile.exe\" /here"}}},
        {"iexplore's App Path and another's Uninstall key with the product's folder and icon",
         {{"HKLM\\" + version + "App Paths\\IEXPLORE.EXE", "@ = \"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\""},
          {"HKLM\\" + version + "App Paths\\IEXPLORE.EXE", "Path = {install}Hostile"},
          {"HKLM\\" + version + "Uninstall\\Other Antivirus", "UninstallString = C:\\Other\\unins000.exe"},
          {"HKLM\\" + version + "Uninstall\\Other Antivirus", "DisplayIcon = {install}Hostile\\qelhostile.dll,0"}}},
        {"a server whose quoted path goes on past its quote",
         {{"HKCR\\CLSID\\" + guid + "5}", "InprocServer32\\@ = \"{install}\"..\\Other\\other.dll"}}},
    };
    // Staging reads "{" as a macro's start; "{{" is the brace itself.
    const auto staged = [](std::string text) {
        for (size_t at = 0; (at = text.find('{', at)) != std::string::npos; at += 2)
            if (at + 1 < text.size() && !(text[at + 1] >= 'a' && text[at + 1] <= 'z')) text.insert(at, 1, '{');
        return text;
    };
    const auto entry = [](const std::string& key) {
        const std::string root = key.substr(0, 4);
        return (root == "HKCR" ? "HKEY_CLASSES_ROOT" : "HKEY_LOCAL_MACHINE") + key.substr(4) + "\\";
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        Row row;
        row.what = rows[i].what;
        row.module = "RelativePath=Hostile\r\nFile1=qelhostile.dat\r\n";
        row.items = "file Hostile\\qelhostile.dat\r\n";
        row.gone = {Install("Hostile\\qelhostile.dat")};
        size_t k = 0;
        for (const auto& key : rows[i].keys) {
            const std::string value = key.first + "\\" + key.second.substr(0, key.second.find(" = "));
            row.items += staged("sz " + key.first + "\\" + key.second + "\r\n");
            if (key.first != "HKCR\\InternetShortcut" && key.first.find("{00000320") == std::string::npos)
                row.keys += "Key" + std::to_string(++k) + "=" + entry(key.first) + "\r\n";
            row.stays.push_back(value);
        }
        for (const auto& key : ours) {
            row.items += staged("key " + key.first + "\r\nsz " + key.first + "\\" + key.second + "\r\n");
            row.keys += "Key" + std::to_string(++k) + "=" + entry(key.first) + "\r\n";
            row.gone.push_back(key.first);
        }
        row.rules = {"no-evidence"};
        row.modulesAfter = "0";
        RunRow(i, row);
    }
    // A class named before its extension leaves the extension no evidence, and it stays; the
    // preview, which deletes nothing, reads the class as gone and tells the same story.
    Row order;
    order.what = "the product's class named before its extension";
    order.module = "RelativePath=Hostile\r\nFile1=qelhostile.dat\r\n";
    order.items = staged("file Hostile\\qelhostile.dat\r\nkey " + ours[0].first + "\r\nsz " + ours[0].first + "\\" +
                         ours[0].second + "\r\nkey " + ours[1].first + "\r\nsz " + ours[1].first + "\\" +
                         ours[1].second + "\r\n");
    order.keys = "Key1=" + entry(ours[1].first) + "\r\nKey2=" + entry(ours[0].first) + "\r\n";
    order.gone = {Install("Hostile\\qelhostile.dat"), ours[1].first};
    order.stays = {ours[0].first + "\\@"};
    order.rules = {"no-evidence"};
    order.modulesAfter = "0";
    RunRow(sizeof rows / sizeof rows[0], order);
}

// The product's own values in its Uninstall key: the manifest lists them with the shared module,
// and they must go with it.
TEST_P(HostileInput, TheProductsValuesInItsUninstallKey)
{
    ONE_PLATFORM_PROVES("the value rules read no function bound at run time");
    Row row;
    row.what = "the product's values in Software\\Morwa Software\\Uninstall";
    row.sharedEntries = "RegKeyDelSection=SharedReg\r\n[SharedReg]\r\n"
                        "Key1=HKEY_LOCAL_MACHINE\\Software\\Morwa Software\\Uninstall\\QEL60\r\n";
    row.items = "file Base\\licence.key\r\n"
                "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = {install}Base\r\n";
    row.gone = {Install("Base"), "HKLM\\Software\\Morwa Software\\Uninstall\\QEL60"};
    RunRow(0, row);
}

// A file of Windows without version information in the system directory's tree: the hosts file
// of the NT family, which the manifest names as if it were the product's.
TEST_P(HostileInput, UnversionedFilesOfTheSystemDirectory)
{
    const std::string hosts = Query(GetSystemDirectoryA) + "\\drivers\\etc\\hosts";
    const std::string text = ReadTextFile(hosts);
    ASSERT_TRUE(FileExists(hosts));
    Row row;
    row.what = "the hosts file as a file of the product";
    row.module = "File1=%SystemRoot%\\drivers\\etc\\hosts\r\n";
    RunRow(0, row);
    EXPECT_TRUE(FileExists(hosts)) << hosts << " was deleted";
    if (!FileExists(hosts)) WriteTextFile(hosts, text);
}

// The Unicode file `name` (the whole path given in ANSI up to it), as another program makes it.
bool MakeWideFile(const std::string& directory, const std::wstring& name)
{
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, directory.c_str(), -1, wide, MAX_PATH)) return false;
    HANDLE file = CreateFileW((std::wstring(wide) + name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// What a listing hands back and what the system reads otherwise: every name leads nowhere but to
// its own entry, and the product's own files still go.
TEST_P(HostileInput, ListedNamesLinksAndCaseLeadNowhereElse)
{
    const std::string reports = Install("Scanner\\Reports\\");
    Row fullwidth;
    fullwidth.what = "a name of fullwidth separators and dots, listed as ..\\..\\..\\..\\windows\\qelhostile.txt";
    fullwidth.module = "RelativePath=Scanner\r\nDelDir1=Reports\r\n";
    fullwidth.items = "file Scanner\\Reports\\report01.txt\r\n";
    fullwidth.afterStage = [&]() {
        std::wstring up, name;
        for (int i = 0; i < 4; ++i) up += L"\xFF0E\xFF0E\xFF3C";  // four times up: to the root of C:
        WCHAR wideWindows[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, windowsName.c_str(), -1, wideWindows, MAX_PATH);
        return MakeWideFile(reports, up + wideWindows + L"\xFF3C" + L"qelhostile.txt");
    };
    fullwidth.gone = {reports + "report01.txt"};
    fullwidth.rules = {"listed-name"};
    RunRow(0, fullwidth);

    Row dots;
    dots.what = "a folder \"Desktop.\" beside a link \"Desktop\" to the desktop";
    dots.module = fullwidth.module;
    dots.items = fullwidth.items;
    dots.links = {{reports + "Desktop", windows + "\\Desktop"}};
    dots.afterStage = [&]() { return MakeUnixDirectory(reports.substr(0, reports.size() - 1), "Desktop."); };
    dots.gone = fullwidth.gone;
    dots.rules = {"trailing-dots"};
    RunRow(1, dots);
    RemoveUnixDirectory(reports.substr(0, reports.size() - 1), "Desktop.");  // it kept Reports
    RemoveDirectoryA(reports.c_str());
    RemoveDirectoryA(Install("Scanner").c_str());

    Row link;
    link.what = "a registry link in the product's key to the machine's Uninstall key";
    link.keys = "Key1=%ProgramRoot%\\Linked\\\r\n";
    link.items = "sz " + kProduct + "\\Linked\\Level = x\r\n";
    link.afterStage = [&]() {
        HKEY key = NULL;
        const std::string path = kProduct.substr(5) + "\\Linked\\Uninstall";
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, REG_OPTION_CREATE_LINK,
                            KEY_ALL_ACCESS | KEY_CREATE_LINK, NULL, &key, NULL) != ERROR_SUCCESS)
            return false;
        const std::wstring target = L"\\Registry\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
        LONG set = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                                  static_cast<DWORD>(target.size() * sizeof(WCHAR)));
        RegCloseKey(key);
        return set == ERROR_SUCCESS;
    };
    link.gone = {kProduct + "\\Linked"};
    link.rules = {"registry-link"};
    RunRow(2, link);

    // My Documents moved to C:\Données, and an edition directory that spells it in capitals.
    const std::string moved = "C:\\Donn\xE9" "es", sentinel = moved + "\\" + kSentinelFile;
    MakeDirectories(moved);
    WriteTextFile(sentinel, kSentinelText);
    const std::string personal = ReadStringValue(HKEY_CURRENT_USER, kShellFolders, "Personal");
    SetStringValue(HKEY_CURRENT_USER, kShellFolders, "Personal", moved);
    Row accents;
    accents.what = "an edition directory C:\\DONN\xC9S that is the moved My Documents";
    accents.items = "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = C:\\DONN\xC9" "ES\r\n";
    accents.rules = {"shell-folder"};
    RunRow(3, accents);
    SetStringValue(HKEY_CURRENT_USER, kShellFolders, "Personal", personal);
    EXPECT_EQ(kSentinelText, ReadTextFile(sentinel));
    DeleteFileA(sentinel.c_str());
    RemoveDirectoryA(moved.c_str());
}

// The Windows directory reached by another spelling than its own: through Wine's Z:, the host's
// root, and through a plain share of the Windows drive under the machine's own name, as
// Windows 98 names its shares. The identity of the directory decides, not its text.
TEST_P(HostileInput, OtherWaysToTheWindowsDirectory)
{
    const std::string hostForm = HostRootForm(windows);
    ASSERT_FALSE(hostForm.empty());
    Row z;
    z.what = "a folder of the Windows directory through Z: as an edition directory";
    z.items = "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = " + hostForm + "\\" + kSentinelFolder + "\r\n";
    // Wine's mount manager places Z: whatever QueryDosDeviceA answers, also on the Windows 95 pass.
    z.rules = {"windows-directory"};
    RunRow(0, z);

    char host[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof host;
    ASSERT_TRUE(GetComputerNameA(host, &size));
    ASSERT_TRUE(MakeShare(host, "c", "C:\\"));
    Row share;
    share.what = "a folder of the Windows directory through the plain share \\\\host\\c";
    share.items = "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60 = \\\\" + std::string(host) + "\\c\\" +
                  windowsName + "\\" + kSentinelFolder + "\r\n";
    share.rules = {"windows-directory"};
    RunRow(1, share);

    // V: was configured before the server started (tools/lib/wine-test) and stands for the
    // Accessories folder of a Windows 98 Start Menu: it has a volume and a serial number of its
    // own, and nothing at its root or below says where it is; only what holds that folder does.
    const std::string tools = windows + "\\Start Menu\\Programs\\Accessories\\System Tools";
    const std::string inner = tools + "\\Old\\qelold.txt", direct = tools + "\\" + kSentinelFile;
    MakeDirectories(tools + "\\Old");
    WriteTextFile(inner, kSentinelText);
    WriteTextFile(direct, kSentinelText);
    ASSERT_TRUE(FileExists("V:\\System Tools\\Old\\qelold.txt")) << "no drive V: configured before the server started";
    Row letter;
    letter.what = "a folder of the Windows directory through a letter configured before the server, as Vantorix's directory";
    letter.edition = 4;
    letter.items = "sz HKLM\\Software\\Morwa Software\\Uninstall\\QEL60Vantorix = V:\\System Tools\r\n";
    letter.rules = {"windows-directory"};
    RunRow(2, letter);

    Row path;
    path.what = "the same folder as Path";
    path.path = "V:\\System Tools\\";
    path.manifestAt = tools + "\\hostile.ini";
    path.sharedFile = tools + "\\qelshared.dat";
    path.sharedFileStays = true;
    path.module = std::string("DelDir1=Old\r\nDelExt1=") + kSentinelFile + "\r\n";
    path.rules = {"windows-directory", "install-directory"};
    RunRow(3, path);
    EXPECT_EQ(kSentinelText, ReadTextFile(inner));
    EXPECT_EQ(kSentinelText, ReadTextFile(direct));
    RemoveTree(windows + "\\Start Menu\\Programs\\Accessories");
}

INSTANTIATE_TEST_SUITE_P(Platforms, HostileInput, ::testing::Values(Platform::kWindows98, Platform::kWindows95),
                         [](const ::testing::TestParamInfo<Platform>& info) {
                             return info.param == Platform::kWindows95 ? "Windows95" : "Windows98";
                         });

}  // namespace
