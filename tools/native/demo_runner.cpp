// The demo: stages the sample installation, runs uninstall.exe on it and prints what the run removed and left.
#include "tests/support/LogStory.h"
#include "tests/support/ShellLinks.h"
#include "tests/support/Staging.h"
#include "tests/support/TestSupport.h"
#include <windows.h>
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
    "  --cleanup            undo the staging after the report (default: leave the result for inspection)\n";

struct Arguments {
    std::string description;
    std::string tokens = "qel60_uninst.ini 0 0 0";
    unsigned long timeoutSeconds = 300;
    bool cleanup = false;
    bool stageOnly = false;
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
