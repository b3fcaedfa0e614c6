// uninstall.exe run silently on the sample installation with damaged manifests from a seeded
// generator: every run ends with 0 in time, every sentinel survives, and whatever goes from
// the watched places outside the install directory belonged to the installation.
// UNINST_MALFORMED_COUNT manifests (default 40) of the series UNINST_MALFORMED_SEED (default
// 1999); UNINST_MALFORMED_ONLY=n runs manifest n alone.
#include "tests/support/EndToEnd.h"
#include "tests/support/ManifestGenerator.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>

using namespace testing_support;

namespace {

const char kSentinelFile[] = "qelsentinel.txt";
const char kSentinelText[] = "sentinel: outside every installation";
const char kVendorKey[] = "Software\\Morwa Software";
// Siblings of the product key: "%ProgramRoot%" followed by anything but a backslash names them.
const char* const kProductSiblings[] = {"Software\\Morwa Software\\Morwa Antivirus 6.0 Sentinel",
                                        "Software\\Morwa Software\\Morwa Antivirus 6.0Sentinel"};

unsigned long EnvNumber(const char* name, unsigned long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtoul(text, nullptr, 10) : fallback;
}

std::string Directory(UINT(WINAPI* query)(LPSTR, UINT))
{
    char buffer[MAX_PATH] = "";
    query(buffer, sizeof buffer);
    return buffer;
}

std::string Parent(const std::string& directoryWithBackslash)
{
    std::string path = directoryWithBackslash.substr(0, directoryWithBackslash.size() - 1);
    return path.substr(0, path.rfind('\\'));
}

// Sentinels of this test beside those of EndToEnd.h: a file in the drive's root, the Program
// Files directory, the Windows and system directories and the sibling tree, and keys beside
// the product key. Made before the installation is staged, so that its clean-up, which takes
// away the keys it created, never counts them as its own.
class MoreSentinels {
public:
    explicit MoreSentinels(const malformed::Targets& targets)
        : vendorKeyExisted_(KeyExists(HKEY_LOCAL_MACHINE, kVendorKey))
    {
        for (const std::string& directory : {std::string("C:"), targets.programFiles, targets.windowsDir,
                                             targets.systemDir, targets.sentinelDir})
            files_.push_back(directory + "\\" + kSentinelFile);
        for (const std::string& file : files_) WriteTextFile(file, kSentinelText);
        for (const char* key : kProductSiblings) SetStringValue(HKEY_LOCAL_MACHINE, key, "Level", kSentinelText);
    }
    ~MoreSentinels()
    {
        for (const std::string& file : files_) DeleteFileA(file.c_str());
        for (const char* key : kProductSiblings) DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
        if (!vendorKeyExisted_) RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVendorKey);  // only when empty
    }
    std::vector<std::string> Missing() const
    {
        std::vector<std::string> missing;
        for (const std::string& file : files_)
            if (ReadTextFile(file) != kSentinelText) missing.push_back(file);
        for (const char* key : kProductSiblings)
            if (ReadStringValue(HKEY_LOCAL_MACHINE, key, "Level") != kSentinelText) missing.push_back(key);
        return missing;
    }

private:
    bool vendorKeyExisted_;
    std::vector<std::string> files_;
};

// ---- What lies in the watched places outside the install directory -------------------------

struct Watched {
    HKEY root;
    const char* rootName;  // as the installation's snapshots name it
    const char* path;
};
const Watched kWatchedKeys[] = {
    {HKEY_LOCAL_MACHINE, "HKLM", "Software"},
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Morwa Software"},
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Microsoft\\Windows\\CurrentVersion"},
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
    {HKEY_LOCAL_MACHINE, "HKLM", "System\\CurrentControlSet\\Services\\VxD"},
    {HKEY_CURRENT_USER, "HKCU", "Software"},
    {HKEY_CURRENT_USER, "HKCU", "Software\\Morwa Software"},
    {HKEY_CLASSES_ROOT, "HKCR", ""},
};
const Watched kRunKey = {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Run"};

using Names = std::set<std::string, staging::CaseLess>;

void AddDirectory(Names& names, const std::string& directory)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        names.insert(directory + "\\" + name + (isDirectory ? "\\" : ""));
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

void AddKeys(Names& names, const Watched& watched, bool values)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(watched.root, watched.path, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    std::string prefix = std::string(watched.rootName) + "\\" + watched.path + (*watched.path ? "\\" : "");
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD size = sizeof name;
        LONG result = values ? RegEnumValueA(key, i, name, &size, NULL, NULL, NULL, NULL)
                             : RegEnumKeyExA(key, i, name, &size, NULL, NULL, NULL, NULL);
        if (result != ERROR_SUCCESS) break;
        names.insert(prefix + name);
    }
    RegCloseKey(key);
}

