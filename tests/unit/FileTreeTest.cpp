// Deletion of file trees and of files by pattern, on real trees in the prefix.
#include "engine/FileTree.h"
#include "engine/EntryPaths.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// A tree emptied as a module's DelDir entry empties it, without removing the directory.
int DeleteDirectoryContents(const char* directory, door::Origin origin = door::Origin::kElsewhere)
{
    door::Tree tree;
    return EmptyTree(directory, origin, &tree);
}

class FileTreeTest : public ::testing::Test {
protected:
    ScratchDir dir{"tree"};
    std::string Put(const std::string& relative, const std::string& content = "x")
    {
        std::string path = dir / relative;
        WriteTextFile(path, content);
        return path;
    }
};

TEST_F(FileTreeTest, EmptiesEveryLevelAndKeepsTheDirectories)
{
    Put("a.txt");
    Put("sub\\b.txt");
    Put("sub\\deeper\\c.txt");
    EXPECT_EQ(0, DeleteDirectoryContents(dir.path().c_str()));
    EXPECT_EQ((std::vector<std::string>{"sub\\", "sub\\deeper\\"}), ListTree(dir.path()));
    EXPECT_FALSE(RemoveDirectoryA(dir.path().c_str()));  // the sub-directories are still there
}

TEST_F(FileTreeTest, TrailingBackslashMakesNoDifference)
{
    Put("one\\a.txt");
    Put("two\\a.txt");
    EXPECT_EQ(0, DeleteDirectoryContents((dir / "one").c_str()));
    EXPECT_EQ(0, DeleteDirectoryContents((dir / "two\\").c_str()));
    EXPECT_EQ((std::vector<std::string>{"one\\", "two\\"}), ListTree(dir.path()));
}

TEST_F(FileTreeTest, ReadOnlyFileIsRefusedAndTheRestStillGoes)
{
    Put("a.txt");
    std::string locked = Put("locked.txt");
    Put("z.txt");
    SetAttributes(locked, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ERROR_ACCESS_DENIED, DeleteDirectoryContents(dir.path().c_str()));
    EXPECT_EQ(std::vector<std::string>{"locked.txt"}, ListTree(dir.path()));
}

TEST_F(FileTreeTest, RefusalInASubDirectoryDoesNotReachTheTop)
{
    std::string locked = Put("sub\\locked.txt");
    SetAttributes(locked, FILE_ATTRIBUTE_READONLY);
    Put("top.txt");
    EXPECT_EQ(0, DeleteDirectoryContents(dir.path().c_str()));
    EXPECT_TRUE(FileExists(locked));
    EXPECT_FALSE(FileExists(dir / "top.txt"));
}

TEST_F(FileTreeTest, FileHeldByAnotherProcessGivesTheSharingError)
{
    std::string held = Put("held.txt");
    HeldFile holder(held);
    ASSERT_TRUE(holder.holding());
    EXPECT_EQ(ERROR_SHARING_VIOLATION, DeleteDirectoryContents(dir.path().c_str()));
    EXPECT_TRUE(FileExists(held));
}

TEST_F(FileTreeTest, LastFailureWins)
{
    // Listing order decides which failure is last; find it out, then expect that one's code.
    std::string readOnly = Put("r.txt");
    std::string held = Put("h.txt");
    SetAttributes(readOnly, FILE_ATTRIBUTE_READONLY);
    HeldFile holder(held);
    ASSERT_TRUE(holder.holding());
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir / "*.*").c_str(), &entry);
    std::string last;
    do {
        if (entry.cFileName[0] != '.') last = entry.cFileName;
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    int expected = last == "r.txt" ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION;
    EXPECT_EQ(expected, DeleteDirectoryContents(dir.path().c_str()));
}

