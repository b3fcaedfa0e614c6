// End-to-end runs: the sample installation staged, uninstall.exe run on it as a process, snapshots
// before and after; and sentinels beside the installation that no run may touch.
#pragma once
#include "tests/support/Staging.h"
#include "tests/support/TestSupport.h"
#include <string>
#include <vector>

namespace testing_support {

extern const char kSampleInstallDir[];  // "C:\Program Files\Morwa Antivirus\"

// The sample description (samples\installation.ini) and options that stage it with the shipped binaries.
std::string SampleDescription();
staging::Options SampleOptions(const std::string& installDir = kSampleInstallDir);

struct EndToEndRun {
    staging::RunFacts facts;
    staging::Snapshot before;
    staging::Snapshot after;
};

// Stages an installation and runs the uninstaller on it; everything is undone when it goes.
class EndToEnd {
public:
    explicit EndToEnd(const staging::Options& options = SampleOptions(),
                      const std::string& description = SampleDescription());
    EndToEnd(const EndToEnd&) = delete;
    EndToEnd& operator=(const EndToEnd&) = delete;

    // Stages the installation; false with error().
    bool Stage();
    // Runs "<install dir>uninstall.exe <tokens>" with C:\windows as its current directory (so that
    // "\" is C:\ and not Wine's Z:\) and waits at most timeoutMs; a process still running then is
    // terminated and the run says it did not finish.
    EndToEndRun Run(const std::string& tokens, unsigned long timeoutMs = 120000);
    // The report of a run, for failure messages.
    std::string Report(const EndToEndRun& run) const;

    staging::Installation& installation() { return installation_; }
    staging::Options& options() { return options_; }
    const std::string& installDir() const { return installation_.installDir(); }
    const std::string& error() const { return installation_.error(); }

private:
    staging::Options options_;
    std::string description_;
    staging::Installation installation_;
};

// Files beside the install directory (a sibling directory whose name extends the install
// directory's, and a file named as if a backslash had been dropped), in the Windows and system
// directories, and registry keys and values next to the product's. Removed when it goes.
class Sentinels {
public:
    explicit Sentinels(const std::string& installDir);
    ~Sentinels();
    Sentinels(const Sentinels&) = delete;
    Sentinels& operator=(const Sentinels&) = delete;
    // Every sentinel that is gone or changed; empty when all survived.
    std::vector<std::string> Missing() const;

private:
    std::vector<std::pair<std::string, std::string>> files_;  // path, content
    std::string directory_;
};

}  // namespace testing_support
