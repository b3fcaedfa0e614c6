// The demo: stages the sample installation, runs uninstall.exe on it and prints what the run removed and left.
#include "tests/support/LogStory.h"
#include "tests/support/ShellLinks.h"
#include "tests/support/Staging.h"
#include "tests/support/TestSupport.h"
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <map>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: demo_runner [options] [manifest productBit actionFlags runMode]\n"
    "  Stages the described installation, runs uninstall.exe on it from C:\\windows with the given\n"
    "  tokens (default: qel60_uninst.ini 0 0 0) and prints the report.\n"
    "Options:\n"
    "  --description FILE   the installation to stage (default: samples\\installation.ini)\n"
    "  --install DIR        the install directory (default: C:\\Program Files\\Morwa Antivirus\\)\n"
    "  --ship DIR           the shipped binaries (default: the build tree this program belongs to)\n"
    "  --language N         the product's \"Language\" value instead of the description's\n"
    "  --read-only PATH     make a staged file read-only (relative to the install directory); repeatable\n"
    "  --omit ITEM          leave a described item out, as written in the description; repeatable\n"
    "  --stage-only         stage, print the install directory and stop: no run, no report, no clean-up\n"
    "  --timeout SECONDS    how long to wait for uninstall.exe (default 300)\n"
    "  --cleanup            undo the staging after the report (default: leave the result for inspection)\n"
    "  --hooks              run the test variant uninstall-hooks.exe, staged as uninstall.exe\n"
    "  --cut-at N           (with --hooks) end the run as a power cut at its N-th change to the machine\n"
    "                       (UNINST_CUT_AT), then run the same command again; N 0 only counts the changes\n"
    "  --retry              then run the RunOnce value QELUninstTry, if one was written, as Windows would\n"
    "  --state FILE         write the end state to FILE, as text to compare with another run's\n";

struct Arguments {
    std::string description;
    std::string tokens = "qel60_uninst.ini 0 0 0";
    unsigned long timeoutSeconds = 300;
    bool cleanup = false;
    bool stageOnly = false;
    bool hooks = false;
    long cutAt = -1;  // no cut
    bool retry = false;
    std::string stateFile;
    staging::Options options;
};

// Reads the command line; false with a message when it is malformed.
bool ReadArguments(int argc, char** argv, Arguments& arguments, std::string& error)
{
    arguments.options.shipDir = testing_support::ShipPath("");
    arguments.options.samplesDir = testing_support::SourcePath("samples");
    arguments.description = arguments.options.samplesDir + "\\installation.ini";
    std::vector<std::string> tokens;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        bool hasValue = i + 1 < argc;
        if (word == "--cleanup") {
            arguments.cleanup = true;
        } else if (word == "--stage-only") {
            arguments.stageOnly = true;
        } else if (word == "--hooks") {
            arguments.hooks = true;
        } else if (word == "--retry") {
            arguments.retry = true;
        } else if (word.compare(0, 2, "--") == 0 && !hasValue) {
            error = word + " needs a value";
            return false;
        } else if (word == "--description") {
            arguments.description = argv[++i];
        } else if (word == "--install") {
            arguments.options.installDir = argv[++i];
        } else if (word == "--ship") {
            arguments.options.shipDir = argv[++i];
        } else if (word == "--language") {
            arguments.options.language = std::strtoul(argv[++i], NULL, 0);
        } else if (word == "--read-only") {
            arguments.options.readOnly.push_back(argv[++i]);
        } else if (word == "--omit") {
            arguments.options.omit.push_back(argv[++i]);
        } else if (word == "--cut-at") {
            arguments.cutAt = std::strtol(argv[++i], NULL, 10);
        } else if (word == "--state") {
            arguments.stateFile = argv[++i];
        } else if (word == "--timeout") {
            arguments.timeoutSeconds = std::strtoul(argv[++i], NULL, 10);
        } else if (word.compare(0, 2, "--") == 0) {
            error = "unknown option " + word;
            return false;
        } else {
            tokens.push_back(word);
        }
    }
    if (!tokens.empty()) {
        arguments.tokens.clear();
        for (const std::string& token : tokens) arguments.tokens += (arguments.tokens.empty() ? "" : " ") + token;
    }
    return true;
}

