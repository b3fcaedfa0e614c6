// Staging of the sample installation, its snapshots and clean-up, and the first runs of uninstall.exe on it.
#include "tests/support/Keys.h"
#include "tests/support/EndToEnd.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>

using namespace testing_support;
using staging::Installation;

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string WindowsDir()
{
    char buffer[MAX_PATH];
    GetWindowsDirectoryA(buffer, sizeof buffer);
    return buffer;
}

std::string SystemDir()
{
    char buffer[MAX_PATH];
    GetSystemDirectoryA(buffer, sizeof buffer);
    return buffer;
}

DWORD ReadDword(HKEY root, const std::string& path, const std::string& name, DWORD& type)
{
    HKEY key = NULL;
    DWORD value = 0xFFFFFFFF, size = sizeof value;
    type = 0;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    RegQueryValueExA(key, name.c_str(), NULL, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return value;
}

std::string Profile(const std::string& file, const std::string& section, const std::string& key)
{
    char buffer[300] = "";
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, sizeof buffer, file.c_str());
    return buffer;
}

std::vector<std::string> SplitList(const std::string& list)
{
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        items.push_back(list.substr(start, comma - start));
        if (comma == std::string::npos) return items;
        start = comma + 1;
    }
}

bool Contains(const std::vector<std::string>& items, const std::string& item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}

class StagingTest : public ::testing::Test {
protected:
    Installation installation;
    std::string install = kSampleInstallDir;
    std::string Staged(const std::string& relative) const { return install + relative; }
    void StageSample(const staging::Options& options = SampleOptions())
    {
        ASSERT_TRUE(installation.Stage(SampleDescription(), options)) << installation.error();
    }
};

// ---- The description's grammar -------------------------------------------------------------------