Names Watch(const malformed::Targets& targets)
{
    Names names;
    for (const std::string& directory : {std::string("C:"), targets.programFiles, targets.windowsDir, targets.systemDir})
        AddDirectory(names, directory);
    for (const Watched& watched : kWatchedKeys) AddKeys(names, watched, false);
    AddKeys(names, kRunKey, true);
    return names;
}

// The failures the running test has reported so far.
int FailureCount()
{
    const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    int failures = 0;
    for (int i = 0; i < result->total_part_count(); ++i)
        if (result->GetTestPartResult(i).failed()) ++failures;
    return failures;
}

bool BelongsToInstallation(const std::string& name, const staging::Snapshot& before)
{
    std::string bare = name;
    if (!bare.empty() && bare.back() == '\\') bare.pop_back();
    return before.files.count(bare) || before.directories.count(name) || before.directories.count(bare + "\\") ||
           before.keys.count(bare) || before.values.count(bare);
}

// The series runs in four shards (manifest n in shard n % 4), so that the shards run side by side.
const unsigned kShards = 4;

class MalformedManifest : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override
    {
        installDir_ = kSampleInstallDir;
        targets_.installDir = installDir_;
        targets_.sentinelDir = installDir_.substr(0, installDir_.size() - 1) + " Sentinel";
        targets_.besideFile = installDir_.substr(0, installDir_.size() - 1) + "qelres.dll";
        targets_.programFiles = Parent(installDir_);
        targets_.windowsDir = Directory(GetWindowsDirectoryA);
        targets_.systemDir = Directory(GetSystemDirectoryA);
        targets_.fileName = kSentinelFile;
        sample_ = ReadTextFile(SourcePath("samples\\qel60_uninst.ini"));
        ASSERT_FALSE(sample_.empty());
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        batchPath_ = std::string(temp) + "autodel.bat";
    }

    // One run; every fault found is reported with the manifest's number and its damages.
    void RunOne(uint32_t seed, unsigned index);
    // (Re)creates the sentinels; before the installation is staged.
    void MakeSentinels();

    std::string installDir_;
    malformed::Targets targets_;
    std::string sample_;
    std::string batchPath_;
    std::unique_ptr<MoreSentinels> moreSentinels_;
    std::unique_ptr<Sentinels> sentinels_;
    std::unique_ptr<EndToEnd> run_;
};

void MalformedManifest::RunOne(uint32_t seed, unsigned index)
{
    malformed::Manifest manifest = malformed::Generate(sample_, targets_, seed, index);
    std::string what = "manifest " + std::to_string(index) + " of series " + std::to_string(seed) + " (" +
                       manifest.tokens + "):";
    for (const std::string& damage : manifest.damages) what += "\n  " + damage;
    SCOPED_TRACE(what);
    const int failuresBefore = FailureCount();

    std::string manifestPath = installDir_ + "qel60_uninst.ini";
    if (manifest.present) WriteTextFile(manifestPath, manifest.text);
    else DeleteFileA(manifestPath.c_str());
    DeleteFileA(batchPath_.c_str());
    Names watchedBefore = Watch(targets_);

    unsigned long timeout = 60000 + 300ul * manifest.moduleNames + (manifest.manyEntries ? 120000 : 0);
    EndToEndRun run = run_->Run(manifest.tokens, timeout);
    // A retry run hands its last deletions to the batch: let it finish before looking.
    for (int wait = 0; manifest.retryRun && FileExists(batchPath_) && wait < 100; ++wait) Sleep(100);

    EXPECT_TRUE(run.facts.started);
    EXPECT_TRUE(run.facts.finished) << "still running after " << timeout << " ms";
    EXPECT_EQ(0u, run.facts.exitCode);
    EXPECT_FALSE(manifest.retryRun && FileExists(batchPath_)) << "the removal batch did not end";
    std::vector<std::string> missing = sentinels_->Missing(), more = moreSentinels_->Missing();
    missing.insert(missing.end(), more.begin(), more.end());
    for (const std::string& sentinel : missing) ADD_FAILURE() << "sentinel gone or changed: " << sentinel;
    Names watchedAfter = Watch(targets_);
    for (const std::string& name : watchedBefore)
        if (!watchedAfter.count(name) && !BelongsToInstallation(name, run.before))
            ADD_FAILURE() << "removed outside the installation: " << name;

    const bool failed = FailureCount() > failuresBefore;
    if (failed) {
        std::string kept = "C:\\uninst-tests\\malformed-" + std::to_string(seed) + "-" + std::to_string(index) + ".ini";
        if (manifest.present) WriteTextFile(kept, manifest.text);
        ADD_FAILURE() << "manifest kept as " << kept << "\n" << run_->Report(run);
    }
    // Put the installation back for the next run, and the sentinels after a failure, so that
    // each fault is told against the manifest that made it.
    run_->installation().Cleanup();
    if (failed) MakeSentinels();
    ASSERT_TRUE(run_->Stage()) << run_->error();
}

