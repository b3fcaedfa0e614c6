// The command-line scan, the retry command line and the start-up's checks of names and paths.
#include "app/CommandLine.h"
#include <gtest/gtest.h>

namespace {

TEST(CommandLine, ScanTable)
{
    struct Row {
        const char* line;
        const char* name;
        uint32_t productBit;
        uint32_t actionFlags;
        int32_t runMode;
        int fieldsRead;
    } rows[] = {
        {"qel60_uninst.ini 1 0 1", "qel60_uninst.ini", 1, 0, 1, 4},
        {"qel60_uninst.ini 2 8 0", "qel60_uninst.ini", 2, 8, 0, 4},
        {"qel60_uninst.ini", "qel60_uninst.ini", 0, 0, 0, 1},
        {"  m.ini\t4 \t 0\r\n 2  ", "m.ini", 4, 0, 2, 4},
        {"m 1 2 3 more tokens", "m", 1, 2, 3, 4},
        // %i takes its base from the prefix.
        {"m 1 2 0x2", "m", 1, 2, 2, 4},
        {"m 1 2 02", "m", 1, 2, 2, 4},
        {"m 1 2 010", "m", 1, 2, 8, 4},
        {"m 1 2 0X1f", "m", 1, 2, 31, 4},
        {"m 1 2 08", "m", 1, 2, 0, 4},     // octal stops before the 8
        {"m 1 2 0x", "m", 1, 2, 0, 4},     // the 0 alone is the number
        {"m 1 2 0xg", "m", 1, 2, 0, 4},
        {"m 1 2 -1", "m", 1, 2, -1, 4},
        {"m 1 2 +7", "m", 1, 2, 7, 4},
        {"m 1 2 -0x10", "m", 1, 2, -16, 4},
        {"m 1 2 2147483647", "m", 1, 2, 2147483647, 4},
        {"m 1 2 2147483648", "m", 1, 2, 2147483647, 4},       // saturates like strtol
        {"m 1 2 -2147483649", "m", 1, 2, -2147483647 - 1, 4},
        {"m 1 2 0xFFFFFFFF", "m", 1, 2, 2147483647, 4},
        {"m 1 2 4294967298", "m", 1, 2, 2147483647, 4},       // never wraps round to 2
        {"m 1 2 x", "m", 1, 2, 0, 3},
        // %lu: decimal only, an optional sign, no blank needed after a number.
        {"m 1 z 1", "m", 1, 0, 0, 2},
        {"m z 1 1", "m", 0, 0, 0, 1},
        {"m 0x10 1 1", "m", 0, 0, 0, 2},   // reads the 0, then "x10" is no number
        {"m 010 1 1", "m", 10, 1, 1, 4},   // %lu is decimal even with a leading 0
        {"m -1 0 0", "m", 0xFFFFFFFFu, 0, 0, 4},
        {"m 12abc 3 1", "m", 12, 0, 0, 2},
        {"m 1-2 1", "m", 1, 0xFFFFFFFEu, 1, 4},
        {"m + 1 1", "m", 0, 0, 0, 1},
        {"m 4294967295 4294967296 1", "m", 0xFFFFFFFFu, 0xFFFFFFFFu, 1, 4},
        {"m -4294967296 1 1", "m", 0xFFFFFFFFu, 1, 1, 4},
        {"Protecci\xF3n.ini 4 0 2", "Protecci\xF3n.ini", 4, 0, 2, 4},
        {"", "", 0, 0, 0, 0},
        {" \t ", "", 0, 0, 0, 0},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        CommandLineFields fields = ScanCommandLine(rows[i].line);
        EXPECT_EQ(rows[i].name, fields.manifestName) << "row " << i;
        EXPECT_EQ(rows[i].productBit, fields.productBit) << "row " << i;
        EXPECT_EQ(rows[i].actionFlags, fields.actionFlags) << "row " << i;
        EXPECT_EQ(rows[i].runMode, fields.runMode) << "row " << i;
        EXPECT_EQ(rows[i].fieldsRead, fields.fieldsRead) << "row " << i;
    }
}

TEST(CommandLine, RemovesItself)
{
    EXPECT_TRUE(RemovesItself(2, 0));
    EXPECT_TRUE(RemovesItself(2, 8));
    EXPECT_TRUE(RemovesItself(1, 0));
    EXPECT_FALSE(RemovesItself(1, 8));
    EXPECT_FALSE(RemovesItself(0, 0));
    EXPECT_FALSE(RemovesItself(3, 0));
}

TEST(CommandLine, RetryCommandLine)
{
    EXPECT_EQ("qel60_uninst.ini 2 8 2", FormatRetryCommandLine("qel60_uninst.ini", 2, 8));
    EXPECT_EQ("m 0 0 2", FormatRetryCommandLine("m", 0, 0));
    // The longest accepted name with the largest numbers fills the 256-byte buffer exactly.
    std::string longest = FormatRetryCommandLine(std::string(kMaxManifestNameChars, 'n'),
                                                 0xFFFFFFFFu, 0xFFFFFFFFu);
    EXPECT_EQ(255u, longest.size());
    EXPECT_EQ(" 4294967295 4294967295 2", longest.substr(kMaxManifestNameChars));
}

TEST(StartupChecks, InstallDirFromValue)
{
    std::string longDir = "C:\\" + std::string(255, 'd');  // 258 characters
    struct Row { std::string value; bool ok; std::string dir; } rows[] = {
        {"C:\\AV\\", true, "C:\\AV\\"},
        {"C:\\AV", true, "C:\\AV\\"},
        {"c:\\Program Files\\Morwa", true, "c:\\Program Files\\Morwa\\"},
        {"\\\\server\\share\\AV", true, "\\\\server\\share\\AV\\"},
        {longDir, true, longDir + "\\"},
        {longDir + "x", false, ""},           // 259 characters, and the backslash would overflow
        {longDir + "\\", true, longDir + "\\"},
        {"", false, ""},
        {"AV\\", false, ""},
        {"\\AV\\", false, ""},
        {"C:AV\\", false, ""},
        {"1:\\AV\\", false, ""},
        {"\\\\\\AV", false, ""},
        {"\\\\server", false, ""},                // a server without a share
        // Device forms pass every check of a protected directory.
        {"\\\\?\\C:\\", false, ""},
        {"\\\\.\\C:\\AV", false, ""},
        {"\\??\\C:\\AV", false, ""},
        {"//?/C:/AV", false, ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        std::string dir = "untouched";
        EXPECT_EQ(rows[i].ok, InstallDirFromValue(rows[i].value, &dir)) << "row " << i;
        EXPECT_EQ(rows[i].ok ? rows[i].dir : "untouched", dir) << "row " << i;
    }
}

}  // namespace
