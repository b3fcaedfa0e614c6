// The start-up of a run (in-process, with a copy of the version manager in the current
// directory) and the confirmation box's texts.
#include "app/Edition.h"
#include "app/Entry.h"
#include "app/RunContext.h"
#include "door/Door.h"
#include "tests/support/Keys.h"
#include "tests/support/SavedKey.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>
#include <vector>

using namespace testing_support;

namespace {


class StartUpTest : public ::testing::Test {
protected:
    SavedKey saved{HKEY_LOCAL_MACHINE, kProductKey};
    ScratchDir dir{"startup"};
    char previous[MAX_PATH] = "";

    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof previous, previous);
        SetCurrentDirectoryA(dir.path().c_str());
        SetStringValue(HKEY_LOCAL_MACHINE, kProductKey, "Path", "C:\\AV Test\\");
        SetDwordValue(HKEY_LOCAL_MACHINE, kProductKey, "Language", 3);
    }
    void TearDown() override { SetCurrentDirectoryA(previous); }
    void ProvideVersionManager()
    {
        ASSERT_TRUE(CopyFileA(ShipPath("product\\kolbex\\kolbex.dll").c_str(),
                              (dir / "kolbex.dll").c_str(), FALSE));
    }
    bool Run(const std::string& line, Library* library)
    {
        return StartUp(GetModuleHandleA(NULL), line.c_str(), library);
    }
};

TEST_F(StartUpTest, EmptyLineEndsBeforeTheLibrary)
{
    ProvideVersionManager();
    Library library;
    EXPECT_FALSE(Run("", &library));
    EXPECT_FALSE(library.valid());
    EXPECT_EQ(GetModuleHandleA(NULL), runContext.instance);
    EXPECT_EQ(0, runContext.languageId);  // the language was never chosen
}

TEST_F(StartUpTest, MissingVersionManagerEndsTheRun)
{
    Library library;
    EXPECT_FALSE(Run("qel60_uninst.ini 4 0 2", &library));
    EXPECT_FALSE(library.valid());
    EXPECT_STREQ("", runContext.manifestPath);
    EXPECT_EQ("", door::TheInstallation().directory);
}

TEST_F(StartUpTest, FillsTheRunRecord)
{
    ProvideVersionManager();
    Library library;
    ASSERT_TRUE(Run("qel60_uninst.ini 2 8 0", &library));
    EXPECT_TRUE(library.valid());
    EXPECT_TRUE(runContext.readInstalledMasks != NULL);
    EXPECT_TRUE(runContext.writeInstalledMasks != NULL);
    EXPECT_TRUE(runContext.readInstalledMasks != runContext.writeInstalledMasks);
    EXPECT_STREQ("qel60_uninst.ini", runContext.manifestPath);
    EXPECT_EQ(2u, runContext.productBit);
    EXPECT_EQ(8u, runContext.actionFlags);
    EXPECT_EQ(0, runContext.runMode);
    EXPECT_STREQ("qel60_uninst.ini 2 8 2", runContext.retryCommandLine);
    EXPECT_EQ(0x040C, runContext.languageId);
    EXPECT_EQ("C:\\AV Test\\", door::TheInstallation().directory);
    EXPECT_FALSE(runContext.keepFilesFlag);
    EXPECT_FALSE(runContext.maintenanceLinkPath);
}

TEST_F(StartUpTest, InstallDirectoryValues)
{
    ProvideVersionManager();
    struct Row { const char* value; bool ok; const char* installDir; } rows[] = {
        {"C:\\AV", true, "C:\\AV\\"},  // the trailing backslash every path relies on
        {"AV\\", false, ""},           // relative: would reach the current directory
        {nullptr, false, ""},          // no value
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        if (rows[i].value) SetStringValue(HKEY_LOCAL_MACHINE, kProductKey, "Path", rows[i].value);
        else DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, "Path");
        Library library;
        EXPECT_EQ(rows[i].ok, Run("m.ini 1 0 2", &library)) << "row " << i;
        if (rows[i].ok) { EXPECT_EQ(rows[i].installDir, door::TheInstallation().directory) << "row " << i; }
    }
}

TEST_F(StartUpTest, PathDataFillingTheWholeBufferIsRefused)
{
    ProvideVersionManager();
    // 260 bytes of text and no terminator: read into 260 bytes it would be a cut path.
    std::string cut = "C:\\" + std::string(257, 'd');
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ALL_ACCESS, &key));
    RegSetValueExA(key, "Path", 0, REG_BINARY, reinterpret_cast<const BYTE*>(cut.data()), 260);
    RegCloseKey(key);
    Library library;
    EXPECT_FALSE(Run("m.ini 1 0 2", &library));
}

