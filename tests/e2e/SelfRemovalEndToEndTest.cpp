// uninstall.exe and its own files: the retry run's self-removal batch, the runs that must not start
// it, and the RunOnce value of a run that refused a module.
#include "tests/support/Keys.h"
#include "tests/support/EndToEnd.h"
#include "tests/support/SavedKey.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const char kAccentedInstallDir[] = "C:\\Archivos de programa\\Protecci\xF3n\\";  // ANSI 1252
const char kPlainInstallDir[] = "C:\\MorwaAV\\";
// An en dash, which the OEM code page lacks: best fit would write "C:\Morwa-AV", another's folder.
const char kDashInstallDir[] = "C:\\Morwa\x96" "AV\\";
const char kDashNeighbour[] = "C:\\Morwa-AV\\uninstall.exe";
const DWORD kBatchWaitMs = 30000;  // the batch ends about 0.25 s after the program
const DWORD kQuietWaitMs = 1500;   // long enough for a batch, had one been started, to act

// The sample reduced to the Vantorix edition alone, so that its full removal (productBit 4) leaves
// nothing in the install directory but the program's own files: the other editions' directories
// and the stand-in libraries, which write their logs and read their settings beside them, are
// left out.
staging::Options VantorixOnly(const std::string& installDir)
{
    staging::Options options = SampleOptions(installDir);
    options.installedProducts = "4";
    options.omit = {"Base\\licence.key", "Base\\edition.ini", "Exchange\\licence.key", "Exchange\\edition.ini",
                    "qelsubs.dll", "qeltask.dll", "qelsubs.ini", "qeltask.ini"};
    return options;
}

// The temporary directory that the program will be given: TMP and TEMP set to `dir` for this
// process and so for the runs it starts, or left as they are when `dir` is empty.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(const std::string& dir)
    {
        for (size_t i = 0; i < 2; ++i) {
            char value[MAX_PATH] = "";
            saved_[i].present = GetEnvironmentVariableA(kNames[i], value, sizeof value) != 0;
            saved_[i].value = value;
            if (!dir.empty()) SetEnvironmentVariableA(kNames[i], dir.c_str());
        }
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        batch_ = std::string(temp) + "autodel.bat";
    }
    ~TemporaryDirectory()
    {
        for (size_t i = 0; i < 2; ++i)
            SetEnvironmentVariableA(kNames[i], saved_[i].present ? saved_[i].value.c_str() : NULL);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::string& batch() const { return batch_; }

private:
    static constexpr const char* kNames[2] = {"TMP", "TEMP"};
    struct Saved { bool present; std::string value; } saved_[2];
    std::string batch_;
};

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Waits at most `timeoutMs` for every path to be gone; returns those still there.
std::vector<std::string> WaitUntilGone(const std::vector<std::string>& paths, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<std::string> present;
        for (const std::string& path : paths)
            if (Exists(path)) present.push_back(path);
        if (present.empty() || GetTickCount() - start >= timeoutMs) return present;
        Sleep(100);
    }
}

// The batch for these paths as the command interpreter must read it: in the OEM code page.
std::string ExpectedBatch(const std::string& exe, const std::string& installDir, const std::string& batch)
{
    std::string text = ":Repeat\r\ndel \"" + exe + "\"\r\nrd \"" + installDir.substr(0, installDir.size() - 1) +
                       "\"\r\nif exist \"" + exe + "\" goto Repeat\r\nrmdir \"C:\"\r\ndel \"" + batch + "\"\r\n";
    std::vector<char> oem(text.size() + 1);
    CharToOemA(text.c_str(), oem.data());
    return oem.data();
}

std::string Join(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items) text += "\n  " + item;
    return text;
}

struct Case {
    const char* installDir;
    const char* tempDir;      // below a scratch directory; empty: the prefix's own
    const char* tokens;
    const char* readOnly;     // a staged file made read-only, or none
    bool holdExe;             // uninstall.exe held open (for reading only) until its batch is read
    bool removesItself;       // the manifest, kolbex.dll, uninstall.exe and autodel.bat go
    bool removesDirectory;    // and the install directory with them
    const char* retryTokens;  // what the RunOnce value runs after the executable, or none
};

