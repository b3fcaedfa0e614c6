// The self-removal batch (its text, the file written, its start) and the retry value.
#include "app/RunContext.h"
#include "app/SelfRemoval.h"
#include "app/SelfRemovalText.h"
#include "tests/support/DoorRun.h"
#include "tests/support/Keys.h"
#include "tests/support/SavedKey.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>

using namespace testing_support;

namespace {


const char kExampleBatch[] =
    ":Repeat\r\n"
    "del \"C:\\AV\\uninstall.exe\"\r\n"
    "rd \"C:\\AV\"\r\n"
    "if exist \"C:\\AV\\uninstall.exe\" goto Repeat\r\n"
    "rmdir \"C:\"\r\n"
    "del \"C:\\WINDOWS\\TEMP\\autodel.bat\"\r\n";

TEST(RemovalBatchText, TheSixLines)
{
    std::string text;
    ASSERT_TRUE(FormatRemovalBatch("C:\\AV\\uninstall.exe", "C:\\AV\\", "C:\\WINDOWS\\TEMP\\autodel.bat", &text));
    EXPECT_EQ(kExampleBatch, text);
    // Line 5 takes the path before its first backslash, not its last.
    ASSERT_TRUE(FormatRemovalBatch("D:\\A B\\C\\u.exe", "D:\\A B\\C\\", "C:\\autodel.bat", &text));
    EXPECT_NE(std::string::npos, text.find("\r\nrd \"D:\\A B\\C\"\r\n"));
    EXPECT_NE(std::string::npos, text.find("\r\nrmdir \"D:\"\r\n"));
    ASSERT_TRUE(FormatRemovalBatch("\\\\srv\\share\\u.exe", "\\\\srv\\share\\", "C:\\autodel.bat", &text));
    EXPECT_NE(std::string::npos, text.find("\r\nrmdir \"\"\r\n"));
    // A batch line reads "%%" as one percent sign.
    ASSERT_TRUE(FormatRemovalBatch("C:\\50%\\u.exe", "C:\\50%\\", "C:\\autodel.bat", &text));
    EXPECT_NE(std::string::npos, text.find("\r\nrd \"C:\\50%%\"\r\n"));
}

TEST(RemovalBatchText, TextsThatDoNotFitAreNotFormed)
{
    // 67 fixed characters + 2 x exe + (dir - 1) + "C:" + batch = 68 + 2 x exe + dir + batch.
    std::string exe = "C:\\" + std::string(256, 'e');   // 259
    std::string dir = "C:\\" + std::string(250, 'd') + "\\";  // 254
    std::string batch159 = "C:\\" + std::string(156, 'b');
    std::string text = "untouched";
    ASSERT_TRUE(FormatRemovalBatch(exe, dir, batch159, &text));
    EXPECT_EQ(kMaxBatchChars, text.size());
    text = "untouched";
    EXPECT_FALSE(FormatRemovalBatch(exe, dir, batch159 + "b", &text));
    EXPECT_EQ("untouched", text);
    EXPECT_FALSE(FormatRemovalBatch(exe + "e", "C:\\", "C:\\b", &text));   // a 260-character path
    EXPECT_FALSE(FormatRemovalBatch("uninstall.exe", "C:\\AV\\", "C:\\b", &text));  // no backslash
    EXPECT_FALSE(FormatRemovalBatch("C:\\AV\\u.exe", "", "C:\\b", &text));
    // A quote or a line break (from a damaged "Path") would start commands of its own.
    EXPECT_FALSE(FormatRemovalBatch("C:\\AV\\u.exe", "C:\\AV\"\r\ndel C:\\x\\", "C:\\b", &text));
    EXPECT_EQ("untouched", text);
}

TEST(RemovalBatchText, BatchPathInTheTemporaryDirectory)
{
    const std::string dir248 = "C:\\" + std::string(244, 't') + "\\";  // 248 + 11 = 259 characters
    struct Row { std::string temp; std::string batch; } rows[] = {
        {"C:\\WINDOWS\\TEMP\\", "C:\\WINDOWS\\TEMP\\autodel.bat"},
        {"", "C:\\autodel.bat"},  // GetTempPathA failed
        {dir248, dir248 + "autodel.bat"},
        {"C:\\" + std::string(245, 't') + "\\", ""},  // 260 characters: not cut, not formed
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].batch, RemovalBatchPath(rows[i].temp)) << "row " << i;
}