TEST(DescriptionTest, LinesParseOrNameTheirFault)
{
    struct Case { const char* text; bool ok; const char* errorPart; };
    const Case cases[] = {
        {"; comment\r\n\r\nfile a.txt\r\n", true, ""},
        {"file a.txt\nline b.ini =\nsz HKLM\\X\\@ =\ndword HKLM\\X\\N = 0x10\n", true, ""},
        {"copy? a.dll = {ship}\\a.dll", true, ""},
        {"fil a.txt", false, "line 1: unknown item \"fil\""},
        {"\nfile a.txt = text", false, "line 2: file takes no text"},
        {"line a.txt", false, "needs \"= text\""},
        {"copy a.dll =", false, "needs a text"},
        {"note a.dll =  ", false, "needs a text"},
        {"dword HKLM\\X\\N = ten", false, "\"ten\" is not a number"},
        {"dword HKLM\\X\\N = 12ab", false, "not a number"},
        {"key", false, "key names nothing"},
        {"sz = text", false, "sz names nothing"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::vector<staging::DescriptionItem> items;
        std::string error;
        EXPECT_EQ(cases[i].ok, staging::ParseDescription(cases[i].text, items, error)) << "case " << i;
        EXPECT_NE(std::string::npos, error.find(cases[i].errorPart)) << "case " << i << ": " << error;
    }
}

TEST(DescriptionTest, ItemsKeepTheirTextTrimmedAndTheirLine)
{
    std::vector<staging::DescriptionItem> items;
    std::string error;
    ASSERT_TRUE(staging::ParseDescription("; x\n  line  C:\\a.bat =  SET A=B  \r\nsz HKCU\\K\\V =\n", items, error));
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(staging::ItemKind::Line, items[0].kind);
    EXPECT_EQ("C:\\a.bat", items[0].target);
    EXPECT_EQ("SET A=B", items[0].text);  // only the first '=' splits
    EXPECT_EQ(2, items[0].line);
    EXPECT_EQ("", items[1].text);
    EXPECT_EQ(3, items[1].line);
}

TEST(DescriptionTest, MacrosAndRegistryPaths)
{
    const std::map<std::string, std::string> macros = {{"install", "C:\\P\\"}, {"system", "C:\\W\\S"}};
    struct Expansion { const char* text; bool ok; const char* result; };
    const Expansion expansions[] = {
        {"{install}a\\b", true, "C:\\P\\a\\b"}, {"x{system}\\{install}", true, "xC:\\W\\S\\C:\\P\\"},
        {"%PATH%;C:\\", true, "%PATH%;C:\\"},   {"{instal}", false, "unknown macro {instal}"},
        {"{install", false, "unclosed macro"},
    };
    for (size_t i = 0; i < sizeof expansions / sizeof expansions[0]; ++i) {
        std::string expanded, error;
        EXPECT_EQ(expansions[i].ok, staging::ExpandMacros(expansions[i].text, macros, expanded, error)) << "case " << i;
        EXPECT_EQ(expansions[i].result, expansions[i].ok ? expanded : error.substr(0, std::strlen(expansions[i].result)))
            << "case " << i;
    }
    struct Split { const char* text; bool ok; const char* root; const char* below; };
    const Split splits[] = {
        {"HKLM\\Software\\X", true, "HKLM", "Software\\X"},
        {"HKEY_CURRENT_USER\\Software\\X\\", true, "HKCU", "Software\\X"},
        {"hkcr\\.qel", true, "HKCR", ".qel"},
        {"HKLM", false, "HKLM", ""},
        {"HKLM\\", false, "HKLM", ""},
        {"HKXX\\Software", false, "", ""},
        {"Software\\X", false, "", ""},
    };
    for (size_t i = 0; i < sizeof splits / sizeof splits[0]; ++i) {
        std::string root, below;
        EXPECT_EQ(splits[i].ok, staging::SplitRegistryPath(splits[i].text, root, below)) << "case " << i;
        EXPECT_EQ(splits[i].root, root) << "case " << i;
        EXPECT_EQ(splits[i].below, splits[i].ok ? below : std::string()) << "case " << i;
    }
}

// ---- The staged sample ---------------------------------------------------------------------------

TEST_F(StagingTest, SampleHoldsTheFilesTheUninstallerNeeds)
{
    StageSample();
    EXPECT_EQ(ReadTextFile(ShipPath("uninstall.exe")), ReadTextFile(Staged("uninstall.exe")));
    EXPECT_EQ(ReadTextFile(ShipPath("product\\kolbex\\kolbex.dll")), ReadTextFile(Staged("kolbex.dll")));
    EXPECT_EQ(ReadTextFile(SourcePath("samples\\qel60_uninst.ini")), ReadTextFile(Staged("qel60_uninst.ini")));
    const std::string present[] = {
        Staged("qelexcli.dll"), Staged("Engine\\qelengine.dll"), Staged("Update\\Backup\\Signatures\\sig0531.dat"),
        Staged("Vantorix\\news.htm"), SystemDir() + "\\qelvxd.vxd", WindowsDir() + "\\tuneupMS.exe",
        installation.Expand("{appdata}\\Microsoft\\Internet Explorer\\Quick Launch\\Morwa Antivirus.lnk"),
        "C:\\autoexec.qel",
    };
    for (const std::string& path : present) EXPECT_TRUE(FileExists(path)) << path;
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue));
}

TEST_F(StagingTest, SampleRegistryIsWhatTheUninstallerReads)
{
    StageSample();
    EXPECT_EQ(install, ReadStringValue(HKEY_LOCAL_MACHINE, kProductKey, "Path"));  // with its trailing backslash
    DWORD type = 0;
    EXPECT_EQ(1u, ReadDword(HKEY_LOCAL_MACHINE, kProductKey, "Language", type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    const char* const editions[][2] = {{"QEL60", "Base"}, {"QEL60Exchange", "Exchange"}, {"QEL60Vantorix", "Vantorix"}};
    for (const auto& edition : editions) {
        std::string directory = ReadStringValue(HKEY_LOCAL_MACHINE, kUninstallKey, edition[0]);
        EXPECT_EQ(install + edition[1], directory) << "no trailing backslash: " << edition[0];
        EXPECT_TRUE(DirectoryExists(directory)) << directory;
    }
    std::string link = ReadStringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "QEL60Win98AM");
    EXPECT_TRUE(FileExists(link + ".lnk")) << link;
    const std::string agent = "SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE\\QELJobs for Win32";
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, agent + "\\Scan"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, agent + "\\Update"));
}