TEST_F(StartUpTest, NamesThatDoNotFitEndTheRun)
{
    ProvideVersionManager();
    struct Row { std::string installDir; size_t nameLength; bool ok; } rows[] = {
        {"C:\\AV\\", 231, true},
        {"C:\\AV\\", 232, false},   // the retry command line would overflow
        {"C:\\" + std::string(196, 'd') + "\\", 59, true},
        {"C:\\" + std::string(196, 'd') + "\\", 60, false},  // the manifest's path would exceed 259
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SetStringValue(HKEY_LOCAL_MACHINE, kProductKey, "Path", rows[i].installDir);
        std::string name(rows[i].nameLength, 'n');
        Library library;
        EXPECT_EQ(rows[i].ok, Run(name + " 4294967295 4294967295 2", &library)) << "row " << i;
        if (rows[i].ok) {
            EXPECT_EQ(name, runContext.manifestPath) << "row " << i;
            EXPECT_EQ(name + " 4294967295 4294967295 2", runContext.retryCommandLine) << "row " << i;
        }
    }
}

TEST(Confirmation, TextsForEveryLanguageAndEdition)
{
    struct Row { WORD language; DWORD productBit; const char* caption; const char* text; } rows[] = {
        {0x0409, 1, "Uninstalling Morwa antivirus 6.0 Windows 95/98 ",
         "Morwa antivirus 6.0 Windows 95/98 will be completely removed from your system. "
         "Do you wish to continue?"},
        {0x040C, 2, "D\xE9sinstallation de Morwa antivirus 6.0 Exchange Internet Windows 95/98 ",
         "Morwa antivirus 6.0 Exchange Internet Windows 95/98 sera totalement supprim\xE9 du syst\xE8me. "
         "Souhaitez-vous poursuivre ?"},
        {0x0410, 7, "Disinstallazione di Morwa antivirus 6.0 Vantorix Windows 95/98 ",
         "Si eliminer\xE1 completamente dal sistema Morwa antivirus 6.0 Vantorix Windows 95/98. "
         "\xBF Continuare?"},
        {0x0C0A, 0, "Desinstalaci\xF3n de Morwa antivirus 6.0 ",
         "Se eliminar\xE1 completamente del sistema Morwa antivirus 6.0. \xBF" "Desea continuar?"},
        {0x0409, 8, "Uninstalling Morwa antivirus 6.0 ",
         "Morwa antivirus 6.0 will be completely removed from your system. Do you wish to continue?"},
        {0x0409, 12, "Uninstalling Morwa antivirus 6.0 Vantorix Windows 95/98 ", nullptr},
        {0x0407, 1, "", ""},  // no such language: the buffers start empty, nothing from garbage
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        ResetRunContext();
        runContext.instance = GetModuleHandleA(NULL);
        runContext.languageId = rows[i].language;
        runContext.productBit = rows[i].productBit;
        char caption[kConfirmCaptionSize];
        char text[kConfirmTextSize];
        std::memset(caption, 'Z', sizeof caption);
        std::memset(text, 'Z', sizeof text);
        FormatConfirmation(caption, text);
        EXPECT_STREQ(rows[i].caption, caption) << "row " << i;
        if (rows[i].text) { EXPECT_STREQ(rows[i].text, text) << "row " << i; }
    }
}

// The NT family restarts only for a process whose token has the shutdown privilege enabled;
// Wine has tokens as the NT family does.
TEST(Restart, ShutdownPrivilegeIsEnabledFirst)
{
    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES off = {};
    off.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &off.Privileges[0].Luid));
    off.Privileges[0].Attributes = 0;
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &off, 0, NULL, NULL));
    auto enabled = [&]() {
        DWORD size = 0;
        GetTokenInformation(token, TokenPrivileges, NULL, 0, &size);
        std::vector<BYTE> data(size);
        if (!GetTokenInformation(token, TokenPrivileges, data.data(), size, &size)) return false;
        const TOKEN_PRIVILEGES* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(data.data());
        for (DWORD i = 0; i < list->PrivilegeCount; ++i)
            if (list->Privileges[i].Luid.LowPart == off.Privileges[0].Luid.LowPart &&
                list->Privileges[i].Luid.HighPart == off.Privileges[0].Luid.HighPart)
                return (list->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
        return false;
    };
    ASSERT_FALSE(enabled());
    EXPECT_TRUE(EnableShutdownPrivilege());
    EXPECT_TRUE(enabled());
    CloseHandle(token);
}

}  // namespace
