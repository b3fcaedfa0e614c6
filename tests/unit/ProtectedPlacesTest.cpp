// The check of a directory against the places of this machine, in the prefix: every
// spelling Wine gives a protected place, the shell folders as the registry names them, and
// links.
#include "engine/FileTree.h"
#include "engine/ProtectedPlaces.h"
#include "tests/support/SavedKey.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::string Query(UINT(WINAPI* query)(LPSTR, UINT))
{
    char buffer[MAX_PATH] = "";
    query(buffer, sizeof buffer);
    return buffer;
}

std::string ShortForm(const std::string& path)
{
    char buffer[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return buffer;
}

std::string Rule(const std::string& directory)
{
    return RefusalRuleName(CheckDirectoryForDeletion(directory.c_str()));
}

TEST(ProtectedPlaces, SystemPlacesInEverySpelling)
{
    const std::string windows = Query(GetWindowsDirectoryA), system = Query(GetSystemDirectoryA);
    const std::string programFiles = ReadStringValue(HKEY_LOCAL_MACHINE,
        "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    const std::string shortProgramFiles = ShortForm(programFiles);
    ASSERT_FALSE(programFiles.empty());
    // Wine hashes short names (C:\PROG~FBU): the short form is what the system really gives.
    ASSERT_NE(programFiles, shortProgramFiles);
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string windowsBelowDrive = windows.substr(2);  // "\windows"

    struct Row { std::string directory; const char* rule; } rows[] = {
        {windows, "protected-directory"},
        {windows + "\\", "protected-directory"},
        {windows + ". .", "protected-directory"},
        {windows + "\\..\\" + windows.substr(3), "protected-directory"},
        {system, "protected-directory"},
        {programFiles, "protected-directory"},
        {shortProgramFiles, "protected-directory"},
        {shortProgramFiles + "\\Common Files", "protected-directory"},
        {windows + "\\inf", "system-subdirectory"},
        {system + "\\drivers", "system-subdirectory"},
        {system + "\\drivers\\etc", "none"},
        {windows + "\\Fonts", "shell-folder"},
        {"C:\\", "drive-root"},
        {"C:\\.", "drive-root"},
        {"\\\\?\\" + windows, "device-path"},
        {"\\\\.\\" + windows, "device-path"},
        {"//?/" + windows, "device-path"},
        {"\\??\\" + windows, "device-path"},
        {"\\\\localhost\\C$" + windowsBelowDrive, "protected-directory"},
        {"\\\\127.0.0.1\\c$" + windowsBelowDrive + "\\inf", "system-subdirectory"},
        {"\\\\localhost\\ADMIN$\\Fonts", "shell-folder"},
        {"\\\\localhost\\C$", "drive-root"},
        {"\\\\server\\share\\Morwa Antivirus", "none"},
        {temp, "temp-directory"},
        {std::string(temp) + "QEL Setup", "none"},
        {"Fonts", "relative-path"},
        {"", "relative-path"},
        {programFiles + "\\Morwa Antivirus\\Scanner\\Reports", "none"},
        {shortProgramFiles + "\\Morwa Antivirus\\Scanner", "none"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].rule, Rule(rows[i].directory)) << "row " << i << ": " << rows[i].directory;
}

TEST(ProtectedPlaces, ShellFoldersAndProfilesAsTheRegistryNamesThem)
{
    for (const char* name : {"Start Menu", "Programs", "StartUp", "Favorites", "SendTo", "Recent", "AppData",
                             "Fonts", "NetHood", "PrintHood"}) {
        std::string folder = ReadStringValue(HKEY_CURRENT_USER, kShellFolders, name);
        if (folder.empty()) continue;  // not every system has every folder
        EXPECT_EQ("shell-folder", Rule(folder)) << name;
        std::string shortFolder = ShortForm(folder);
        if (!shortFolder.empty()) {
            EXPECT_EQ("shell-folder", Rule(shortFolder)) << name << " " << shortFolder;
        }
        // What lies below a shell folder goes: a Start Menu group, for instance.
        EXPECT_EQ("none", Rule(folder + "\\Morwa Antivirus")) << name;
    }
    for (const char* name : {"Common Programs", "Common Start Menu", "Common AppData"}) {
        std::string folder = ReadStringValue(HKEY_LOCAL_MACHINE, kShellFolders, name);
        if (!folder.empty()) {
            EXPECT_EQ("shell-folder", Rule(folder)) << name;
        }
    }
    char profile[MAX_PATH] = "";
    if (GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile) > 0) {
        EXPECT_EQ("profile-directory", Rule(profile));
        std::string profiles = profile;
        EXPECT_EQ("profile-directory", Rule(profiles.substr(0, profiles.rfind('\\'))));
    }
}

TEST(ProtectedPlaces, ANewShellFolderIsProtectedAndAScopeKeepsWhatItFound)
{
    ScratchDir dir{"places"};
    const std::string folder = dir / "Folder", expanded = dir / "Expanded";
    MakeDirectories(folder);
    MakeDirectories(expanded);
    SavedKey saved(HKEY_CURRENT_USER, kShellFolders);
    SavedKey savedUser(HKEY_CURRENT_USER, kUserShellFolders);
    EXPECT_EQ("none", Rule(folder));

    {
        ProtectedPlacesScope scope;
        SetStringValue(HKEY_CURRENT_USER, kShellFolders, "QEL Test Folder", folder);
        SetEnvironmentVariableA("QELTESTDIR", dir.path().c_str());
        SetStringValue(HKEY_CURRENT_USER, kUserShellFolders, "QEL Test Expanded",
                       "%QELTESTDIR%\\Expanded", REG_EXPAND_SZ);
        // The scope took the places before: what changes in the registry meanwhile is not
        // trusted, either way.
        EXPECT_EQ("none", Rule(folder));
        ProtectedPlacesScope inner;  // nested: still the outer one's places
        EXPECT_EQ("none", Rule(folder));
    }
    EXPECT_EQ("shell-folder", Rule(folder));
    EXPECT_EQ("shell-folder", Rule(expanded));
    EXPECT_EQ("shell-folder", Rule(dir.path()));  // holds one
    EXPECT_EQ("none", Rule(folder + "\\Sub"));
    SetEnvironmentVariableA("QELTESTDIR", NULL);
}

TEST(ProtectedPlaces, PathsThroughLinksAreRefused)
{
    ScratchDir dir{"links"};
    MakeDirectories(dir / "target\\sub");
    if (!MakeUnixSymlink(dir / "link", dir / "target")) GTEST_SKIP() << "no Unix symbolic links here";
    EXPECT_EQ("link", Rule(dir / "link"));
    EXPECT_EQ("link", Rule(dir / "link\\sub"));
    EXPECT_EQ("none", Rule(dir / "target\\sub"));
    EXPECT_EQ(-1, DeleteMatchingFiles(".txt", (dir / "link").c_str()));
}

}  // namespace