class RemovalBatchFileTest : public ::testing::Test {
protected:
    ScratchDir dir{"autodel"};
    std::string batch = dir / "autodel.bat";
    DoorRun door{"C:\\AV\\"};  // the batch removes the install directory: a private place
};

TEST_F(RemovalBatchFileTest, WritesExactlyTheText)
{
    ASSERT_TRUE(WriteRemovalBatch(batch.c_str(), "C:\\AV\\uninstall.exe", "C:\\AV\\"));
    std::string expected;
    ASSERT_TRUE(FormatRemovalBatch("C:\\AV\\uninstall.exe", "C:\\AV\\", batch, &expected));
    EXPECT_EQ(expected, ReadTextFile(batch));
    EXPECT_EQ("\r\n", ReadTextFile(batch).substr(expected.size() - 2));
}

TEST_F(RemovalBatchFileTest, ReplacesAnExistingFile)
{
    WriteTextFile(batch, std::string(2000, '#'));
    ASSERT_TRUE(WriteRemovalBatch(batch.c_str(), "C:\\AV\\uninstall.exe", "C:\\AV\\"));
    std::string expected;
    ASSERT_TRUE(FormatRemovalBatch("C:\\AV\\uninstall.exe", "C:\\AV\\", batch, &expected));
    EXPECT_EQ(expected, ReadTextFile(batch));  // not appended to, and cut to the new text
}

TEST_F(RemovalBatchFileTest, AccentedPathsAreWrittenInTheOemCodePage)
{
    // Wine's OEM code page is 437, as on a US or Western European Windows 95/98 (850 there
    // gives the same byte for these letters): ó is 0xA2, ñ 0xA4 instead of 0xF3 and 0xF1.
    const char* dirAnsi = "C:\\Archivos de programa\\Protecci\xF3n Espa\xF1" "a\\";
    ASSERT_TRUE(WriteRemovalBatch(batch.c_str(), "C:\\Archivos de programa\\Protecci\xF3n Espa\xF1"
                                  "a\\uninstall.exe", dirAnsi));
    std::string content = ReadTextFile(batch);
    EXPECT_NE(std::string::npos, content.find("rd \"C:\\Archivos de programa\\Protecci\xA2n Espa\xA4" "a\"\r\n"));
    EXPECT_EQ(std::string::npos, content.find('\xF3'));
    EXPECT_EQ(std::string::npos, content.find('\xF1'));
}

TEST_F(RemovalBatchFileTest, TooLongIsNotWritten)
{
    std::string exe = "C:\\" + std::string(300, 'e');
    EXPECT_FALSE(WriteRemovalBatch(batch.c_str(), exe.c_str(), "C:\\AV\\"));
    EXPECT_FALSE(FileExists(batch));
}

// Starts a harmless batch that records its current directory, from paths with and without
// a blank (a blank needs the quoted command line).
TEST(LaunchRemovalBatch, StartsTheBatchHiddenAtTheDriveRoot)
{
    ScratchDir dir{"launch"};
    DoorRun door{dir / "install\\"};  // the batch removes the install directory: a private place
    const char* folders[] = {"plain", "with blank"};
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    std::string root = std::string(current, 2) + "\\\r\n";
    for (size_t i = 0; i < 2; ++i) {
        std::string batch = dir / (std::string(folders[i]) + "\\run.bat");
        std::string marker = dir / ("marker" + std::to_string(i) + ".txt");
        WriteTextFile(batch, "cd > \"" + marker + "\"\r\n");
        ASSERT_TRUE(LaunchRemovalBatch(batch.c_str())) << "row " << i;
        EXPECT_EQ(THREAD_PRIORITY_TIME_CRITICAL, GetThreadPriority(GetCurrentThread())) << "row " << i;
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
        SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
        std::string content;
        for (int wait = 0; wait < 200 && content.size() < root.size(); ++wait) {
            Sleep(50);
            content = ReadTextFile(marker);
        }
        EXPECT_EQ(root, content) << "row " << i;
    }
    EXPECT_FALSE(LaunchRemovalBatch((dir / "missing\\none.bat").c_str()));
    Sleep(300);  // lets the last command interpreter end before the directory goes
}

