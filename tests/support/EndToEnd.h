// End-to-end runs: the sample installation staged, uninstall.exe run on it as a process, snapshots
// before and after; and sentinels beside the installation that no run may touch.
#pragma once
#include "tests/support/Staging.h"
#include "tests/support/TestSupport.h"
#include <string>
#include <vector>

namespace testing_support {

extern const char kSampleInstallDir[];  // "C:\Program Files\Morwa Antivirus\"
extern const char kProductKeyName[];    // "HKLM\Software\Morwa Software\Morwa Antivirus 6.0"

// A path below the sample's install directory, and a file of the system directory.
std::string Install(const std::string& relative);
std::string System(const std::string& name);

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

    ~EndToEnd();
    // Stages the installation; false with error().
    bool Stage();
    // Runs "<install dir>uninstall.exe <tokens>" with C:\windows as its current directory (so that
    // "\" is C:\ and not Wine's Z:\) and waits at most timeoutMs; a process still running then is
    // terminated and the run says it did not finish.
    EndToEndRun Run(const std::string& tokens, unsigned long timeoutMs = 120000);
    // The same in two halves, for runs that show a window the test must answer: Start takes the
    // snapshot before and starts the process (false when it could not); Finish waits for it.
    bool Start(const std::string& tokens);
    unsigned long processId() const { return processId_; }
    EndToEndRun Finish(unsigned long timeoutMs = 120000);
    // Whether Finish waits for the processes the uninstaller started (the self-removal batch) to
    // end before it takes the snapshot after the run; on by default. A test that holds the
    // executable open keeps the batch looping and looks at it meanwhile: it turns this off.
    void WaitForItsProcesses(bool wait) { waitForChildren_ = wait; }
    // The report of a run, for failure messages.
    std::string Report(const EndToEndRun& run) const;

    staging::Installation& installation() { return installation_; }
    staging::Options& options() { return options_; }
    const std::string& installDir() const { return installation_.installDir(); }
    const std::string& error() const { return installation_.error(); }

    // The version manager's call log: EnableVersionManagerLog writes the kolbex.ini that turns it
    // on; VersionManagerCalls gives its lines, such as KOLBEX_LEERREGISTRY() -> "7", "1023" and
    // KOLBEX_ESCRIBIRREGISTRY("7", "1022"), and clears the log for the next run.
    void EnableVersionManagerLog();
    std::vector<std::string> VersionManagerCalls();

private:
    staging::Options options_;
    std::string description_;
    staging::Installation installation_;
    EndToEndRun pending_;
    void* process_ = nullptr;
    unsigned long processId_ = 0;
    unsigned long startTicks_ = 0;
    bool waitForChildren_ = true;
};

// Snapshot items are "file C:\...", "directory C:\...\", "key HKLM\..." and "value HKLM\...\name";
// the helpers below take names without the kind: a path, or a registry path such as HKCU\Software\X.
// A name covers the item of that name and everything below it.

// The removed items of a run that none of `allowed` covers: what the run should not have touched.
std::vector<std::string> RemovedOutside(const staging::Difference& difference,
                                        const std::vector<std::string>& allowed);
// The names of `gone` that still have an item at or below them after the run.
std::vector<std::string> StillPresent(const staging::Snapshot& after, const std::vector<std::string>& gone);
// The names of `kept` that lost an item at or below them in the run.
std::vector<std::string> LostFrom(const staging::Difference& difference, const std::vector<std::string>& kept);

// A message box shown by another process: its caption and text, as the window gives them.
struct MessageBoxSeen {
    std::string caption;
    std::string text;
};
// Waits at most timeoutMs for a dialog window of the process, reads its caption and its longest
// static text, and presses the button with `buttonId`. False when no dialog showed.
bool AnswerMessageBox(unsigned long processId, int buttonId, unsigned long timeoutMs, MessageBoxSeen* seen);

// Waits at most timeoutMs until the self-removal batch ("autodel.bat" in the temporary directory)
// has deleted itself; true when it is gone. A run that does not remove itself leaves none.
bool WaitForRemovalBatch(unsigned long timeoutMs);

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