TEST_F(StagingTest, VersionManagerReadsTheStagedMasks)
{
    StageSample();
    HMODULE kolbex = LoadLibraryA(Staged("kolbex.dll").c_str());
    ASSERT_TRUE(kolbex != NULL);
    typedef int(WINAPI * ReadMasks)(char*, char*);
    ReadMasks read = reinterpret_cast<ReadMasks>(GetProcAddress(kolbex, "KOLBEX_LEERREGISTRY"));
    ASSERT_TRUE(read != NULL);
    char products[80] = "", modules[80] = "";
    read(products, modules);
    FreeLibrary(kolbex);
    EXPECT_STREQ("7", products);
    EXPECT_STREQ("1023", modules);
}

TEST_F(StagingTest, StartupFileNamesTheInstallDirectoryInShortForm)
{
    StageSample();
    std::string text = ReadTextFile("C:\\autoexec.bat");
    const std::string marker = "SET PATH=%PATH%;";
    size_t at = text.find(marker);
    ASSERT_NE(std::string::npos, at) << text;
    std::string shortForm = text.substr(at + marker.size(), text.find("\r\n", at) - at - marker.size());
    EXPECT_EQ(Upper(shortForm), shortForm);
    EXPECT_EQ(std::string::npos, shortForm.find(' ')) << shortForm;
    EXPECT_TRUE(FileExists(shortForm + "\\QELCL.EXE")) << shortForm;  // it names the install directory
    EXPECT_NE(std::string::npos, text.find("\r\nQELCL ")) << text;
    EXPECT_EQ("\r\n", text.substr(text.size() - 2));
}

// Every entry of the sample manifest names something the staging made, and every staged file of the
// install directory is either named by it or explained by a note; otherwise the demo and the
// end-to-end tests would prove nothing about the entries.
TEST_F(StagingTest, SampleManifestAndInstallationAgree)
{
    StageSample();
    const std::string manifest = Staged("qel60_uninst.ini");
    std::vector<std::string> modules;
    unsigned long products = 0, installedModules = 1023;
    for (const std::string& app : SplitList(Profile(manifest, "General", "Apps"))) {
        products |= std::strtoul(Profile(manifest, app, "Mask").c_str(), NULL, 10);
        for (const std::string& module : SplitList(Profile(manifest, app, "Modules"))) {
            unsigned long mask = std::strtoul(Profile(manifest, module, "Mask").c_str(), NULL, 10);
            EXPECT_NE(0u, mask) << module;
            EXPECT_EQ(mask, mask & installedModules) << module;
            if (!Contains(modules, module)) modules.push_back(module);
        }
    }
    EXPECT_EQ(7u, products);
    modules.push_back("Shared");

    std::vector<std::string> named;   // files named one by one
    std::vector<std::string> trees;   // DelDir trees
    std::vector<std::pair<std::string, std::string>> patterns;  // directory, upper-case pattern
    for (const std::string& module : modules) {
        std::string relative = Profile(manifest, module, "RelativePath");
        std::string directory = install + (relative.empty() ? "" : relative + "\\");
        for (int i = 1; !Profile(manifest, module, "File" + std::to_string(i)).empty(); ++i) {
            std::string value = Profile(manifest, module, "File" + std::to_string(i));
            std::string path = value.compare(0, 12, "%SystemRoot%") == 0 ? SystemDir() + value.substr(12) : directory + value;
            EXPECT_TRUE(FileExists(path)) << module << " File" << i << ": " << path;
            named.push_back(Upper(path));
        }
        for (int i = 1; !Profile(manifest, module, "DelDir" + std::to_string(i)).empty(); ++i) {
            std::string path = directory + Profile(manifest, module, "DelDir" + std::to_string(i));
            EXPECT_FALSE(ListTree(path).empty()) << module << " DelDir" << i << ": " << path;
            trees.push_back(Upper(path) + "\\");
        }
        for (int i = 1; !Profile(manifest, module, "DelExt" + std::to_string(i)).empty(); ++i)
            patterns.push_back({Upper(directory), Upper(Profile(manifest, module, "DelExt" + std::to_string(i)))});
        std::string section = Profile(manifest, module, "RegKeyDelSection");
        for (int i = 1; !section.empty() && !Profile(manifest, section, "Key" + std::to_string(i)).empty(); ++i) {
            std::string entry = Profile(manifest, section, "Key" + std::to_string(i));
            HKEY root = HKEY_LOCAL_MACHINE;
            std::string path;
            if (entry.compare(0, 13, "%ProgramRoot%") == 0) {
                path = kProductKey + entry.substr(13);
            } else {
                std::string rootName;
                ASSERT_TRUE(staging::SplitRegistryPath(entry, rootName, path)) << entry;
                root = rootName == "HKCU" ? HKEY_CURRENT_USER : rootName == "HKCR" ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
                if (entry.back() == '\\') path += "\\";
            }
            if (path.back() == '\\') {
                EXPECT_TRUE(KeyExists(root, path.substr(0, path.size() - 1))) << section << " Key" << i;
            } else {
                size_t slash = path.rfind('\\');
                EXPECT_TRUE(ValueExists(root, path.substr(0, slash), path.substr(slash + 1))) << section << " Key" << i;
            }
        }
    }

    for (const auto& file : installation.Take().files) {
        std::string path = Upper(file.first);
        if (path.compare(0, install.size(), Upper(install)) != 0) continue;
        bool accounted = Contains(named, path) || !installation.ReasonFor("file", file.first).empty();
        for (const std::string& tree : trees) accounted = accounted || path.compare(0, tree.size(), tree) == 0;
        for (const auto& pattern : patterns)
            accounted = accounted || (path.compare(0, pattern.first.size(), pattern.first) == 0 &&
                                      path.find('\\', pattern.first.size()) == std::string::npos &&
                                      path.find(pattern.second) != std::string::npos);
        EXPECT_TRUE(accounted) << file.first << " is neither named by the manifest nor explained by a note";
    }
}