TEST(RetryText, ComposedInA255ByteValue)
{
    struct Row { std::string dir; std::string retry; bool ok; std::string text; } rows[] = {
        {"C:\\AV\\", "qel60_uninst.ini 4 0 2", true, "C:\\AV\\uninstall.exe qel60_uninst.ini 4 0 2"},
        {"C:\\Program Files\\Morwa\\", "q.ini 0 0 2", true,
         "\"C:\\Program Files\\Morwa\\uninstall.exe\" q.ini 0 0 2"},
        // 6 + 13 + 1 + 234 = 254 characters: the terminator is the 255th byte.
        {"C:\\AV\\", std::string(234, 'r'), true, "C:\\AV\\uninstall.exe " + std::string(234, 'r')},
        {"C:\\AV\\", std::string(235, 'r'), false, ""},
        {"C:\\A V\\", std::string(231, 'r'), true, "\"C:\\A V\\uninstall.exe\" " + std::string(231, 'r')},
        {"C:\\A V\\", std::string(232, 'r'), false, ""},
        {"C:\\A\" V\\", "q.ini 0 0 2", false, ""},  // the quote would end the program's name early
        {"C:\\A\tV\\", "q.ini 0 0 2", false, ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        char buffer[kRetryTextSize + 8];
        std::memset(buffer, 'Z', sizeof buffer);
        EXPECT_EQ(rows[i].ok, ComposeRetryText(rows[i].dir, rows[i].retry, buffer, kRetryTextSize))
            << "row " << i;
        EXPECT_EQ(rows[i].text, std::string(buffer)) << "row " << i;
        // Zero filler up to the 255 stored bytes and the buffer's last byte; nothing beyond.
        for (size_t k = rows[i].text.size(); k < kRetryTextSize; ++k)
            ASSERT_EQ('\0', buffer[k]) << "row " << i << " byte " << k;
        for (size_t k = kRetryTextSize; k < sizeof buffer; ++k)
            ASSERT_EQ('Z', buffer[k]) << "row " << i << " byte " << k;
    }
}

// The batch's files first, then its directory, which only an empty directory lets go; a root is
// never handed over.
TEST(RestartDeletions, FilesFirstThenTheDirectoryButNeverARoot)
{
    const std::string exe = "C:\\AV\\uninstall.exe";
    const std::string batch = "C:\\WINDOWS\\TEMP\\autodel.bat";
    const struct { std::string exe, installDir; std::vector<std::string> paths; } rows[] = {
        {exe, "C:\\AV\\", {exe, batch, "C:\\AV"}},
        {exe, "C:\\Program Files\\Morwa\\", {exe, batch, "C:\\Program Files\\Morwa"}},
        {"", "C:\\AV\\", {batch, "C:\\AV"}},  // the executable's path was not to be had
        {exe, "C:\\", {exe, batch}},
        {exe, "\\\\srv\\share\\", {exe, batch}},
        {exe, "\\\\srv\\", {exe, batch}},
        {exe, "\\\\srv\\share\\AV\\", {exe, batch, "\\\\srv\\share\\AV"}},
        {exe, "", {exe, batch}},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].paths, RestartDeletions(rows[i].exe, batch, rows[i].installDir)) << "row " << i;
}