// The self-removal batch that a retry run or an interactive full removal starts as it ends.
std::string RemovalBatchPath()
{
    char temp[MAX_PATH] = "";
    DWORD length = GetTempPathA(sizeof temp, temp);
    return std::string(length && length < sizeof temp ? temp : "C:\\") + "autodel.bat";
}

// Waits at most 30 s for the batch to delete itself, its last command, so that the report shows
// what it removed. False when it is still there.
bool WaitForRemovalBatch(const std::string& batch)
{
    for (int wait = 0; wait < 300; ++wait) {
        if (GetFileAttributesA(batch.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
        Sleep(100);
    }
    return GetFileAttributesA(batch.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// True when the tokens ask for a preview (/PREVIEW, any case, a token of its own).
bool AsksForPreview(const std::string& tokens)
{
    std::string upper = tokens;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    size_t at = (" " + upper + " ").find(" /PREVIEW ");
    return at != std::string::npos;
}

// What a preview changed in the prefix, which must be nothing.
// The prefix before and after a preview; the stand-ins' own records of the calls made to them
// (which a preview still makes: it reads what the run reads) do not count.
std::string PreviewVerdict(const staging::Snapshot& before, const staging::Snapshot& after)
{
    std::string changes;
    for (const std::string& change : testing_support::Changes(before, after)) changes += "  " + change + "\n";
    if (changes.empty())
        return "Preview      : the prefix is unchanged: every file, directory, key, value, text and mask is as it was"
               " (the stand-ins' records of the calls aside)\n";
    return "Preview      : THE PREFIX CHANGED:\n" + changes;
}

bool IsShortcut(const std::string& path)
{
    if (path.size() < 4) return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension == ".lnk";
}

std::string DescribeShortcut(const std::string& path)
{
    if (!testing_support::FileExists(path)) return "(gone)";
    testing_support::ShellLinkFacts link = testing_support::ReadShellLink(path);
    if (!link.loaded) return "(not a shell link)";
    std::string text = "target \"" + link.target + "\", description \"" + link.description + "\"";
    if (!link.arguments.empty()) text += ", arguments \"" + link.arguments + "\"";
    return text;
}

// Every shortcut of the installation, read back with IShellLinkA before the run.
std::map<std::string, std::string> ReadShortcuts(const staging::Snapshot& snapshot)
{
    std::map<std::string, std::string> shortcuts;
    for (const auto& file : snapshot.files)
        if (IsShortcut(file.first)) shortcuts[file.first] = DescribeShortcut(file.first);
    return shortcuts;
}

std::string ShortcutReport(const std::map<std::string, std::string>& before)
{
    if (before.empty()) return std::string();
    std::string report = "Shortcuts, read back with IShellLinkA:\n";
    for (const auto& shortcut : before) {
        report += "  " + shortcut.first + "\n";
        report += "    before: " + shortcut.second + "\n";
        report += "    after : " + DescribeShortcut(shortcut.first) + "\n";
    }
    return report;
}

// ---- Runs cut short ------------------------------------------------------------------------

// The RunOnce value QELUninstTry, or "" when there is none.
std::string RetryCommand()
{
    HKEY key = NULL;
    std::string command;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, testing_support::kRunOnceKey, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return command;
    char text[1024] = "";
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, testing_support::kRetryValue, NULL, &type, reinterpret_cast<BYTE*>(text), &size) ==
            ERROR_SUCCESS && type == REG_SZ)
        command = text;
    RegCloseKey(key);
    return command;
}

// As Windows runs a RunOnce entry at the next start: the value goes first, then the command runs.
testing_support::ProcessResult RunRetryValue(const std::string& command, unsigned long timeoutMs)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, testing_support::kRunOnceKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, testing_support::kRetryValue);
        RegCloseKey(key);
    }
    return testing_support::RunProcess(command, "C:\\windows", timeoutMs);
}