// ---- Options, refusals, clean-up ---------------------------------------------------------------

TEST_F(StagingTest, OptionsOverrideLeaveOutAndLockItems)
{
    staging::Options options = SampleOptions();
    options.language = 3;
    options.installedModules = "8";
    options.omit = {"kolbex.dll", "HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\Path",
                    "C:\\autoexec.qel"};
    options.readOnly = {"Engine\\qelsig.dat"};
    StageSample(options);
    DWORD type = 0;
    EXPECT_EQ(3u, ReadDword(HKEY_LOCAL_MACHINE, kProductKey, "Language", type));
    EXPECT_EQ("7", ReadStringValue(HKEY_LOCAL_MACHINE, kProductKey, "InstalledProducts"));
    EXPECT_EQ("8", ReadStringValue(HKEY_LOCAL_MACHINE, kProductKey, "InstalledModules"));
    EXPECT_FALSE(FileExists(Staged("kolbex.dll")));
    EXPECT_FALSE(FileExists("C:\\autoexec.qel"));
    EXPECT_TRUE(FileExists(Staged("uninstall.exe")));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kProductKey, "Path"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kProductKey, "Version"));
    std::string locked = Staged("Engine\\qelsig.dat");
    EXPECT_TRUE(GetFileAttributesA(locked.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ("read-only", installation.ReasonFor("file", locked));
}

TEST_F(StagingTest, RefusesWhatCannotBeStaged)
{
    ScratchDir scratch("stage");
    std::string description = scratch / "bad.ini";
    struct Case { const char* text; const char* errorPart; };
    const Case cases[] = {
        {"file a.txt\nfile {nowhere}\\b.txt\n", "line 2: unknown macro {nowhere}"},
        {"copy a.dll = {samples}\\missing.dll\n", "line 1: missing "},
        {"sz HKLM = x\n", "line 1: cannot set the value"},
        {"key HKZZ\\Software\n", "line 1: not a registry key"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        WriteTextFile(description, cases[i].text);
        staging::Options options = SampleOptions(scratch / "install");
        EXPECT_FALSE(installation.Stage(description, options)) << "case " << i;
        EXPECT_NE(std::string::npos, installation.error().find(cases[i].errorPart)) << "case " << i << ": " << installation.error();
        installation.Cleanup();
        EXPECT_FALSE(DirectoryExists(scratch / "install")) << "case " << i;
    }

    WriteTextFile(description, "copy? a.dll = {samples}\\missing.dll\nfile b.txt\n");
    ASSERT_TRUE(installation.Stage(description, SampleOptions(scratch / "install"))) << installation.error();
    EXPECT_EQ(1u, installation.skipped().size());
    EXPECT_FALSE(FileExists(scratch / "install\\a.dll"));
    EXPECT_TRUE(FileExists(scratch / "install\\b.txt"));
    installation.Cleanup();

    WriteTextFile(scratch / "used\\keep.txt", "mine");
    EXPECT_FALSE(installation.Stage(description, SampleOptions(scratch / "used")));
    EXPECT_NE(std::string::npos, installation.error().find("is not empty"));
    installation.Cleanup();
    EXPECT_EQ("mine", ReadTextFile(scratch / "used\\keep.txt"));
}

TEST_F(StagingTest, CleanupPutsBackWhatWasThereAndRemovesTheRest)
{
    const std::string original = "REM the user's own start-up file\r\n";
    WriteTextFile("C:\\autoexec.bat", original);
    SetStringValue(HKEY_LOCAL_MACHINE, kRun, "QELMonitor", "the user's own value");
    bool hadPlus = KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Plus!");
    bool hadVendor = KeyExists(HKEY_LOCAL_MACHINE, "Software\\Morwa Software");
    std::string appData = ReadStringValue(HKEY_CURRENT_USER,
                                          kShellFolders, "AppData");
    {
        Installation scoped;
        ASSERT_TRUE(scoped.Stage(SampleDescription(), SampleOptions())) << scoped.error();
        EXPECT_NE(original, ReadTextFile("C:\\autoexec.bat"));
        EXPECT_NE("the user's own value", ReadStringValue(HKEY_LOCAL_MACHINE, kRun, "QELMonitor"));
        // What a run leaves behind goes too: a retry value, a new file, a read-only file.
        SetStringValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue, "x");
        WriteTextFile(Staged("qelsubs.log"), "calls");
        SetAttributes(Staged("Monitor\\qelmon.exe"), FILE_ATTRIBUTE_READONLY);
    }
    EXPECT_EQ(original, ReadTextFile("C:\\autoexec.bat"));
    EXPECT_EQ("the user's own value", ReadStringValue(HKEY_LOCAL_MACHINE, kRun, "QELMonitor"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRun, "QELUpdate"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue));
    EXPECT_FALSE(DirectoryExists(kSampleInstallDir));
    const std::string gone[] = {SystemDir() + "\\qelvxd.vxd", WindowsDir() + "\\tuneup.exe", "C:\\autoexec.qel",
                                WindowsDir() + "\\Start Menu\\Programs\\Accessories\\System Tools\\Maintenance Wizard.lnk"};
    for (const std::string& path : gone) EXPECT_FALSE(FileExists(path)) << path;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".qel"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qelscan.exe"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_EQ(hadPlus, KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Plus!"));
    EXPECT_EQ(hadVendor, KeyExists(HKEY_LOCAL_MACHINE, "Software\\Morwa Software"));
    EXPECT_EQ(appData, ReadStringValue(HKEY_CURRENT_USER,
                                       kShellFolders, "AppData"));
    DeleteFileA("C:\\autoexec.bat");
    DeleteValue(HKEY_LOCAL_MACHINE, kRun, "QELMonitor");
}