TEST(WininitText, NulLinesAtTheEndOfTheRenameSection)
{
    const std::vector<std::string> two = {"C:\\AV\\UNINST~1.EXE", "C:\\AV"};
    const struct { const char* before; const char* after; } rows[] = {
        {"", "[rename]\r\nNUL=C:\\AV\\UNINST~1.EXE\r\nNUL=C:\\AV\r\n"},
        // Another program's lines stay, ours follow them in the same section.
        {"[Rename]\r\nNUL=C:\\OLD.DLL\r\n",
         "[Rename]\r\nNUL=C:\\OLD.DLL\r\nNUL=C:\\AV\\UNINST~1.EXE\r\nNUL=C:\\AV\r\n"},
        {"[rename]\r\nNUL=C:\\OLD.DLL\r\n\r\n[CombineVxDs]\r\nA=B\r\n",
         "[rename]\r\nNUL=C:\\OLD.DLL\r\n\r\nNUL=C:\\AV\\UNINST~1.EXE\r\nNUL=C:\\AV\r\n[CombineVxDs]\r\nA=B\r\n"},
        {"  [RENAME]  \nNUL=C:\\OLD.DLL",
         "  [RENAME]  \nNUL=C:\\OLD.DLL\r\nNUL=C:\\AV\\UNINST~1.EXE\r\nNUL=C:\\AV\r\n"},
        // Only the first of two [rename] sections gets the lines.
        {"[rename]\r\nX=Y\r\n[rename]\r\n",
         "[rename]\r\nX=Y\r\nNUL=C:\\AV\\UNINST~1.EXE\r\nNUL=C:\\AV\r\n[rename]\r\n"},
        // No [rename] section: one is appended, after a line end for a last line without one.
        {"[renamed]\r\nA=B", "[renamed]\r\nA=B\r\n[rename]\r\nNUL=C:\\AV\\UNINST~1.EXE\r\nNUL=C:\\AV\r\n"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        std::string result;
        EXPECT_TRUE(AddWininitDeletions(rows[i].before, two, &result)) << "row " << i;
        EXPECT_EQ(rows[i].after, result) << "row " << i;
    }
}

TEST(WininitText, NothingToAddOrALineBreakInAPathIsRefused)
{
    const std::vector<std::string> refused[] = {{}, {""}, {"C:\\AV", ""}, {"C:\\AV\r\nNUL=C:\\WINDOWS"}};
    for (size_t i = 0; i < sizeof refused / sizeof refused[0]; ++i) {
        std::string result = "untouched";
        EXPECT_FALSE(AddWininitDeletions("[rename]\r\n", refused[i], &result)) << "row " << i;
        EXPECT_EQ("untouched", result) << "row " << i;
    }
}

TEST(RemoveDirectoryCommand, TheInterpreterRemovesTheShortPath)
{
    const struct { const char* interpreter; const char* directory; const char* command; } rows[] = {
        {"C:\\WINDOWS\\COMMAND.COM", "C:\\PROGRA~1\\MORWAA~1", "C:\\WINDOWS\\COMMAND.COM /c rd C:\\PROGRA~1\\MORWAA~1"},
        {"C:\\Win Dir\\COMMAND.COM", "C:\\AV", "\"C:\\Win Dir\\COMMAND.COM\" /c rd C:\\AV"},
        {"", "C:\\AV", ""},
        {"C:\\WINDOWS\\COMMAND.COM", "", ""},
        {"C:\\WINDOWS\\COMMAND.COM", "C:\\A V", ""},  // a blank would end the argument
        {"C:\\WINDOWS\\COMMAND.COM", "C:\\AV\"&del x", ""},
        {"C:\\WINDOWS\\COMMAND.COM", "C:\\AV\r\n", ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].command, RemoveDirectoryCommand(rows[i].interpreter, rows[i].directory)) << "row " << i;
}

class ScheduleRetryTest : public ::testing::Test {
protected:
    SavedKey saved{HKEY_LOCAL_MACHINE, kRunOnceKey};  // a value left behind would run at Wine's next start
    void SetUp() override
    {
        ResetRunContext();
        DeleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, "QELUninstTry");
    }
};

TEST_F(ScheduleRetryTest, WritesTheRunOnceValue)
{
    std::strcpy(runContext.retryCommandLine, "qel60_uninst.ini 4 0 2");
    {
        DoorRun door{"C:\\AV\\"};
        ScheduleRetry();
        // Wine stores the text's own length whatever length is given, so the 255 bytes are
        // checked on the composed buffer above, not here.
        EXPECT_EQ("C:\\AV\\uninstall.exe qel60_uninst.ini 4 0 2",
                  ReadStringValue(HKEY_LOCAL_MACHINE, kRunOnceKey, "QELUninstTry"));
        EXPECT_EQ("C:\\AV\\", door::TheInstallation().directory);
    }
    DoorRun door{"C:\\Program Files\\Morwa\\"};
    ScheduleRetry();  // a second one overwrites the first
    EXPECT_EQ("\"C:\\Program Files\\Morwa\\uninstall.exe\" qel60_uninst.ini 4 0 2",
              ReadStringValue(HKEY_LOCAL_MACHINE, kRunOnceKey, "QELUninstTry"));
}

TEST_F(ScheduleRetryTest, ATextThatDoesNotFitIsNotWritten)
{
    std::strcpy(runContext.retryCommandLine, (std::string(40, 'm') + " 4 0 2").c_str());
    DoorRun door{"C:\\" + std::string(200, 'd') + "\\"};
    ScheduleRetry();
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunOnceKey, "QELUninstTry"));
}

}  // namespace