TEST_F(FileTreeTest, HiddenAndSystemFilesAreDeletedAndFlaggedDirectoriesEntered)
{
    std::string hidden = Put("hidden.txt");
    std::string system = Put("system.txt");
    std::string inside = Put("flagged\\inside.txt");
    SetAttributes(hidden, FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(system, FILE_ATTRIBUTE_SYSTEM);
    SetAttributes(dir / "flagged", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0, DeleteDirectoryContents(dir.path().c_str()));
    EXPECT_FALSE(FileExists(hidden));
    EXPECT_FALSE(FileExists(system));
    EXPECT_FALSE(FileExists(inside));
    SetAttributes(dir / "flagged", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileTreeTest, DotDirectoriesAreLeftAlone)
{
    std::string kept = Put(".config\\keep.txt");
    EXPECT_EQ(0, DeleteDirectoryContents(dir.path().c_str()));
    EXPECT_TRUE(FileExists(kept));
}

TEST_F(FileTreeTest, MissingDirectoryAndShortTextsAreRefused)
{
    EXPECT_EQ(-1, DeleteDirectoryContents((dir / "missing").c_str()));
    EXPECT_EQ(-1, DeleteDirectoryContents(""));
    EXPECT_EQ(-1, DeleteDirectoryContents("C:"));
    EXPECT_EQ(-1, DeleteDirectoryContents("C:\\"));
    EXPECT_EQ(-1, DeleteMatchingFiles(".TXT", (dir / "missing").c_str()));
}

TEST(FileTreeProtection, RootsAndSystemDirectoriesAreRefusedWithoutTouchingThem)
{
    char windows[MAX_PATH], system[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    GetSystemDirectoryA(system, sizeof system);
    std::string sentinel = std::string(windows) + "\\uninst-sentinel.gid";
    WriteTextFile(sentinel, "keep");
    std::string programFiles = ReadStringValue(HKEY_LOCAL_MACHINE,
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    ASSERT_FALSE(programFiles.empty());

    const std::string refused[] = {
        windows, std::string(windows) + "\\", system, std::string(system) + "\\",
        programFiles, programFiles + "\\", "C:\\.", "C:\\.\\", "C:\\uninst-tests\\..",
        "C:\\uninst-tests\\..\\", std::string(windows) + "\\system32\\..", "Z:\\", "\\\\server\\share",
        "\\\\?\\" + std::string(windows), "\\\\.\\" + std::string(windows), std::string(windows) + ". .",
    };
    for (size_t i = 0; i < sizeof refused / sizeof refused[0]; ++i) {
        SCOPED_TRACE("row " + std::to_string(i) + ": " + refused[i]);
        EXPECT_EQ(-1, DeleteDirectoryContents(refused[i].c_str()));
        EXPECT_EQ(-1, DeleteMatchingFiles(".GID", refused[i].c_str()));
    }
    EXPECT_TRUE(FileExists(sentinel));
    DeleteFileA(sentinel.c_str());
}

TEST_F(FileTreeTest, PatternIsAnUpperCaseSubstringOfTheWholePath)
{
    Put("A.GID");
    Put("b.gid");
    Put("c.txt");
    Put("d.gid.old");
    Put("sub\\e.gid");
    EXPECT_EQ(0, DeleteMatchingFiles(".gid", dir.path().c_str()));
    EXPECT_EQ((std::vector<std::string>{"c.txt", "sub\\", "sub\\e.gid"}), ListTree(dir.path()));
}

TEST_F(FileTreeTest, PatternInTheDirectoryPartMatchesEveryFile)
{
    Put("logs.tmp\\one.txt");
    Put("logs.tmp\\two.dat");
    EXPECT_EQ(0, DeleteMatchingFiles(".TMP", (dir / "logs.tmp").c_str()));
    EXPECT_EQ(std::vector<std::string>{"logs.tmp\\"}, ListTree(dir.path()));
}

TEST_F(FileTreeTest, PatternReportsTheRefusalOfAMatchingFileOnly)
{
    std::string lockedMatch = Put("a.tmp");
    std::string lockedOther = Put("b.txt");
    SetAttributes(lockedMatch, FILE_ATTRIBUTE_READONLY);
    SetAttributes(lockedOther, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ERROR_ACCESS_DENIED, DeleteMatchingFiles(".TMP", dir.path().c_str()));
    SetAttributes(lockedMatch, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(lockedMatch.c_str());
    EXPECT_EQ(0, DeleteMatchingFiles(".TMP", dir.path().c_str()));
}

TEST_F(FileTreeTest, OverlongEntryPathsAreSkippedNotCut)
{
    // A directory whose own path is near the limit: a name that would push an entry past
    // 259 characters is skipped, a short one is still deleted.
    std::string deep = dir.path();
    while (deep.size() < 230) deep += "\\dddddddddd";
    std::string shortFile = deep + "\\s.txt";
    std::string longFile = deep + "\\" + std::string(259 - deep.size(), 'n');  // 260 characters
    WriteTextFile(shortFile, "x");
    WriteTextFile(longFile, "x");
    bool longExists = FileExists(longFile);  // the platform itself may refuse such a name
    EXPECT_EQ(0, DeleteDirectoryContents(deep.c_str()));
    EXPECT_FALSE(FileExists(shortFile));
    EXPECT_EQ(longExists, FileExists(longFile));
}

TEST(EntryPaths, NeverExceedTheLimit)
{
    std::string path;
    EXPECT_TRUE(ComposeEntryPath(std::string(250, 'a'), std::string(9, 'b'), &path));
    EXPECT_EQ(259u, path.size());
    EXPECT_FALSE(ComposeEntryPath(std::string(250, 'a'), std::string(10, 'b'), &path));
    EXPECT_EQ("C:\\A\\", DirectoryBase("C:\\A"));
    EXPECT_EQ("C:\\A\\", DirectoryBase("C:\\A\\"));
}

}  // namespace