// ---- Snapshots and the report --------------------------------------------------------------------

TEST_F(StagingTest, DifferenceAndReasonsFollowWhatHappened)
{
    StageSample();
    staging::Snapshot before = installation.Take();
    EXPECT_EQ("1023", before.installedModules.value_or(""));
    EXPECT_EQ(1u, before.texts.count("C:\\autoexec.bat"));

    DeleteFileA(Staged("Engine\\qelengine.dll").c_str());
    DeleteValue(HKEY_LOCAL_MACHINE, kRun, "QELMonitor");
    DeleteKeyTree(HKEY_CLASSES_ROOT, ".qel");
    WriteTextFile(Staged("qelsubs.log"), "calls");
    SetStringValue(HKEY_LOCAL_MACHINE, kProductKey, "InstalledModules", "0");
    SetStringValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue, "uninstall.exe x 0 0 2");
    WriteTextFile("C:\\autoexec.bat", "@ECHO OFF\r\n");
    std::string locked = Staged("Monitor\\qelmon.exe");
    SetAttributes(locked, FILE_ATTRIBUTE_READONLY);
    std::string held = Staged("Scanner\\qelscan.exe");
    HeldFile holder(held);
    ASSERT_TRUE(holder.holding());

    staging::Snapshot after = installation.Take();
    staging::Difference difference = staging::Compare(before, after);
    EXPECT_TRUE(Contains(difference.removed, "file " + Staged("Engine\\qelengine.dll")));
    EXPECT_TRUE(Contains(difference.removed, "value HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELMonitor"));
    EXPECT_TRUE(Contains(difference.removed, "key HKCR\\.qel"));
    EXPECT_TRUE(Contains(difference.removed, "value HKCR\\.qel\\@"));
    EXPECT_TRUE(Contains(difference.added, "file " + Staged("qelsubs.log")));
    EXPECT_TRUE(Contains(difference.remaining, "file " + held));
    EXPECT_EQ(4u, difference.removed.size());
    EXPECT_TRUE(Contains(difference.changed, "value HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\InstalledModules: "
                                             "REG_SZ \"1023\" -> REG_SZ \"0\""));
    EXPECT_EQ("uninstall.exe x 0 0 2", after.retryCommand.value_or(""));

    EXPECT_EQ("in use by another process", installation.ReasonFor("file", held));
    EXPECT_NE(std::string::npos, installation.ReasonFor("file", locked).find("read-only"));
    std::string top = installation.ReasonFor("directory", install);
    EXPECT_NE(std::string::npos, top.find("not empty")) << top;
    EXPECT_NE(std::string::npos, top.find("holds the program's own files")) << top;
    EXPECT_NE(std::string::npos, installation.ReasonFor("file", Staged("Base\\licence.key")).find("productBit 1"));
    EXPECT_NE(std::string::npos, installation.ReasonFor("file", Staged("uninstall.exe")).find("the program's own file"));
    EXPECT_NE(std::string::npos,
              installation.ReasonFor("value", "HKLM\\SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE\\QELJobs for Win32\\Scan\\Program")
                  .find("Windows 98"));
    EXPECT_EQ("", installation.ReasonFor("file", Staged("Engine\\qelsig.dat")));

    staging::RunFacts facts;
    facts.commandLine = "uninstall.exe qel60_uninst.ini 0 0 0";
    facts.started = facts.finished = true;
    facts.milliseconds = 1234;
    std::string report = staging::FormatReport(facts, before, after, [this](const std::string& kind, const std::string& name) {
        return installation.ReasonFor(kind, name);
    });
    const char* const expected[] = {
        "Time taken   : 1.23 s", "InstalledModules 1023 -> 0", "\"QELUninstTry\" = \"uninstall.exe x 0 0 2\"",
        "Removed      : 4 items", "      - in use by another process", "Added (1):", "C:\\autoexec.bat after:\n  | @ECHO OFF\n",
        "qelsubs.log (written by the run):\n  | calls\n", "      - call log of the subscription library stand-in",
    };
    for (const char* part : expected) EXPECT_NE(std::string::npos, report.find(part)) << part << "\n" << report;
}

// ---- uninstall.exe on the staged sample --------------------------------------------------------

TEST(EndToEndTest, RunsEndWithExitCodeZeroAndLeaveTheSentinels)
{
    Sentinels sentinels(kSampleInstallDir);
    ASSERT_TRUE(sentinels.Missing().empty());
    const char* const commandLines[] = {"qel60_uninst.ini 0 0 0", ""};
    for (const char* tokens : commandLines) {
        EndToEnd run;
        ASSERT_TRUE(run.Stage()) << run.error();
        EndToEndRun result = run.Run(tokens);
        EXPECT_TRUE(result.facts.started) << tokens;
        EXPECT_TRUE(result.facts.finished) << run.Report(result);
        EXPECT_EQ(0u, result.facts.exitCode) << run.Report(result);
        EXPECT_FALSE(result.before.files.empty());
    }
    std::vector<std::string> missing = sentinels.Missing();
    EXPECT_TRUE(missing.empty()) << missing.front();
}

}  // namespace