// One run of the command, with the cut switch set to `cutAt` (none when negative); the batch a
// run starts as it ends is waited for. The exit code of the test variant with the switch is the
// number of changes the run made.
testing_support::ProcessResult RunOnce(const std::string& commandLine, long cutAt, unsigned long timeoutMs)
{
    SetEnvironmentVariableA("UNINST_CUT_AT", cutAt >= 0 ? std::to_string(cutAt).c_str() : NULL);
    const std::string batch = RemovalBatchPath();
    testing_support::ProcessResult process = testing_support::RunProcess(commandLine, "C:\\windows", timeoutMs);
    SetEnvironmentVariableA("UNINST_CUT_AT", NULL);
    if (GetFileAttributesA(batch.c_str()) != INVALID_FILE_ATTRIBUTES) WaitForRemovalBatch(batch);
    return process;
}

bool EndsWith(const std::string& text, const char* tail)
{
    const size_t length = std::strlen(tail);
    return text.size() >= length && text.compare(text.size() - length, length, tail) == 0;
}

// The end state as text, one line per item, so that two runs compare with diff. The stand-ins'
// call logs count as the set of calls made, whatever the order and the repeats: a second run
// asks the libraries again, and what counts is that every change was asked for.
std::string StateText(const staging::Snapshot& snapshot)
{
    std::string text;
    for (const auto& file : snapshot.files) {
        // A call log's size counts the repeated calls: its calls are compared below.
        text += "file " + file.first + " " + (EndsWith(file.first, ".log") ? "(a call log)" : file.second) + "\n";
        if (IsShortcut(file.first)) text += "shortcut " + file.first + " " + DescribeShortcut(file.first) + "\n";
    }
    for (const auto& directory : snapshot.directories) text += "directory " + directory.first + "\n";
    for (const auto& key : snapshot.keys) text += "key " + key.first + "\n";
    for (const auto& value : snapshot.values) text += "value " + value.first + " " + value.second + "\n";
    for (const auto& file : snapshot.texts) {
        std::string content = file.second;
        if (EndsWith(file.first, ".log")) {
            std::vector<std::string> lines;
            size_t start = 0;
            while (start < content.size()) {
                size_t end = content.find('\n', start);
                if (end == std::string::npos) end = content.size();
                std::string line = content.substr(start, end - start);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (!line.empty()) lines.push_back(line);
                start = end + 1;
            }
            std::sort(lines.begin(), lines.end());
            lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
            content.clear();
            for (const std::string& line : lines) content += "  call " + line + "\n";
        }
        text += "text " + file.first + ":\n" + content + "\n";
        // A replacement left beside a file a run rewrites.
        std::string replacement = file.first.substr(0, file.first.size() - 1) + "~";
        if (testing_support::FileExists(replacement)) text += "file " + replacement + " (a replacement left)\n";
    }
    text += "masks " + snapshot.installedProducts.value_or("(none)") + " " +
            snapshot.installedModules.value_or("(none)") + "\n";
    text += "retry " + snapshot.retryCommand.value_or("(none)") + "\n";
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);  // plain LF line ends for the terminal and for files
    Arguments arguments;
    std::string error;
    if (!ReadArguments(argc, argv, arguments, error)) {
        std::fprintf(stderr, "%s\n\n%s", error.c_str(), kUsage);
        return 2;
    }

    staging::Installation installation;
    if (!installation.Stage(arguments.description, arguments.options)) {
        std::fprintf(stderr, "Staging failed: %s\n", installation.error().c_str());
        return 1;
    }
    std::printf("Staged %s into %s\n", arguments.description.c_str(), installation.installDir().c_str());
    for (const std::string& skipped : installation.skipped())
        std::printf("  (not built, left out: %s)\n", skipped.c_str());
    if (arguments.stageOnly) {
        installation.Keep();
        return 0;
    }

    staging::RunFacts facts;
    facts.commandLine = "\"" + installation.installDir() + "uninstall.exe\" " + arguments.tokens;
    if (arguments.hooks) {
        // The test variant takes the program's place and name, so that it removes itself as the
        // program does.
        const std::string program = installation.installDir() + "uninstall.exe";
        if (!CopyFileA(testing_support::ShipPath("uninstall-hooks.exe").c_str(), program.c_str(), FALSE)) {
            std::fprintf(stderr, "The test variant could not be staged as %s\n", program.c_str());
            installation.Cleanup();
            return 1;
        }
    }
    if (arguments.cutAt >= 0 || !arguments.stateFile.empty()) {
        // Runs cut short: the first run cut at the n-th change, the same command again, the retry.
        const unsigned long timeoutMs = arguments.timeoutSeconds * 1000;
        DeleteFileA(RemovalBatchPath().c_str());
        testing_support::ProcessResult first = RunOnce(facts.commandLine, arguments.cutAt, timeoutMs);
        bool ok = first.started && first.finished;
        if (arguments.cutAt >= 0)
            std::printf("Changes      : %lu%s\n", first.exitCode,
                        arguments.cutAt > 0 && first.exitCode == static_cast<unsigned long>(arguments.cutAt)
                            ? " (cut there)" : " (the whole run)");
        if (arguments.cutAt > 0) {
            testing_support::ProcessResult again = RunOnce(facts.commandLine, -1, timeoutMs);
            // A cut after the self-removal began leaves no program to run again.
            ok = ok && (!again.started || again.finished);
        }
        const std::string retry = arguments.retry ? RetryCommand() : std::string();
        if (!retry.empty()) {
            std::printf("Retry run    : %s\n", retry.c_str());
            const std::string batch = RemovalBatchPath();
            testing_support::ProcessResult retried = RunRetryValue(retry, timeoutMs);
            if (GetFileAttributesA(batch.c_str()) != INVALID_FILE_ATTRIBUTES) WaitForRemovalBatch(batch);
            ok = ok && retried.finished;
        }
        if (!arguments.stateFile.empty()) {
            FILE* out = std::fopen(arguments.stateFile.c_str(), "wb");
            const std::string state = StateText(installation.Take());
            if (!out || std::fwrite(state.data(), 1, state.size(), out) != state.size()) ok = false;
            if (out) std::fclose(out);
        }
        if (arguments.cleanup) installation.Cleanup();
        else installation.Keep();
        return ok ? 0 : 1;
    }
    staging::Snapshot before = installation.Take();
    const std::string batch = RemovalBatchPath();
    DeleteFileA(batch.c_str());  // one left from an earlier run would look like this run's
    std::map<std::string, std::string> shortcutsBefore = ReadShortcuts(before);
    DWORD start = GetTickCount();
    testing_support::ProcessResult process =
        testing_support::RunProcess(facts.commandLine, "C:\\windows", arguments.timeoutSeconds * 1000);
    facts.milliseconds = GetTickCount() - start;
    facts.started = process.started;
    facts.finished = process.finished;
    facts.exitCode = process.exitCode;
    if (GetFileAttributesA(batch.c_str()) != INVALID_FILE_ATTRIBUTES)
        std::printf("\nSelf-removal : %s %s\n", batch.c_str(),
                    WaitForRemovalBatch(batch) ? "ran and deleted itself" : "still running after 30 s");
    staging::Snapshot after = installation.Take();

    std::printf("\n%s", staging::FormatReport(facts, before, after, [&installation](const std::string& kind,
                                                                                     const std::string& name) {
                            return installation.ReasonFor(kind, name);
                        }).c_str());
    std::string shortcuts = ShortcutReport(shortcutsBefore);
    if (!shortcuts.empty()) std::printf("\n%s", shortcuts.c_str());
    if (AsksForPreview(arguments.tokens)) std::printf("\n%s", PreviewVerdict(before, after).c_str());
    if (arguments.cleanup)
        installation.Cleanup();
    else
        installation.Keep();
    return facts.started && facts.finished ? 0 : 1;
}