// Which runs remove the program's own files, and that the batch does so from awkward paths.
// Only a retry run removes them, also when its driver refused a module (it never schedules another
// retry); a silent run never does, and one that refused a module leaves them to the retry that it
// schedules. The batch is read in the OEM code page and started by a quoted path when it holds a
// blank; a read-only executable is made deletable first.
TEST(SelfRemovalEndToEnd, OnlyARetryRunRemovesTheProgram)
{
    const Case cases[] = {
        {kSampleInstallDir, "", "qel60_uninst.ini 4 0 2", nullptr, false, true, true, nullptr},
        {kAccentedInstallDir, "", "qel60_uninst.ini 4 0 2", nullptr, false, true, true, nullptr},
        {kDashInstallDir, "", "qel60_uninst.ini 4 0 2", nullptr, false, true, true, nullptr},
        {kPlainInstallDir, "Temp del a\xF1o\\", "qel60_uninst.ini 4 0 0x2", nullptr, true, true, true, nullptr},
        {kPlainInstallDir, "", "qel60_uninst.ini 4 0 2", "uninstall.exe", false, true, true, nullptr},
        {kSampleInstallDir, "", "qel60_uninst.ini 4 0 0", nullptr, false, false, false, nullptr},
        {kSampleInstallDir, "", "qel60_uninst.ini 4 0 5", nullptr, false, false, false, nullptr},
        {kSampleInstallDir, "", "qel60_uninst.ini 4 0 0", "Engine\\qelsig.dat", false, false, false,
         "qel60_uninst.ini 4 0 2"},
        {kPlainInstallDir, "", "qel60_uninst.ini 4 0 2", "Engine\\qelsig.dat", false, true, false, nullptr},
    };
    SavedKey runOnce{HKEY_LOCAL_MACHINE, kRunOnceKey};  // a value left behind would run at the next start
    ScratchDir scratch{"selfremoval"};
    MakeDirectories("C:\\Morwa-AV");
    WriteTextFile(kDashNeighbour, "another product's");
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("row " + std::to_string(i) + ": " + c.installDir + " " + c.tokens);
        const std::string tempName = c.tempDir;
        const std::string tempDir = tempName.empty() ? "" : scratch / tempName;
        if (!tempDir.empty()) {
            MakeDirectories(tempDir);
            // What an unquoted command line would start instead of the batch: its first word + ".exe".
            char system[MAX_PATH] = "";
            GetSystemDirectoryA(system, sizeof system);
            std::string decoy = scratch / (tempName.substr(0, tempName.find(' ')) + ".exe");
            ASSERT_TRUE(CopyFileA((std::string(system) + "\\hostname.exe").c_str(), decoy.c_str(), FALSE));
        }
        TemporaryDirectory temporary(tempDir);
        const std::string batch = temporary.batch();
        DeleteFileA(batch.c_str());
        ASSERT_FALSE(Exists(batch));
        DeleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue);
        Sentinels sentinels(c.installDir);
        EndToEnd run(VantorixOnly(c.installDir));
        if (c.readOnly) run.options().readOnly.push_back(c.readOnly);
        run.WaitForItsProcesses(!c.holdExe);
        ASSERT_TRUE(run.Stage()) << run.error();
        const std::string dir = run.installDir();
        const std::string top = dir.substr(0, dir.size() - 1);
        const std::string exe = dir + "uninstall.exe";
        const std::string libraries[] = {dir + "qel60_uninst.ini", dir + "kolbex.dll"};

        // Shared for reading, so that the program can start but not be deleted.
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (c.holdExe) {
            holder = CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
            ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        }

        // Under Wine the hidden batch inherits the test's console and echoes its commands there.
        EndToEndRun result = run.Run(c.tokens);
        if (holder != INVALID_HANDLE_VALUE) {
            // The batch keeps trying while the executable is in use, from the temporary directory given.
            Sleep(kQuietWaitMs);
            EXPECT_TRUE(FileExists(exe));
            EXPECT_EQ(ExpectedBatch(exe, dir, batch), ReadTextFile(batch));
            CloseHandle(holder);
        }
        ASSERT_TRUE(result.facts.finished) << run.Report(result);

        // The manifest and the version manager go before the batch is written, within the run.
        for (const std::string& path : libraries) EXPECT_EQ(!c.removesItself, Exists(path)) << path;
        if (c.removesItself) {
            std::vector<std::string> left = WaitUntilGone({exe, batch}, kBatchWaitMs);
            EXPECT_TRUE(left.empty()) << "still there:" << Join(left) << "\n" << run.Report(result);
            if (c.removesDirectory) {
                left = WaitUntilGone({top}, kBatchWaitMs);
                EXPECT_TRUE(left.empty()) << "still there:" << Join(ListTree(top)) << "\n"
                                          << run.Report(result);
            } else {
                EXPECT_TRUE(Exists(dir + c.readOnly));  // the refused file keeps the directory
                EXPECT_TRUE(DirectoryExists(top));
            }
        } else {
            Sleep(kQuietWaitMs);
            EXPECT_TRUE(FileExists(exe));
            EXPECT_FALSE(Exists(batch));
            EXPECT_TRUE(DirectoryExists(top));
        }

        std::string retry = ReadStringValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue);
        if (c.retryTokens)
            EXPECT_EQ("\"" + exe + "\" " + c.retryTokens, retry);
        else
            EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue)) << retry;
        std::vector<std::string> missing = sentinels.Missing();
        EXPECT_TRUE(missing.empty()) << "sentinels gone or changed:" << Join(missing);
        EXPECT_EQ("another product's", ReadTextFile(kDashNeighbour)) << "the batch reached a best-fit neighbour";
    }
    DeleteFileA(kDashNeighbour);
    RemoveDirectoryA("C:\\Morwa-AV");
}

}  // namespace
