// The decisions about manifest values: numbers, lists, composed paths, registry entries.
#include "engine/ManifestRules.h"
#include <gtest/gtest.h>

namespace {

TEST(ManifestRulesTest, NumbersAndLists)
{
    struct { const char* text; uint32_t mask; int32_t installed; uint32_t divisor; } rows[] = {
        {"12", 12, 12, 12},         {"  +5x", 5, 5, 5},      {"", 0, 0, 10},
        {"abc", 0, 0, 10},          {"0", 0, 0, 10},         {"-1", 0, -1, 10},
        {"4294967295", 0xFFFFFFFFu, -1, 0xFFFFFFFFu},       {"4294967296", 0, 0, 10},
        {"99999999999999", 0, 276447231, 10},  // the version manager's text, taken modulo 2^32
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].mask, ParseMask(rows[i].text));
        EXPECT_EQ(rows[i].installed, ParseInstalledMask(rows[i].text));
        EXPECT_EQ(rows[i].divisor, ProgressDivisor(rows[i].text));
    }
    EXPECT_EQ((std::vector<std::string>{"a", "", "b"}), SplitList("a,,b"));
    EXPECT_EQ(std::vector<std::string>{""}, SplitList(""));
    EXPECT_EQ(3, CountListItems("a,,b"));
    EXPECT_EQ(1, CountListItems(""));
    EXPECT_EQ("Key1", NumberedKey("Key", 1));
    EXPECT_EQ("DelDir4294967295", NumberedKey("DelDir", 4294967295ul));
}

TEST(ManifestRulesTest, FileEntryPaths)
{
    const std::string dir = "C:\\Prog\\";
    const std::string sys = "C:\\WINDOWS\\SYSTEM";
    const std::string long250(250, 'a');
    struct { const char* relative; std::string value; const char* expected; } rows[] = {
        {"", "engine.dll", "C:\\Prog\\engine.dll"},
        {"Scan", "scan.exe", "C:\\Prog\\Scan\\scan.exe"},
        {"Scan\\Deep", "x\\y.dat", "C:\\Prog\\Scan\\Deep\\x\\y.dat"},
        {"Scan", "%SystemRoot%\\engine.vxd", "C:\\WINDOWS\\SYSTEM\\engine.vxd"},
        {"", "sub\\%SystemRoot%\\a.dll", "C:\\Prog\\sub\\%SystemRoot%\\a.dll"},  // not at the start
        {"", "a..b.txt", "C:\\Prog\\a..b.txt"},  // dots inside a name
        {"", "%SystemRoot%name.dll", nullptr},  // would name a file beside the system directory
        {"", "%SystemRoot%\\", nullptr},
        {"", "%SystemRoot%\\..\\win.ini", nullptr},
        {"", "..\\sentinel.txt", nullptr},
        {"", "sub\\...\\x", nullptr},  // two levels up on Windows 95/98
        {"", "sub/../../x", nullptr},
        {"", ". .\\x", nullptr},
        {"", "  \\x", nullptr},   // an all-blank name is the directory itself
        {" ", "x", nullptr},
        {"", "*.*", nullptr},     // one file, never a pattern
        {"", "%SystemRoot%\\*.dll", nullptr},
        {"", "C:\\AUTOEXEC.BAT", nullptr},
        {"", "C:x", nullptr},
        {"", "\\x", nullptr},
        {"", "/x", nullptr},
        {"..", "x", nullptr},
        {"\\Windows", "x", nullptr},
        {"D:\\", "x", nullptr},
        {"", long250 + "bb", nullptr},  // 8 + 252 > 259: skipped, never cut
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE(i);
        std::string path = "unchanged";
        bool composed = ComposeFileEntryPath(dir, rows[i].relative, rows[i].value, sys, &path);
        EXPECT_EQ(rows[i].expected != nullptr, composed);
        EXPECT_EQ(rows[i].expected ? rows[i].expected : "unchanged", path);
    }
    std::string path;
    ASSERT_TRUE(ComposeFileEntryPath(dir, "", std::string(251, 'b'), sys, &path));
    EXPECT_EQ(259u, path.size());
    EXPECT_FALSE(ComposeFileEntryPath(dir, "", "%SystemRoot%\\a", "", &path));
    EXPECT_FALSE(ComposeFileEntryPath("C:\\Prog", "", "a", sys, &path));  // no trailing backslash
    EXPECT_FALSE(ComposeTreeEntryPath(dir, "", std::string(251, 'd'), &path));  // 260 with "\\"
    EXPECT_FALSE(ComposeTreeEntryPath(dir, "", " ", &path));  // would be the module directory
    EXPECT_FALSE(IsUsablePattern("C:"));  // would match every file of the directory
    EXPECT_EQ(nullptr, LastPathComponent("Setting"));
}

