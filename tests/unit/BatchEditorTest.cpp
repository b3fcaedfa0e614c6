// Removal of marked lines from a batch file, on the text and on real files.
#include "restore/BatchEditor.h"
#include "restore/BatchText.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(BatchText, FilterTable)
{
    struct Row { const char* input; const char* marker; const char* expected; } rows[] = {
        {"PATH C:\\DOS\r\nC:\\AV\\QELCL.EXE /S\r\nSET X=1\r\n", "QELCL", "PATH C:\\DOS\r\nSET X=1\r\n"},
        {"a\nqelcl\nb\n", "QELCL", "a\r\nb\r\n"},                          // LF only, any case
        {"a\r\nQelCl here\nb", "QELCL", "a\r\nb"},                          // mixed ends, last line bare
        {"a\r\nb", "QELCL", "a\r\nb"},                                      // nothing dropped
        {"a\rb\r\nc\r\n", "QELCL", "a\rb\r\nc\r\n"},                       // a lone CR is text
        {"a\r\nb\r\n\x1A" "QELCL junk\r\n", "QELCL", "a\r\nb\r\n"},         // Ctrl-Z ends the text
        {"a\r\nb\x1A", "QELCL", "a\r\nb"},
        {"set path=c:\\progra~1\\morwa;c:\\dos\r\nrem\r\n", "C:\\PROGRA~1\\MORWA", "rem\r\n"},
        {"x qelcl\r\n", "qelcl", "x qelcl\r\n"},                            // lower-case marker: no match
        {"QELCL\r\n", "QELCL", ""},
        {"\r\n\r\n", "QELCL", "\r\n\r\n"},
        {"a\r\n", "", "a\r\n"},                                             // empty marker drops nothing
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].expected, FilterBatchLines(rows[i].input, rows[i].marker)) << "row " << i;
}

// The install directory's marker counts only as a whole path name.
TEST(BatchText, WholeNameMarkers)
{
    struct Row { const char* line; const char* marker; bool holds; } rows[] = {
        {"C:\\AV\\QELSCAN.EXE /BOOT", "C:\\AV", true},
        {"SET PATH=%PATH%;C:\\AV", "C:\\AV", true},                 // at the line's end
        {"PATH C:\\AV;C:\\DOS", "C:\\AV", true},
        {"\"C:\\AV\" /X", "C:\\AV", true},
        {"SET QEL=C:\\AV=1", "C:\\AV", true},
        {"SET\tX=C:\\AV\t", "C:\\AV", true},
        {"C:\\AVTOOLS\\AVCHECK.EXE /BOOT", "C:\\AV", false},      // a longer name
        {"SET AVTOOLS=C:\\AVTOOLS\\DATA", "C:\\AV", false},
        {"PATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND", "C:\\WIN", false},
        {"LH C:\\WINDOWS\\COMMAND\\DOSKEY.COM", "C:\\WIN", false},
        {"D:C:\\AV\\X.EXE", "C:\\AV", true},                      // ':' before it ends a name
        {"XC:\\AV\\X.EXE", "C:\\AV", false},                      // a letter before it does not
        {"C:\\AVX C:\\AV", "C:\\AV", true},                        // the second occurrence counts
        {"", "C:\\AV", false},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].holds, LineHoldsMarker(rows[i].line, rows[i].marker, MarkerMatch::kWholeName)) << "row " << i;
}

TEST(BatchText, LongLinesAreKeptOrDroppedWhole)
{
    std::string longLine(300, 'x');
    std::string markedLong = std::string(290, 'y') + "qelcl" + std::string(10, 'z');
    EXPECT_EQ("a\r\n" + longLine + "\r\nb\r\n",
              FilterBatchLines("a\n" + longLine + "\nb\n", "QELCL"));
    // The marker near the end of a long line drops the whole line; nothing of it is glued
    // onto the next line.
    EXPECT_EQ("a\r\nb\r\n", FilterBatchLines("a\r\n" + markedLong + "\r\nb\r\n", "QELCL"));
}

class BatchFileTest : public ::testing::Test {
protected:
    ScratchDir dir{"batch"};
    std::string path = dir / "autoexec.bat";
};

TEST_F(BatchFileTest, RewritesInPlaceAndCutsTheFile)
{
    std::string original = "@ECHO OFF\r\nC:\\PROGRA~1\\MORWA\\QELCL.EXE\r\nPATH C:\\WINDOWS;C:\\DOS\r\n"
                           "REM " + std::string(400, '-') + "\r\n";
    WriteTextFile(path, original);
    RemoveBatchLines(path.c_str(), "QELCL");
    EXPECT_EQ("@ECHO OFF\r\nPATH C:\\WINDOWS;C:\\DOS\r\nREM " + std::string(400, '-') + "\r\n",
              ReadTextFile(path));
}

TEST_F(BatchFileTest, LineEndsBecomeCrLfEvenWithoutADrop)
{
    WriteTextFile(path, "a\nb\nc");
    RemoveBatchLines(path.c_str(), "QELCL");
    EXPECT_EQ("a\r\nb\r\nc", ReadTextFile(path));
}

TEST_F(BatchFileTest, MissingEmptyAndReadOnlyFilesAreLeftAlone)
{
    RemoveBatchLines(path.c_str(), "QELCL");
    EXPECT_FALSE(FileExists(path));

    WriteTextFile(path, "");
    RemoveBatchLines(path.c_str(), "QELCL");
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ("", ReadTextFile(path));

    WriteTextFile(path, "QELCL\nkeep\n");
    SetAttributes(path, FILE_ATTRIBUTE_READONLY);
    RemoveBatchLines(path.c_str(), "QELCL");
    EXPECT_EQ("QELCL\nkeep\n", ReadTextFile(path));
    SetAttributes(path, FILE_ATTRIBUTE_NORMAL);
}

TEST_F(BatchFileTest, EveryLineMarkedLeavesAnEmptyFile)
{
    WriteTextFile(path, "qelcl one\r\nQELCL two\r\n");
    RemoveBatchLines(path.c_str(), "QELCL");
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ("", ReadTextFile(path));
}

}  // namespace
