// The removal log: the switch that asks for it, the retry value that carries it, its lines and
// its file, and a log that cannot be written.
#include "log/LogText.h"
#include "log/RemovalLog.h"
#include "app/RunContext.h"
#include "app/SelfRemovalText.h"
#include "app/CommandLine.h"
#include "rules/PathForms.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstdarg>
#include <cstring>

using namespace testing_support;

namespace {

TEST(LogSwitch, FifthTokenForms)
{
    struct Row { const char* line; bool requested; const char* path; bool preview = false; } rows[] = {
        {"q.ini 4 0 2 /LOG", true, ""},
        {"q.ini 4 0 2 /log", true, ""},
        {"q.ini 4 0 2\t/Log  ", true, ""},
        {"q.ini 4 0 2 /LOG=C:\\support\\run.txt", true, "C:\\support\\run.txt"},
        {"q.ini 4 0 2 /LOG=\"C:\\My Logs\\run.txt\"", true, "C:\\My Logs\\run.txt"},
        {"q.ini 4 0 2 /LOG=\"C:\\My Logs\\run.txt\" more", true, "C:\\My Logs\\run.txt"},
        {"q.ini 4 0 2 /LOG=", true, ""},  // the default place
        {"q.ini 4 0 2 /LOG=run.txt trailing", true, "run.txt"},
        // Not the switch: another word, an unclosed or run-on quote, a sixth token.
        {"q.ini 4 0 2 /LOGS", false, ""},
        {"q.ini 4 0 2 /LO", false, ""},
        {"q.ini 4 0 2 /LOG=\"C:\\My Logs", false, ""},
        {"q.ini 4 0 2 /LOG=\"C:\\x\"y", false, ""},
        {"q.ini 4 0 2 /LOG=2\"q", false, ""},
        {"q.ini 4 0 2 extra /LOG", false, ""},
        {"q.ini 4 0 2/LOG", false, ""},  // the tail of the fourth token, not a token of its own
        // Only after four tokens: a switch in place of the fourth is no number and ends the scan.
        {"q.ini 4 0 /LOG", false, ""},
        {"q.ini /LOG", false, ""},
        {"q.ini 4 0 2", false, ""},
        // The preview, a token of its own, before or after the log switch, in any case.
        {"q.ini 4 0 2 /PREVIEW", false, "", true},
        {"q.ini 4 0 2 /preview /LOG=C:\\x.txt", true, "C:\\x.txt", true},
        {"q.ini 4 0 2 /LOG=\"C:\\My Logs\\x.txt\" /Preview", true, "C:\\My Logs\\x.txt", true},
        {"q.ini 4 0 2 /LOG /LOG=C:\\x.txt", true, ""},  // one log switch: the first
        {"q.ini 4 0 2 /PREVIEWS", false, ""},
        {"q.ini 4 0 2/PREVIEW", false, ""},
        {"q.ini 4 0 2 extra /PREVIEW", false, ""},
        {"q.ini 4 0 /PREVIEW", false, ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        CommandLineFields fields = ScanCommandLine(rows[i].line);
        EXPECT_EQ(rows[i].requested, fields.logRequested) << "row " << i;
        EXPECT_EQ(rows[i].path, fields.logPath) << "row " << i;
        EXPECT_EQ(rows[i].preview, fields.preview) << "row " << i;
    }
    // The four tokens read as they do without the switch.
    CommandLineFields with = ScanCommandLine("q.ini 4 16 0x2 /LOG=x.txt");
    CommandLineFields without = ScanCommandLine("q.ini 4 16 0x2");
    EXPECT_EQ(without.manifestName, with.manifestName);
    EXPECT_EQ(without.productBit, with.productBit);
    EXPECT_EQ(without.actionFlags, with.actionFlags);
    EXPECT_EQ(without.runMode, with.runMode);
    EXPECT_EQ(4, with.fieldsRead);
}

// The retry run gets the switch; without a log the value is byte for byte the one written before
// logs existed, and a switch that would not fit is dropped, never the retry.
TEST(LogSwitch, RetryValueCarriesItOnlyWhenItFits)
{
    char plain[kRetryTextSize];
    char logged[kRetryTextSize];
    bool withLog = true;
    ASSERT_TRUE(ComposeRetryText("C:\\AV\\", "q.ini 4 0 2", plain, sizeof plain));
    ASSERT_TRUE(ComposeRetryTextWithLog("C:\\AV\\", "q.ini 4 0 2", "", logged, sizeof logged, &withLog));
    EXPECT_FALSE(withLog);
    EXPECT_EQ(0, std::memcmp(plain, logged, sizeof plain));

    ASSERT_TRUE(ComposeRetryTextWithLog("C:\\AV\\", "q.ini 4 0 2", "C:\\My Logs\\run.txt", logged,
                                        sizeof logged, &withLog));
    EXPECT_TRUE(withLog);
    EXPECT_STREQ("C:\\AV\\uninstall.exe q.ini 4 0 2 /LOG=\"C:\\My Logs\\run.txt\"", logged);
    for (size_t k = std::strlen(logged); k < sizeof logged; ++k) ASSERT_EQ('\0', logged[k]) << k;
    // What the retry run scans from that text.
    CommandLineFields fields = ScanCommandLine(std::strchr(logged, ' ') + 1);
    EXPECT_EQ(2, fields.runMode);
    EXPECT_TRUE(fields.logRequested);
    EXPECT_EQ("C:\\My Logs\\run.txt", fields.logPath);

    // 31 characters of program and tokens and 8 of the switch: a path of 215 fills the 254.
    std::string longest = "C:\\" + std::string(212, 'p');
    ASSERT_TRUE(ComposeRetryTextWithLog("C:\\AV\\", "q.ini 4 0 2", longest, logged, sizeof logged, &withLog));
    EXPECT_TRUE(withLog);
    EXPECT_EQ(254u, std::strlen(logged));
    ASSERT_TRUE(ComposeRetryTextWithLog("C:\\AV\\", "q.ini 4 0 2", longest + "p", logged, sizeof logged,
                                        &withLog));
    EXPECT_FALSE(withLog);
    EXPECT_EQ(0, std::memcmp(plain, logged, sizeof plain));
    ASSERT_TRUE(ComposeRetryTextWithLog("C:\\AV\\", "q.ini 4 0 2", "C:\\a\"b.txt", logged, sizeof logged,
                                        &withLog));
    EXPECT_FALSE(withLog);
    EXPECT_EQ(0, std::memcmp(plain, logged, sizeof plain));
    // A retry that does not fit without the switch does not fit with it either.
    EXPECT_FALSE(ComposeRetryTextWithLog("C:\\AV\\", std::string(235, 'r'), "C:\\l.txt", logged,
                                         sizeof logged, &withLog));
}

// FormatLogDetails without the compiler's format check, so that damaged formats can be tried.
std::string Details(const char* format, ...)
{
    char buffer[64];
    LineWriter line(buffer, sizeof buffer);
    va_list arguments;
    va_start(arguments, format);
    FormatLogDetails(line, format, arguments);
    va_end(arguments);
    return buffer;
}

TEST(LogText, DetailsFromAFormat)
{
    EXPECT_EQ("a -5 4294967295 18446744073709551615 ff", Details("a %d %lu %llu %x", -5, 4294967295ul,
                                                                 18446744073709551615ull, 255u));
    EXPECT_EQ("[] [x]", Details("[%s] [%s]", static_cast<const char*>(nullptr), "x"));
    // Conversions it does not know are written as they stand and read no argument.
    EXPECT_EQ("%q 7 %5d %lllu %", Details("%q %d %5d %lllu %", 7));
    EXPECT_EQ("50% done", Details("50%% done"));
}

TEST(LogText, OnlyAFileBeginningAsALineIsALog)
{
    struct Row { const char* head; bool log; } rows[] = {
        {"", true},  // empty: a log just begun
        {"2026-12-09 17:15:31.123 START", true},
        {"1999-07-02 ", true},
        {"[windows]\r\nload=", false},
        {"2026-12-09", false},  // too short to tell
        {"2026/12/09 17:15", false},
        {"20a6-12-09 17:15", false},
        {"2026-12-0917:15:3", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.log, BeginsLikeLog(row.head, std::min<size_t>(11, std::strlen(row.head)))) << row.head;
}

TEST(LogText, LinesAndPaths)
{
    char buffer[64];
    LineWriter line(buffer, sizeof buffer);
    WriteLineStart(line, 2026, 12, 9, 7, 5, 3, 4, "KEY");
    EXPECT_STREQ("2026-12-09 07:05:03.004 KEY      ", buffer);
    line = LineWriter(buffer, sizeof buffer);
    WriteLineStart(line, 2026, 12, 9, 7, 5, 3, 4, "SELFREMOVAL");
    EXPECT_STREQ("2026-12-09 07:05:03.004 SELFREMOVAL ", buffer);
    EXPECT_STREQ(" (access denied)", LogErrorName(5));
    EXPECT_STREQ(" (in use)", LogErrorName(32));
    EXPECT_STREQ("", LogErrorName(87));
    // A full buffer takes nothing more and stays terminated.
    char small[8];
    std::memset(small, 'Z', sizeof small);
    line = LineWriter(small, 6);
    line.Text("abcdefgh");
    line.Number(123);
    EXPECT_STREQ("abcde", small);
    EXPECT_EQ('Z', small[6]);

    char path[260];
    ASSERT_TRUE(LogPathFor("", "C:\\TEMP\\", path, sizeof path));
    EXPECT_STREQ("C:\\TEMP\\Morwa Uninstall Log.txt", path);
    ASSERT_TRUE(LogPathFor("", "", path, sizeof path));
    EXPECT_STREQ("C:\\Morwa Uninstall Log.txt", path);
    ASSERT_TRUE(LogPathFor("D:\\x.txt", "C:\\TEMP\\", path, sizeof path));
    EXPECT_STREQ("D:\\x.txt", path);
    EXPECT_FALSE(LogPathFor(("C:\\" + std::string(257, 'x')).c_str(), "C:\\TEMP\\", path, sizeof path));
    EXPECT_STREQ("", path);
    EXPECT_FALSE(LogPathFor("", ("C:\\" + std::string(235, 't') + "\\").c_str(), path, sizeof path));
}

class RemovalLogFile : public ::testing::Test {
protected:
    ScratchDir dir{"log"};
    void TearDown() override { removal_log::Close(); }
    std::vector<std::string> Lines(const std::string& path)
    {
        std::vector<std::string> lines;
        std::string text = ReadTextFile(path);
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(text.substr(start, end - start));
        EXPECT_EQ(text.size(), start) << "every line ends with CR LF";
        return lines;
    }
};

TEST_F(RemovalLogFile, KeepsLinesUntilOpenThenAppendsWithCounts)
{
    std::string path = dir / "run.txt";
    const std::string earlier = "2026-12-09 17:15:31.123 END      removed 0 refused 0 left 0";  // an earlier run's
    WriteTextFile(path, earlier + "\r\n");
    removal_log::Request(path);
    LOG_LINE("START", "command line: %s", "q.ini 4 0 0 /LOG");
    EXPECT_EQ(earlier + "\r\n", ReadTextFile(path));  // nothing written before Open
    removal_log::Open(nullptr);
    EXPECT_EQ(path, std::string(removal_log::Path()));
    std::string file = "C:\\x.dll";
    LOG_OUTCOME(kRemoved, "FILE", "deleted %s", file.c_str());
    LOG_OUTCOME(kLeft, "FILE", "left %s " LOG_ERROR_FORMAT, "C:\\y.dll", LOG_ERROR_ARGS(5));
    LOG_OUTCOME(kRefused, "TREE", "refused by rule %s: %s", "protected-directory", "C:\\WINDOWS\\");
    LOG_LINE("MASKS", "read %u %d %lu %lld %x %c 100%%", 7u, -1, 4294967295ul, -9000000000ll, 255u, 'z');
    removal_log::Close();
    EXPECT_FALSE(removal_log::on);

    std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(7u, lines.size());
    EXPECT_EQ(earlier, lines[0]);
    // "2026-12-09 17:15:31.123 " then the keyword in a column of eight.
    for (size_t i = 1; i < lines.size(); ++i) {
        ASSERT_GT(lines[i].size(), 33u) << lines[i];
        EXPECT_EQ('-', lines[i][4]) << lines[i];
        EXPECT_EQ('.', lines[i][19]) << lines[i];
    }
    EXPECT_EQ("START    command line: q.ini 4 0 0 /LOG", lines[1].substr(24));
    EXPECT_EQ("FILE     deleted C:\\x.dll", lines[2].substr(24));
    EXPECT_EQ("FILE     left C:\\y.dll error 5 (access denied)", lines[3].substr(24));
    EXPECT_EQ("TREE     refused by rule protected-directory: C:\\WINDOWS\\", lines[4].substr(24));
    EXPECT_EQ("MASKS    read 7 -1 4294967295 -9000000000 ff z 100%", lines[5].substr(24));
    EXPECT_EQ("END      removed 1 refused 1 left 1", lines[6].substr(24));
}

TEST_F(RemovalLogFile, LongLinesAreCutNotOverrun)
{
    std::string path = dir / "long.txt";
    removal_log::Request(path);
    removal_log::Open(nullptr);
    std::string huge(5000, 'x');
    LOG_LINE("FILE", "deleted %s and %s", huge.c_str(), huge.c_str());
    removal_log::Close();
    std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(kMaxLogLine - 3, lines[0].size());  // with CR LF and the buffer's terminator
    EXPECT_EQ(std::string::npos, lines[0].find(" and "));
}

TEST_F(RemovalLogFile, UnusablePlacesDropTheLog)
{
    // A directory, a missing directory, and a file inside the install directory in its long
    // and its short spelling (the entry keeps the log out of it).
    static std::string install;
    install = dir / "Install Directory";
    MakeDirectories(dir / "adir");
    MakeDirectories(install);
    char shortInstall[MAX_PATH] = "";
    ASSERT_NE(0u, GetShortPathNameA(install.c_str(), shortInstall, sizeof shortInstall));
    // And a file that is there and no removal log (a log that names win.ini, say): left as it is.
    const std::string settings = dir / "settings.ini";
    WriteTextFile(settings, "[windows]\r\nload=\r\n");
    const std::string places[] = {dir / "adir", dir / "missing\\run.txt", install + "\\run.txt",
                                  std::string(shortInstall) + "\\run.txt", settings};
    for (const std::string& place : places) {
        removal_log::Request(place);
        LOG_LINE("START", "x");
        removal_log::Open([](const char* path) { return !IsAtOrBelowInAnySpelling(path, install); });
        EXPECT_FALSE(removal_log::on) << place;
        EXPECT_STREQ("", removal_log::Path()) << place;
        LOG_OUTCOME(kRemoved, "FILE", "deleted %s", "C:\\x");  // nothing happens
        removal_log::Close();
    }
    EXPECT_FALSE(FileExists(dir / "missing\\run.txt"));
    EXPECT_FALSE(FileExists(install + "\\run.txt"));
    EXPECT_EQ("[windows]\r\nload=\r\n", ReadTextFile(settings));
}

TEST_F(RemovalLogFile, OffUnlessRequested)
{
    removal_log::Close();
    EXPECT_FALSE(removal_log::on);
    removal_log::Open(nullptr);
    EXPECT_FALSE(removal_log::on);
    EXPECT_STREQ("", removal_log::Path());
}

}  // namespace