void MalformedManifest::MakeSentinels()
{
    sentinels_.reset();
    moreSentinels_.reset();
    moreSentinels_.reset(new MoreSentinels(targets_));
    sentinels_.reset(new Sentinels(installDir_));
}

TEST_P(MalformedManifest, RunsEndCleanlyAndTouchNothingOutsideTheInstallation)
{
    const uint32_t seed = static_cast<uint32_t>(EnvNumber("UNINST_MALFORMED_SEED", 1999));
    const unsigned long count = EnvNumber("UNINST_MALFORMED_COUNT", 40);
    const char* only = std::getenv("UNINST_MALFORMED_ONLY");

    MakeSentinels();
    run_.reset(new EndToEnd(SampleOptions(installDir_)));
    ASSERT_TRUE(run_->Stage()) << run_->error();

    unsigned long first = only && *only ? std::strtoul(only, nullptr, 10) : 0;
    unsigned long last = only && *only ? first + 1 : count;
    DWORD start = GetTickCount();
    unsigned long ran = 0;
    for (unsigned long index = first; index < last && !HasFatalFailure(); ++index) {
        if (index % kShards != GetParam()) continue;
        RunOne(seed, static_cast<unsigned>(index));
        ++ran;
    }
    std::printf("%lu manifests of series %lu (shard %u of %u) in %lu s\n", ran, static_cast<unsigned long>(seed),
                GetParam(), kShards, (GetTickCount() - start) / 1000);

    run_.reset();
    sentinels_.reset();
    moreSentinels_.reset();
}

INSTANTIATE_TEST_SUITE_P(Shards, MalformedManifest, ::testing::Range(0u, kShards));

// The generator itself: the same numbers give the same manifest, and the series covers
// every kind of damage it knows within a few hundred manifests.
TEST(MalformedManifestGenerator, IsReproducibleAndVaried)
{
    std::string sample = ReadTextFile(SourcePath("samples\\qel60_uninst.ini"));
    ASSERT_FALSE(sample.empty());
    malformed::Targets targets{kSampleInstallDir, "C:\\Program Files\\Morwa Antivirus Sentinel",
                               "C:\\Program Files\\Morwa Antivirusqelres.dll", "C:\\Program Files",
                               "C:\\windows", "C:\\windows\\system", kSentinelFile};
    malformed::Manifest a = malformed::Generate(sample, targets, 7, 3), b = malformed::Generate(sample, targets, 7, 3);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.tokens, b.tokens);
    EXPECT_EQ(a.damages, b.damages);
    EXPECT_NE(a.text, malformed::Generate(sample, targets, 7, 4).text);

    std::set<std::string> kinds;
    unsigned few = 0;
    const unsigned total = 500;
    for (unsigned i = 0; i < total; ++i) {
        malformed::Manifest m = malformed::Generate(sample, targets, 1999, i);
        for (const std::string& damage : m.damages) kinds.insert(damage.substr(0, damage.find(':')));
        if (m.moduleNames <= 8) ++few;
    }
    for (const std::string& kind : malformed::DamageKinds()) EXPECT_EQ(1u, kinds.count(kind)) << kind;
    EXPECT_GT(few, total * 9 / 10) << "most manifests must meet few module names (200 ms each)";
}

}  // namespace
