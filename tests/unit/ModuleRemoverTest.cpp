// Removal of one module, on real files, a real manifest and the real registry of the prefix.
#include "engine/Driver.h"
#include "engine/ModuleRemover.h"
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
    std::string name = "uninst-unit-" + std::to_string(GetCurrentProcessId()) + ".tmp";
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

}  // namespace
