// The check of a directory against the places of this machine, in the prefix: the spellings
// that the end-to-end runs cannot reach (administrative shares, which Wine does not serve)
// and the places a run keeps from its start.
#include "rules/ProtectedPlaces.h"
#include "rules/PathForms.h"
#include "tests/support/Keys.h"
#include "tests/support/SavedKey.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {


std::string Rule(const std::string& directory)
{
    return RefusalRuleName(CheckDirectoryForDeletion(directory.c_str()));
}

// Names compare as the system's code page (1252 in the prefix) upper-cases them, accents too.
TEST(ProtectedPlaces, AccentedNamesCompareAsTheSystemCasesThem)
{
    LearnSystemCase();
    struct Row { const char* path; const char* directory; bool below; } rows[] = {
        {"C:\\Donn\xE9" "es\\x", "C:\\DONN\xC9" "ES", true},
        {"C:\\DONN\xC9" "ES", "c:\\donn\xE9" "es\\", true},
        {"C:\\\xC0 faire\\\xE7\xE0", "C:\\\xE0 FAIRE\\\xC7\xC0", true},
        {"C:\\Documentos\\A\xF1o", "C:\\DOCUMENTOS\\A\xD1O", true},
        {"C:\\Donn\xE9" "es", "C:\\DONNEES", false},   // an accent is no other letter's case
        {"C:\\Donn\xE9" "es", "C:\\Donn\xE8" "es", false},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].below, IsAtOrBelow(rows[i].path, rows[i].directory)) << "row " << i;
    // A name beyond ASCII is never its own short form: the system is asked.
    EXPECT_FALSE(IsShortFormAlready("C:\\Donn\xE9" "es"));
    EXPECT_TRUE(IsShortFormAlready("C:\\DONNEES"));
}

TEST(ProtectedPlaces, SystemPlacesInEverySpelling)
{
    char windows[MAX_PATH] = "", system[MAX_PATH] = "", shortForm[MAX_PATH] = "", temp[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    GetSystemDirectoryA(system, sizeof system);
    GetTempPathA(sizeof temp, temp);
    const std::string programFiles = ReadStringValue(HKEY_LOCAL_MACHINE,
        "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    ASSERT_GT(GetShortPathNameA(programFiles.c_str(), shortForm, sizeof shortForm), 0u);
    const std::string belowDrive = std::string(windows).substr(2);  // "\windows"

    struct Row { std::string directory; const char* rule; } rows[] = {
        {shortForm, "protected-directory"},  // Wine's own hashed short name (C:\PROG~FBU)
        {std::string(shortForm) + "\\Common Files", "protected-directory"},
        // Inside Program Files only the private install directory's own may go (the door's check).
        {std::string(shortForm) + "\\Morwa Antivirus\\Scanner", "protected-directory"},
        {std::string(windows) + "\\inf", "windows-directory"},
        {std::string(system) + "\\drivers\\etc", "windows-directory"},  // at any depth
        {"\\\\localhost\\C$" + belowDrive, "protected-directory"},
        {"\\\\127.0.0.1\\c$" + belowDrive + "\\inf", "windows-directory"},
        {"\\\\localhost\\ADMIN$\\Fonts", "shell-folder"},
        {"\\\\localhost\\C$", "drive-root"},
        {"\\\\server\\share\\Morwa Antivirus", "cannot-tell"},  // no such share: what it reaches is unknown
        {"\\\\?\\" + std::string(windows), "device-path"},
        {"//?/" + std::string(windows), "device-path"},
        {"\\??\\" + std::string(windows), "device-path"},
        {temp, "temp-directory"},
        {"Fonts", "relative-path"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].rule, Rule(rows[i].directory)) << "row " << i << ": " << rows[i].directory;
}

// A drive letter is placed by what holds the folder it stands for. tools/lib/wine-test configures
// V: (a folder in the Windows directory) and E: (a folder of the prefix) before the server starts,
// so that each has a volume and a serial number of its own; Z: is the host's root.
TEST(ProtectedPlaces, LettersArePlacedByWhatHoldsTheirFolder)
{
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string accessories = std::string(windows) + "\\Start Menu\\Programs\\Accessories";
    MakeDirectories(accessories + "\\Games");
    MakeDirectories(PrefixFolder("drive_e") + "\\Morwa");
    ASSERT_TRUE(DirectoryExists("V:\\Games") && DirectoryExists("E:\\Morwa")) << "no letters configured";
    const struct { std::string directory; const char* rule; } rows[] = {
        {"V:\\Games", "windows-directory"},
        {"V:\\", "drive-root"},
        {"E:\\Morwa", "none"},                            // a drive of its own
        {PrefixFolder("drive_c"), "protected-directory"},   // the Windows drive's folder holds Windows
        {PrefixFolder(""), "protected-directory"},          // and so does the prefix
        {"Q:\\Morwa", "cannot-tell"},                      // no such letter
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].rule, Rule(rows[i].directory)) << "row " << i << ": " << rows[i].directory;
    RemoveTree(accessories);
}

TEST(ProtectedPlaces, ARunKeepsThePlacesItFoundAtItsStart)
{
    ScratchDir dir{"places"};
    const std::string folder = dir / "Folder";
    MakeDirectories(folder);
    SavedKey saved(HKEY_CURRENT_USER, kShellFolders);
    {
        ProtectedPlacesScope scope;
        scope.Take();
        SetStringValue(HKEY_CURRENT_USER, kShellFolders, "QEL Test Folder", folder);
        // Taken before: a shell folder named meanwhile is not seen (nor one deleted meanwhile
        // forgotten), also by a nested scope.
        ProtectedPlacesScope nested;
        nested.Take();
        EXPECT_EQ("none", Rule(folder));
    }
    EXPECT_EQ("shell-folder", Rule(folder));
    EXPECT_EQ("shell-folder", Rule(dir.path()));  // holds one
    EXPECT_EQ("shell-folder", Rule(folder + "\\Sub"));  // and what lies in one
}

}  // namespace
