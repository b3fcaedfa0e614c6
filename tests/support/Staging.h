// Staging of a described product installation in the Wine prefix, its snapshots, and their report.
// Shared by the end-to-end tests and the demo runner, so it depends on nothing but Win32 and the
// standard library. The description format is documented at the top of samples/installation.ini.
#pragma once
#include "tests/support/Keys.h"
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace staging {

// ---- The description ---------------------------------------------------------------------------

enum class ItemKind { Directory, File, Line, Copy, OptionalCopy, Link, Key, StringValue, DwordValue, Note, Watch };

struct DescriptionItem {
    ItemKind kind;
    std::string target;  // PATH, KEY or ITEM as written
    std::string text;    // the text after '=', trimmed; empty when there is none
    int line;            // 1-based line number in the description
};

// Parses a description. Returns false with `error` naming the line when a line is malformed.
bool ParseDescription(const std::string& text, std::vector<DescriptionItem>& items, std::string& error);

// Replaces every {name} of `text` by its value. Returns false with `error` on an unknown or
// unclosed macro.
bool ExpandMacros(const std::string& text, const std::map<std::string, std::string>& macros,
                  std::string& expanded, std::string& error);

// A registry path split into its root ("HKLM", "HKCU", "HKCR", "HKU", also given as full root
// names) and the path below it. False when the root is unknown or the path below it is empty.
bool SplitRegistryPath(const std::string& text, std::string& root, std::string& below);

// ---- Snapshots ---------------------------------------------------------------------------------

// Names are compared without regard to case, as the file system and registry compare them.
struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
using Entries = std::map<std::string, std::string, CaseLess>;  // name -> detail

// What the installation holds at one moment. Files and directories are full paths (directories
// end with a backslash); keys are "HKLM\path"; values are "HKLM\path\name" ("@" the default).
struct Snapshot {
    Entries files;        // detail: size and attributes
    Entries directories;  // detail: empty
    Entries keys;         // detail: empty
    Entries values;       // detail: type and data
    std::map<std::string, std::string, CaseLess> texts;  // whole text of each `line` and `watch` file present
    std::optional<std::string> installedProducts;       // the masks in the version manager's store
    std::optional<std::string> installedModules;
    std::optional<std::string> retryCommand;            // RunOnce "QELUninstTry"
};

struct Difference {
    std::vector<std::string> removed;    // "file C:\..." and so on, in before's order
    std::vector<std::string> remaining;  // present before and after
    std::vector<std::string> added;      // present only after
    std::vector<std::string> changed;    // present in both with another detail: "name: old -> new"
};
Difference Compare(const Snapshot& before, const Snapshot& after);

// The report of one run: counts before and after, masks, the retry value, every remaining and added
// item with the reason that `reasonFor(kind, name)` gives (empty when unknown), changed values and
// the start-up texts before and after.
struct RunFacts {
    std::string commandLine;
    bool started = false;
    bool finished = false;
    unsigned long exitCode = 0;
    unsigned long milliseconds = 0;
};
std::string FormatReport(const RunFacts& run, const Snapshot& before, const Snapshot& after,
                         const std::function<std::string(const std::string&, const std::string&)>& reasonFor);

// ---- Staging -----------------------------------------------------------------------------------

struct Options {
    std::string installDir = "C:\\Program Files\\Morwa Antivirus\\";  // a trailing backslash is added
    std::string shipDir;     // {ship}: the shipped binaries' build tree
    std::string samplesDir;  // {samples}; empty: the description's own directory
    std::optional<unsigned long> language;           // "Language" instead of the description's
    std::optional<std::string> installedProducts;    // mask texts instead of the description's
    std::optional<std::string> installedModules;
    std::vector<std::string> omit;      // items left out, as written in the description or expanded
    std::vector<std::string> readOnly;  // files made read-only once staged (description paths)
};

// The product key, and the values that the uninstaller and the version manager use.
using testing_support::kProductKey;
using testing_support::kRunOnceKey;
using testing_support::kRetryValue;

// One staged installation. Everything Stage creates or changes is recorded and undone by Cleanup
// (and by the destructor): created files, directories and keys are removed, changed files and
// values are put back, and the retry value is deleted.
class Installation {
public:
    Installation() = default;
    ~Installation();
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    // Creates the installation. False, with error(), when the description cannot be read or
    // staged, or when the install directory exists and is not empty; what was made is kept for Cleanup.
    bool Stage(const std::string& descriptionPath, const Options& options);
    void Cleanup();
    // Drops the records, so that Cleanup and the destructor leave the installation as it is.
    void Keep();

    Snapshot Take() const;
    // Why an item of a snapshot is still there: what the system says (read-only, in use, not
    // empty) and the description's note, or empty when neither is known.
    std::string ReasonFor(const std::string& kind, const std::string& name) const;

    const std::string& error() const { return error_; }
    const std::string& installDir() const { return installDir_; }  // with a trailing backslash
    const std::vector<DescriptionItem>& items() const { return items_; }
    const std::vector<std::string>& skipped() const { return skipped_; }  // `copy?` sources not built
    // Expands the macros of this installation; a relative path is taken below the install directory.
    std::string Path(const std::string& described) const;
    std::string Expand(const std::string& text) const;

private:
    struct SavedFile { std::string path; bool existed; std::string content; unsigned long attributes; };
    struct SavedValue { std::string root, key, name; bool existed; unsigned long type; std::string data; };

    bool Fail(const DescriptionItem* item, const std::string& message);
    bool SetUpMacros(const Options& options, const std::string& descriptionPath);
    bool StageItem(const DescriptionItem& item, std::map<std::string, std::string, CaseLess>& texts);
    bool Omitted(const DescriptionItem& item) const;
    void MakeDirectory(const std::string& path);
    void RecordFile(const std::string& path);
    bool MakeKey(const std::string& root, const std::string& below);
    bool SetValue(const std::string& registryPath, unsigned long type, const std::string& data);
    bool InsideCreatedDirectory(const std::string& path) const;
    bool InsideCreatedKey(const std::string& root, const std::string& below) const;

    std::string error_;
    std::string installDir_;
    std::map<std::string, std::string> macros_;
    std::vector<DescriptionItem> items_;
    std::vector<std::string> omit_;
    std::vector<std::string> skipped_;
    std::vector<std::pair<std::string, std::string>> notes_;  // expanded item, text
    std::vector<std::string> createdDirectories_;              // outermost ones, in creation order
    std::vector<SavedFile> savedFiles_;
    std::vector<std::pair<std::string, std::string>> createdKeys_;  // root, path below it
    std::vector<SavedValue> savedValues_;
    bool staged_ = false;
};

}  // namespace staging
