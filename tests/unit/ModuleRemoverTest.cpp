// Removal of one module, on real files, a real manifest and the real registry of the prefix.
#include "engine/Driver.h"
#include "engine/ModuleRemover.h"
#include "base/SystemDirectories.h"
#include "tests/support/DoorRun.h"
#include "tests/support/Keys.h"
#include "tests/support/SavedKey.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/ProgressWindow.h"
#include <gtest/gtest.h>
#include <memory>

using namespace testing_support;

namespace {

class ModuleRemoverTest : public ::testing::Test {
protected:
    ScratchDir root{"mod"};
    std::string install = root / "inst\\";
    std::string manifest = root / "m.ini";
    std::string regBase = "Software\\UninstTests\\Mod-" + std::to_string(GetCurrentProcessId());
    DoorRun door{install};
    ModuleRemoverTest()
    {
        MakeDirectories(root / "inst");
        CreateKey(HKEY_CURRENT_USER, regBase);
        SetStringValue(HKEY_CURRENT_USER, regBase, "Entry", "1");
    }
    ~ModuleRemoverTest() override { DeleteKeyTree(HKEY_CURRENT_USER, regBase); }
    std::string RegSection() const
    {
        return "RegKeyDelSection=ModReg\n[ModReg]\nKey1=HKEY_CURRENT_USER\\" + regBase +
               "\\Entry\n";
    }
    int Remove(const std::string& section, const std::string& text, HWND window = NULL)
    {
        WriteTextFile(manifest, text);
        return RemoveModule(section.c_str(), install.c_str(), manifest.c_str(), window);
    }
};

TEST_F(ModuleRemoverTest, FilesTreesPatternsAndRegistry)
{
    for (const char* name : {"scan.exe", "sub\\deep.dat", "after-gap.dat", "Logs\\a.log",
                             "Logs\\Nested\\b.log", "x.tmp", "y.Tmp.old", "keep.txt", "sub\\z.tmp"})
        WriteTextFile(install + "Scan\\" + name, "x");
    WriteTextFile(install + "Gone\\only.txt", "x");
    EXPECT_EQ(1, Remove("Scanner", "[Scanner]\nRelativePath=Scan\nFile1=scan.exe\n"
                                   "File2=missing.dll\nFile3=sub\\deep.dat\nFile5=after-gap.dat\n"
                                   "DelDir1=Logs\nDelExt1=.TMP\n" + RegSection()));
    EXPECT_EQ((std::vector<std::string>{"Logs\\", "Logs\\Nested\\", "after-gap.dat", "keep.txt",
                                        "sub\\", "sub\\z.tmp"}),
              ListTree(install + "Scan"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, regBase, "Entry"));
    EXPECT_EQ(1, Remove("Other", "[Other]\nRelativePath=Gone\nFile1=only.txt\n"));
    EXPECT_FALSE(DirectoryExists(install + "Gone"));  // the emptied module directory goes
}

// The run reads a module's entries once: the removal goes by that reading, not by a second one.
TEST_F(ModuleRemoverTest, TheRunsOneReadingIsWhatTheRemovalUses)
{
    for (const char* name : {"one.dat", "two.dat", "Logs\\a.log"}) WriteTextFile(install + "Scan\\" + name, "x");
    WriteTextFile(manifest, "[General]\nApps=App\n[App]\nModules=Scanner\n[Scanner]\nMask=1\n"
                            "RelativePath=Scan\nFile1=one.dat\nDelDir1=Logs\n");
    FileListings listings;
    listings.Read(manifest.c_str(), "App", install, SystemDirectory());
    WriteTextFile(manifest, "[Scanner]\nRelativePath=Scan\nFile1=two.dat\n");
    ModuleListing listing;
    listing.listings = &listings;
    listing.mask = 1;
    listing.installedModules = 1;
    EXPECT_EQ(1, RemoveModule("Scanner", install.c_str(), manifest.c_str(), NULL, &listing));
    EXPECT_EQ(std::vector<std::string>{"two.dat"}, ListTree(install + "Scan"));
}

TEST_F(ModuleRemoverTest, RefusalKeepsTheRegistryEntriesAndTheRestStillGoes)
{
    struct { const char* entry; const char* refused; } rows[] = {
        {"File2=locked.dat\n", "locked.dat"},
        {"DelDir1=Tree\n", "Tree\\locked.dat"},
        {"DelExt1=.LCK\n", "x.lck"},
    };
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        bool held = i >= 3;  // Wine, like the NT family, refuses a held file with 32, not 5
        std::string refused = install + rows[i % 3].refused;
        WriteTextFile(refused, "x");
        WriteTextFile(install + "free.dat", "x");
        if (!held) SetAttributes(refused, FILE_ATTRIBUTE_READONLY);
        std::unique_ptr<HeldFile> holder(held ? new HeldFile(refused) : nullptr);
        ASSERT_TRUE(!held || holder->holding());
        EXPECT_EQ(0, Remove("Mod", std::string("[Mod]\nFile1=free.dat\n") + rows[i % 3].entry +
                                       RegSection()));
        EXPECT_TRUE(FileExists(refused));
        EXPECT_FALSE(FileExists(install + "free.dat"));
        EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, regBase, "Entry"));
        SetAttributes(refused, FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(ModuleRemoverTest, SystemRootOnlyAtTheStart)
{
    char systemDir[MAX_PATH], windowsDir[MAX_PATH];
    GetSystemDirectoryA(systemDir, MAX_PATH);
    GetWindowsDirectoryA(windowsDir, MAX_PATH);
    // Named as the product names its files: without version information that is what makes a
    // file of the system directory the product's.
    std::string name = "qeluninst-unit-" + std::to_string(GetCurrentProcessId()) + ".tmp";
    std::string inSystem = std::string(systemDir) + "\\" + name;
    std::string inWindows = std::string(windowsDir) + "\\" + name;
    WriteTextFile(inSystem, "x");
    WriteTextFile(inWindows, "sentinel");
    WriteTextFile(install + "Rel\\sub\\%SystemRoot%\\" + name, "x");
    EXPECT_EQ(1, Remove("Mod", "[Mod]\nRelativePath=Rel\nFile1=%SystemRoot%\\" + name +
                                   "\nFile2=%SystemRoot%\\..\\" + name +
                                   "\nFile3=sub\\%SystemRoot%\\" + name + "\n"));
    EXPECT_FALSE(FileExists(inSystem));
    EXPECT_TRUE(FileExists(inWindows));
    EXPECT_FALSE(FileExists(install + "Rel\\sub\\%SystemRoot%\\" + name));
    DeleteFileA(inSystem.c_str());
    DeleteFileA(inWindows.c_str());
}

TEST_F(ModuleRemoverTest, EntriesReachingOutsideTheInstallDirectoryAreSkipped)
{
    std::string outside = root.path();
    const std::string manifests[] = {
        "RelativePath=..\nFile1=beside.txt\nDelDir1=other\nDelExt1=.txt\n",
        "RelativePath=" + outside + "\nFile1=beside.txt\nDelDir1=other\nDelExt1=.txt\n",
        "File1=..\\beside.txt\nFile2=" + outside + "\\beside.txt\nDelDir1=..\\other\n"
        "DelDir2=" + outside + "\\other\nDelDir3=.\nDelExt1=..\nDelExt2=C:\n",
        "RelativePath=.\nDelExt1=.txt\n",
    };
    for (size_t i = 0; i < sizeof manifests / sizeof manifests[0]; ++i) {
        SCOPED_TRACE(i);
        WriteTextFile(root / "beside.txt", "sentinel");
        WriteTextFile(root / "other\\x.txt", "sentinel");
        WriteTextFile(install + "inside.txt", "x");
        EXPECT_EQ(1, Remove("Mod", "[Mod]\n" + manifests[i]));
        EXPECT_EQ((std::vector<std::string>{"beside.txt", "inst\\", "inst\\inside.txt", "m.ini",
                                            "other\\", "other\\x.txt"}),
                  ListTree(root.path()));
    }
}

TEST_F(ModuleRemoverTest, SharedModulesReportProgressByFile)
{
    struct {
        const char* section;
        std::string keys;
        bool window;
        std::vector<unsigned> expected;
    } rows[] = {
        {"Shared", "TotalFiles=4\n", true, {0, 50, 75, 100, 125, 150}},
        {"Shared", "", true, {0, 20, 30, 40, 50, 60}},
        {"Shared", "TotalFiles=0\n", true, {0, 20, 30, 40, 50, 60}},
        {"Shared", "TotalFiles=abc\n", true, {0, 20, 30, 40, 50, 60}},
        {"NotShared", "TotalFiles=2\n", true, {0, 100, 150, 200, 250, 300}},
        {"shared", "TotalFiles=4\n", true, {}},
        {"Shared", "TotalFiles=4\n", false, {}},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE(i);
        ProgressWindow page;
        std::string text = "[" + std::string(rows[i].section) + "]\n" + rows[i].keys;
        for (int f = 1; f <= 4; ++f) text += "File" + std::to_string(f) + "=absent\n";
        Remove(rows[i].section, text, rows[i].window ? page.get() : NULL);
        PumpMessages();
        EXPECT_EQ(rows[i].expected, page.positions());
    }
    EXPECT_FALSE(DirectoryExists(root / "inst"));  // a shared module removes the install directory
}

// Files of the system directory that other programs count on, by their SharedDLLs values.
class SharedFileTest : public ModuleRemoverTest {
protected:
    SavedKey saved{HKEY_LOCAL_MACHINE, kSharedDlls};
    std::string system = SystemDirectory();
    std::vector<std::string> files;

    ~SharedFileTest() override
    {
        for (const std::string& file : files) {
            SetAttributes(file, FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
    }
    static std::string SystemDirectory()
    {
        char buffer[MAX_PATH] = "";
        GetSystemDirectoryA(buffer, sizeof buffer);
        return buffer;
    }
    std::string Put(const std::string& name)
    {
        files.push_back(system + "\\" + name);
        WriteTextFile(files.back(), "x");
        return files.back();
    }
    DWORD Count(const std::string& name)
    {
        HKEY key = NULL;
        DWORD value = 0, size = sizeof value;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
        LONG result = RegQueryValueExA(key, name.c_str(), NULL, NULL, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        return result == ERROR_SUCCESS ? value : 0;
    }
};

// Counts of 2 and 1, and the case of a value name, are run end to end; here the spellings.
TEST_F(SharedFileTest, CountsUnderOtherSpellingsAndTypes)
{
    std::string text = Put("qeltest-text.dll"), binary = Put("qeltest-binary.dll");
    std::string longName = Put("qeltest long shared name.dll");
    char shortName[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(longName.c_str(), shortName, sizeof shortName), 0u);
    ASSERT_NE(longName, shortName);
    WriteTextFile(install + "local.dll", "x");
    SetStringValue(HKEY_LOCAL_MACHINE, kSharedDlls, text, "2");
    HKEY key = NULL;
    const BYTE two[] = {2, 0, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, KEY_ALL_ACCESS, &key));
    RegSetValueExA(key, binary.c_str(), 0, REG_BINARY, two, sizeof two);
    RegCloseKey(key);
    SetDwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, shortName, 2);
    SetDwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, install + "local.dll", 5);

    EXPECT_EQ(1, Remove("Shared", "[Shared]\nFile1=%SystemRoot%\\qeltest-text.dll\n"
                                  "File2=%SystemRoot%\\qeltest-binary.dll\n"
                                  "File3=%SystemRoot%\\qeltest long shared name.dll\nFile4=local.dll\n"));
    EXPECT_TRUE(FileExists(text));  // a count that is no number: kept, untouched
    EXPECT_EQ("2", ReadStringValue(HKEY_LOCAL_MACHINE, kSharedDlls, text));
    EXPECT_TRUE(FileExists(binary));
    EXPECT_EQ(1u, Count(binary));
    EXPECT_TRUE(FileExists(longName));  // counted under its short name
    EXPECT_EQ(1u, Count(shortName));
    // Outside the system directory a count counts too.
    EXPECT_TRUE(FileExists(install + "local.dll"));
    EXPECT_EQ(4u, Count(install + "local.dll"));
}

TEST_F(SharedFileTest, ARefusedModuleLeavesTheCountsForItsRetry)
{
    std::string counted3 = Put("qeltest-three.dll"), counted1 = Put("qeltest-one.dll");
    SetDwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, counted3, 3);
    SetDwordValue(HKEY_LOCAL_MACHINE, kSharedDlls, counted1, 1);
    std::string locked = install + "locked.dat";
    WriteTextFile(locked, "x");
    SetAttributes(locked, FILE_ATTRIBUTE_READONLY);
    const std::string section = "[Mod]\nFile1=%SystemRoot%\\qeltest-three.dll\n"
                                "File2=%SystemRoot%\\qeltest-one.dll\nFile3=locked.dat\n";
    EXPECT_EQ(0, Remove("Mod", section));
    EXPECT_EQ(3u, Count(counted3));  // lowered only with the registry entries
    EXPECT_FALSE(FileExists(counted1));
    EXPECT_EQ(1u, Count(counted1));
    // The retry run: the counts change once, not twice.
    SetAttributes(locked, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(1, Remove("Mod", section));
    EXPECT_EQ(2u, Count(counted3));
    EXPECT_TRUE(FileExists(counted3));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kSharedDlls, counted1));
}

}  // namespace