TEST(ManifestRulesTest, RegistryEntries)
{
    const std::string product = kProductKeyPath;
    struct {
        const char* text;
        RegistryRoot root;
        std::string key;
        bool namesKey;
        const char* value;
    } rows[] = {
        {"HKEY_CURRENT_USER\\Software\\X\\", kRootCurrentUser, "Software\\X", true, ""},
        {"HKEY_CURRENT_USER\\Software\\X\\Y", kRootCurrentUser, "Software\\X", false, "Y"},
        {"HKEY_LOCAL_MACHINE\\Software\\V\\App\\", kRootLocalMachine, "Software\\V\\App", true, ""},
        {"HKEY_DYN_DATA\\A\\B", kRootDynData, "A", false, "B"},
        {"HKEY_USERS\\.DEFAULT\\K\\", kRootUsers, ".DEFAULT\\K", true, ""},
        // A root name further in is part of the key path, whatever its place in the table.
        {"HKEY_CLASSES_ROOT\\S\\HKEY_DYN_DATA\\", kRootClassesRoot, "S\\HKEY_DYN_DATA", true, ""},
        {"%ProgramRoot%\\", kRootLocalMachine, product, true, ""},
        {"%ProgramRoot%\\Engine\\", kRootLocalMachine, product + "\\Engine", true, ""},
        {"%ProgramRoot%\\Setting", kRootLocalMachine, product, false, "Setting"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE(i);
        RegistryEntry entry;
        ASSERT_TRUE(SplitRegistryEntry(rows[i].text, &entry));
        EXPECT_EQ(rows[i].root, entry.root);
        EXPECT_EQ(rows[i].key, entry.keyPath);
        EXPECT_EQ(rows[i].namesKey, entry.namesKey);
        EXPECT_EQ(rows[i].value, entry.valueName);
    }
    // None of these may name a root key, or a key the text does not spell out.
    const char* skipped[] = {
        "HKEY_CURRENT_USER\\", "HKEY_CURRENT_USER\\\\", "HKEY_CURRENT_USER\\X",
        "HKEY_CURRENT_USER", "HKEY_CURRENT_USERX\\Software\\", "hkey_current_user\\Software\\",
        "Software\\HKEY_CURRENT_USER\\X\\", "HKEY_LOCAL_MACHINE\\\\Software\\",
        "HKEY_LOCAL_MACHINE\\Software\\\\", "HKEY_LOCAL_MACHINE\\Software\\\\X",
        "%ProgramRoot%Sibling\\", "x%ProgramRoot%\\Engine\\", "", "\\"};
    for (size_t i = 0; i < sizeof skipped / sizeof skipped[0]; ++i) {
        RegistryEntry entry;
        EXPECT_FALSE(SplitRegistryEntry(skipped[i], &entry)) << skipped[i];
    }
    RegistryEntry entry;
    EXPECT_FALSE(SplitRegistryEntry("%ProgramRoot%\\" + std::string(216, 'k') + "\\", &entry));
    EXPECT_TRUE(SplitRegistryEntry("%ProgramRoot%\\" + std::string(214, 'k') + "\\", &entry));
}

}  // namespace
