// Removal of a module's registry entries, on the real registry of the prefix.
#include "engine/ManifestRules.h"
#include "engine/RegistryRemover.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class RegistryRemoverTest : public ::testing::Test {
protected:
    ScratchDir dir{"reg"};
    std::string manifest = dir / "m.ini";
    std::string base = "Software\\UninstTests\\Reg-" + std::to_string(GetCurrentProcessId()) +
                       "-" + std::to_string(GetTickCount());
    std::string hkcu = "HKEY_CURRENT_USER\\" + base;
    ~RegistryRemoverTest() override { DeleteKeyTree(HKEY_CURRENT_USER, base); }
};

TEST_F(RegistryRemoverTest, KeysGoWithTheirTreesAndValuesAlone)
{
    // Sub-keys whose names grow: Wine's own win98 RegDeleteKeyA would leave Sub3 behind.
    for (const char* sub :
         {"Tree\\Sub1\\Leaf", "Tree\\Sub3\\Leaf\\Deeper", "Tree\\Sub22", "Sibling", "Late"})
        CreateKey(HKEY_CURRENT_USER, base + "\\" + sub);
    SetStringValue(HKEY_CURRENT_USER, base + "\\Tree\\Sub3", "v", "1");
    SetStringValue(HKEY_CURRENT_USER, base + "\\Values", "Drop", "1");
    SetStringValue(HKEY_CURRENT_USER, base + "\\Values", "Keep", "1");
    WriteTextFile(manifest, "[Mod]\nRegKeyDelSection=ModReg\n[ModReg]\n"
                            "Key1=" + hkcu + "\\Tree\\\n"
                            "Key2=" + hkcu + "\\Values\\Drop\n"
                            "Key3=" + hkcu + "\\Missing\\\n"
                            "Key4=Software\\" + hkcu + "\\Sibling\\\n"  // root name inside
                            "Key5=HKEY_CURRENT_USER\\\n"  // no key below the root
                            "Key6=HKEY_CURRENT_USER\\Software\\\\\n"
                            "Key8=" + hkcu + "\\Late\\\n");  // after the gap: never read
    RemoveRegistryEntries("Mod", manifest.c_str());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + "\\Tree"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, base + "\\Values", "Drop"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, base + "\\Values", "Keep"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + "\\Sibling"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + "\\Late"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\UninstTests"));
}

TEST_F(RegistryRemoverTest, ProgramRootNamesTheProductKey)
{
    std::string product = kProductKeyPath;
    bool existed = KeyExists(HKEY_LOCAL_MACHINE, "Software\\Morwa Software");
    std::string own = "UnitTest-" + std::to_string(GetCurrentProcessId());
    CreateKey(HKEY_LOCAL_MACHINE, product + "\\" + own + "\\Sub\\Deeper");
    SetStringValue(HKEY_LOCAL_MACHINE, product, own, "1");
    SetStringValue(HKEY_LOCAL_MACHINE, product, own + "-keep", "1");
    WriteTextFile(manifest, "[Mod]\nRegKeyDelSection=ModReg\n[ModReg]\n"
                            "Key1=%ProgramRoot%\\" + own + "\\\n"
                            "Key2=%ProgramRoot%\\" + own + "\n");
    RemoveRegistryEntries("Mod", manifest.c_str());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, product + "\\" + own));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, product, own));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, product, own + "-keep"));

    WriteTextFile(manifest, "[Mod]\nRegKeyDelSection=ModReg\n[ModReg]\nKey1=%ProgramRoot%\\\n");
    RemoveRegistryEntries("Mod", manifest.c_str());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, product));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Morwa Software"));
    if (!existed) DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Morwa Software");
}

}  // namespace
