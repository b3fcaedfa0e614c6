// Staging of a described installation in the prefix, snapshots of it, and the report of a run.
#include "tests/support/Staging.h"
#include "tests/support/RegistryTree.h"
#include "tests/support/ShellLinks.h"
#include "tests/support/TestSupport.h"
#include <windows.h>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace staging {

using testing_support::DeleteKeyTree;
using testing_support::DirectoryExists;
using testing_support::FileExists;
using testing_support::ReadTextFile;
using testing_support::RemoveTree;
using testing_support::WriteTextFile;


namespace {

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool SameText(const std::string& a, const std::string& b)
{
    return Lower(a) == Lower(b);
}

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string WithoutTrailingBackslash(std::string path)
{
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

std::string ParentOf(const std::string& path)
{
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// True when `path` is `base` or lies below it (both without trailing backslash).
bool IsAtOrBelow(const std::string& path, const std::string& base)
{
    std::string p = Lower(WithoutTrailingBackslash(path)), b = Lower(WithoutTrailingBackslash(base));
    return p == b || (p.size() > b.size() && p.compare(0, b.size(), b) == 0 && p[b.size()] == '\\');
}

bool HasDrive(const std::string& path)
{
    return (path.size() >= 2 && path[1] == ':') || path.compare(0, 2, "\\\\") == 0;
}

struct RootName { const char* full; const char* shortName; HKEY key; };
const RootName kRoots[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_USERS", "HKU", HKEY_USERS},
};

HKEY RootKey(const std::string& shortName)
{
    for (const RootName& root : kRoots)
        if (shortName == root.shortName) return root.key;
    return NULL;
}

struct KindName { const char* word; ItemKind kind; bool needsText; bool allowsText; };
const KindName kKinds[] = {
    {"dir", ItemKind::Directory, false, false},  {"file", ItemKind::File, false, false},
    {"line", ItemKind::Line, false, true},       {"copy", ItemKind::Copy, true, true},
    {"copy?", ItemKind::OptionalCopy, true, true}, {"key", ItemKind::Key, false, false},
    {"sz", ItemKind::StringValue, false, true},  {"dword", ItemKind::DwordValue, true, true},
    {"note", ItemKind::Note, true, true},        {"watch", ItemKind::Watch, false, false},
    {"link", ItemKind::Link, true, true},
};

bool ParseNumber(const std::string& text, unsigned long& number)
{
    const char* start = text.c_str();
    int base = (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) ? 16 : 10;
    if (text.empty() || !std::isxdigit(static_cast<unsigned char>(text[0]))) return false;
    char* end = NULL;
    number = std::strtoul(start, &end, base);
    return *end == '\0';
}

std::string FileDetail(const std::string& path)
{
    WIN32_FIND_DATAA data;  // GetFileAttributesExA is missing on Windows 95
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return std::string();
    FindClose(find);
    std::string detail = std::to_string(data.nFileSizeLow) + " bytes";
    if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) detail += ", read-only";
    if (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) detail += ", hidden";
    if (data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) detail += ", system";
    return detail;
}

std::string ValueDetail(DWORD type, const BYTE* data, DWORD size)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::string text(reinterpret_cast<const char*>(data), size);
        text = text.substr(0, text.find('\0'));
        return std::string(type == REG_SZ ? "REG_SZ" : "REG_EXPAND_SZ") + " \"" + text + "\"";
    }
    if (type == REG_DWORD && size == 4) {
        DWORD number;
        std::memcpy(&number, data, 4);
        return "REG_DWORD " + std::to_string(number);
    }
    return "type " + std::to_string(type) + ", " + std::to_string(size) + " bytes";
}

void AddTree(Snapshot& snapshot, const std::string& directory)
{
    std::string base = WithoutTrailingBackslash(directory);
    if (!DirectoryExists(base)) return;
    snapshot.directories[base + "\\"] = std::string();
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((base + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!std::strcmp(entry.cFileName, ".") || !std::strcmp(entry.cFileName, "..")) continue;
        std::string child = base + "\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            AddTree(snapshot, child);
        else
            snapshot.files[child] = FileDetail(child);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

bool ReadValue(HKEY key, const std::string& name, DWORD& type, std::string& data)
{
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), NULL, &type, NULL, &size) != ERROR_SUCCESS) return false;
    data.assign(size, '\0');
    if (size && RegQueryValueExA(key, name.c_str(), NULL, &type, reinterpret_cast<BYTE*>(&data[0]),
                                 &size) != ERROR_SUCCESS)
        return false;
    data.resize(size);
    return true;
}

void AddKeyTree(Snapshot& snapshot, HKEY root, const std::string& rootName, const std::string& below)
{
    registry_tree::Walk(root, rootName, below, 1000, [&snapshot](const registry_tree::Key& key) {
        if (!key.opened) return;
        snapshot.keys[key.name] = std::string();
        for (const registry_tree::Value& value : key.values)
            snapshot.values[key.name + "\\" + (value.name.empty() ? "@" : value.name)] =
                ValueDetail(value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    });
}

std::optional<std::string> ReadOptionalString(HKEY root, const char* path, const char* name)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0;
    std::string data;
    bool found = ReadValue(key, name, type, data);
    RegCloseKey(key);
    if (!found) return std::nullopt;
    return data.substr(0, data.find('\0'));
}

std::string Indent(const std::string& text, const char* prefix)
{
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out += prefix + line + "\n";
        start = end + 1;
    }
    return out;
}

}  // namespace

// ---- The description ---------------------------------------------------------------------------

bool CaseLess::operator()(const std::string& a, const std::string& b) const
{
    return Lower(a) < Lower(b);
}

bool ParseDescription(const std::string& text, std::vector<DescriptionItem>& items, std::string& error)
{
    items.clear();
    size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line = Trim(line.substr(0, line.size() - 1));
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        size_t blank = line.find_first_of(" \t");
        std::string word = line.substr(0, blank);
        std::string rest = blank == std::string::npos ? std::string() : line.substr(blank);
        const KindName* kind = NULL;
        for (const KindName& k : kKinds)
            if (word == k.word) kind = &k;
        std::string where = "line " + std::to_string(number) + ": ";
        if (!kind) {
            error = where + "unknown item \"" + word + "\"";
            return false;
        }
        size_t equals = rest.find('=');
        DescriptionItem item{kind->kind, Trim(rest.substr(0, equals)), std::string(), number};
        if (equals != std::string::npos) item.text = Trim(rest.substr(equals + 1));
        if (item.target.empty()) {
            error = where + word + " names nothing";
            return false;
        }
        if (equals != std::string::npos && !kind->allowsText) {
            error = where + word + " takes no text";
            return false;
        }
        if (equals == std::string::npos && (kind->allowsText || kind->needsText)) {
            error = where + word + " needs \"= text\"";
            return false;
        }
        if (kind->needsText && item.text.empty()) {
            error = where + word + " needs a text after '='";
            return false;
        }
        unsigned long number32 = 0;
        if (item.kind == ItemKind::DwordValue && !ParseNumber(item.text, number32)) {
            error = where + "\"" + item.text + "\" is not a number";
            return false;
        }
        items.push_back(item);
    }
    return true;
}

bool ExpandMacros(const std::string& text, const std::map<std::string, std::string>& macros,
                  std::string& expanded, std::string& error)
{
    expanded.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '{' || text.compare(i, 2, "{{") == 0) {
            expanded += text[i];
            i += text[i] == '{';  // "{{" is a brace of the text itself, as in a GUID
            continue;
        }
        size_t close = text.find('}', i);
        if (close == std::string::npos) {
            error = "unclosed macro in \"" + text + "\"";
            return false;
        }
        auto found = macros.find(text.substr(i + 1, close - i - 1));
        if (found == macros.end()) {
            error = "unknown macro " + text.substr(i, close - i + 1);
            return false;
        }
        expanded += found->second;
        i = close;
    }
    return true;
}

bool SplitRegistryPath(const std::string& text, std::string& root, std::string& below)
{
    size_t slash = text.find('\\');
    std::string name = text.substr(0, slash);
    root.clear();
    for (const RootName& r : kRoots)
        if (SameText(name, r.full) || SameText(name, r.shortName)) root = r.shortName;
    if (root.empty() || slash == std::string::npos) return false;
    below = text.substr(slash + 1);
    while (!below.empty() && below.back() == '\\') below.pop_back();
    return !below.empty();
}

// ---- Snapshots and the report ------------------------------------------------------------------

Difference Compare(const Snapshot& before, const Snapshot& after)
{
    Difference difference;
    const std::pair<const char*, const Entries Snapshot::*> kinds[] = {
        {"file", &Snapshot::files}, {"directory", &Snapshot::directories},
        {"key", &Snapshot::keys}, {"value", &Snapshot::values}};
    for (const auto& kind : kinds) {
        const Entries& old = before.*kind.second;
        const Entries& now = after.*kind.second;
        for (const auto& entry : old) {
            auto found = now.find(entry.first);
            std::string item = std::string(kind.first) + " " + entry.first;
            if (found == now.end()) {
                difference.removed.push_back(item);
                continue;
            }
            difference.remaining.push_back(item);
            if (found->second != entry.second)
                difference.changed.push_back(item + ": " + entry.second + " -> " + found->second);
        }
        for (const auto& entry : now)
            if (!old.count(entry.first)) difference.added.push_back(std::string(kind.first) + " " + entry.first);
    }
    return difference;
}

std::string FormatReport(const RunFacts& run, const Snapshot& before, const Snapshot& after,
                         const std::function<std::string(const std::string&, const std::string&)>& reasonFor)
{
    char line[512];
    std::string out = "Command line : " + run.commandLine + "\n";
    if (!run.started)
        out += "Exit code    : the program did not start\n";
    else if (!run.finished)
        out += "Exit code    : none, still running at the time limit and terminated\n";
    else
        out += "Exit code    : " + std::to_string(run.exitCode) + "\n";
    std::snprintf(line, sizeof line, "Time taken   : %lu.%02lu s\n\n", run.milliseconds / 1000,
                  run.milliseconds % 1000 / 10);
    out += line;

    out += "                      before   after\n";
    const std::pair<const char*, const Entries Snapshot::*> counts[] = {
        {"files", &Snapshot::files}, {"directories", &Snapshot::directories},
        {"registry keys", &Snapshot::keys}, {"registry values", &Snapshot::values}};
    for (const auto& count : counts) {
        std::snprintf(line, sizeof line, "  %-18s %7u %7u\n", count.first,
                      static_cast<unsigned>((before.*count.second).size()),
                      static_cast<unsigned>((after.*count.second).size()));
        out += line;
    }
    auto mask = [](const std::optional<std::string>& value) { return value ? *value : std::string("(none)"); };
    out += "\nMasks        : InstalledProducts " + mask(before.installedProducts) + " -> " +
           mask(after.installedProducts) + ", InstalledModules " + mask(before.installedModules) + " -> " +
           mask(after.installedModules) + "\n";
    if (after.retryCommand && after.retryCommand != before.retryCommand)
        out += "RunOnce      : \"" + std::string(kRetryValue) + "\" = \"" + *after.retryCommand + "\"\n";
    else if (after.retryCommand)
        out += "RunOnce      : \"" + std::string(kRetryValue) + "\" was there already: \"" + *after.retryCommand + "\"\n";
    else
        out += "RunOnce      : no \"" + std::string(kRetryValue) + "\" value\n";

    Difference difference = Compare(before, after);
    out += "\nRemoved      : " + std::to_string(difference.removed.size()) + " items\n";
    auto list = [&](const char* title, const std::vector<std::string>& items, bool reasons) {
        out += "\n" + std::string(title) + " (" + std::to_string(items.size()) + ")" + (items.empty() ? ": none\n" : ":\n");
        for (const std::string& item : items) {
            out += "  " + item + "\n";
            if (!reasons) continue;
            size_t blank = item.find(' ');
            std::string reason = reasonFor ? reasonFor(item.substr(0, blank), item.substr(blank + 1)) : std::string();
            if (!reason.empty()) out += "      - " + reason + "\n";
        }
    };
    list("Remaining", difference.remaining, true);
    list("Added", difference.added, true);
    list("Changed", difference.changed, false);

    for (const auto& text : before.texts) {
        auto now = after.texts.find(text.first);
        if (now != after.texts.end() && now->second == text.second) continue;
        out += "\n" + text.first + " before:\n" + Indent(text.second, "  | ");
        out += text.first + (now == after.texts.end() ? " after: (gone)\n" : " after:\n");
        if (now != after.texts.end()) out += Indent(now->second, "  | ");
    }
    for (const auto& text : after.texts)
        if (!before.texts.count(text.first)) out += "\n" + text.first + " (written by the run):\n" + Indent(text.second, "  | ");
    return out;
}

// ---- Staging -----------------------------------------------------------------------------------

Installation::~Installation()
{
    Cleanup();
}

bool Installation::Fail(const DescriptionItem* item, const std::string& message)
{
    error_ = item ? "line " + std::to_string(item->line) + ": " + message : message;
    return false;
}

std::string Installation::Expand(const std::string& text) const
{
    std::string expanded, error;
    return ExpandMacros(text, macros_, expanded, error) ? expanded : text;
}

std::string Installation::Path(const std::string& described) const
{
    std::string path = Expand(described);
    return HasDrive(path) ? path : installDir_ + path;
}

bool Installation::SetUpMacros(const Options& options, const std::string& descriptionPath)
{
    char buffer[MAX_PATH];
    macros_.clear();
    macros_["install"] = installDir_;
    GetWindowsDirectoryA(buffer, sizeof buffer);
    macros_["windows"] = WithoutTrailingBackslash(buffer);
    GetSystemDirectoryA(buffer, sizeof buffer);
    macros_["system"] = WithoutTrailingBackslash(buffer);
    macros_["ship"] = WithoutTrailingBackslash(options.shipDir);
    macros_["samples"] = WithoutTrailingBackslash(options.samplesDir.empty() ? ParentOf(descriptionPath)
                                                                             : options.samplesDir);
    const char* folders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::optional<std::string> appData = ReadOptionalString(HKEY_CURRENT_USER, folders, "AppData");
    if (!appData || appData->empty()) {
        appData = macros_["windows"] + "\\Application Data";
        if (!SetValue(std::string("HKCU\\") + folders + "\\AppData", REG_SZ, *appData))
            return Fail(NULL, "cannot set the AppData shell folder");
    }
    macros_["appdata"] = WithoutTrailingBackslash(*appData);
    return true;
}

bool Installation::Stage(const std::string& descriptionPath, const Options& options)
{
    Cleanup();
    staged_ = true;
    error_.clear();
    installDir_ = options.installDir;
    if (installDir_.empty() || installDir_.back() != '\\') installDir_ += '\\';
    omit_ = options.omit;

    if (!FileExists(descriptionPath)) return Fail(NULL, "cannot read " + descriptionPath);
    if (!ParseDescription(ReadTextFile(descriptionPath), items_, error_)) return false;
    if (!SetUpMacros(options, descriptionPath)) return false;

    std::string top = WithoutTrailingBackslash(installDir_);
    if (DirectoryExists(top) && !testing_support::ListTree(top).empty())
        return Fail(NULL, "the install directory " + top + " exists and is not empty");
    MakeDirectory(top);
    if (!DirectoryExists(top)) return Fail(NULL, "cannot create " + top);
    char shortPath[MAX_PATH] = "";
    DWORD length = GetShortPathNameA(top.c_str(), shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath) return Fail(NULL, "no short form of " + top);
    macros_["installShort"] = shortPath;
    for (char& c : macros_["installShort"])
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');

    // Check every macro once, so that a typo fails the staging instead of landing in a name.
    for (const DescriptionItem& item : items_) {
        std::string expanded, error;
        if (!ExpandMacros(item.target, macros_, expanded, error) || !ExpandMacros(item.text, macros_, expanded, error))
            return Fail(&item, error);
    }

    std::map<std::string, std::string, CaseLess> texts;
    for (const DescriptionItem& item : items_)
        if (!Omitted(item) && !StageItem(item, texts)) return false;
    for (const auto& text : texts) {
        MakeDirectory(ParentOf(text.first));
        RecordFile(text.first);
        SetFileAttributesA(text.first.c_str(), FILE_ATTRIBUTE_NORMAL);
        WriteTextFile(text.first, text.second);
    }

    std::string product = std::string("HKLM\\") + kProductKey + "\\";
    if (options.language) {
        DWORD language = static_cast<DWORD>(*options.language);
        std::string data(reinterpret_cast<const char*>(&language), 4);
        if (!SetValue(product + "Language", REG_DWORD, data)) return Fail(NULL, "cannot set Language");
    }
    if (options.installedProducts && !SetValue(product + "InstalledProducts", REG_SZ, *options.installedProducts))
        return Fail(NULL, "cannot set InstalledProducts");
    if (options.installedModules && !SetValue(product + "InstalledModules", REG_SZ, *options.installedModules))
        return Fail(NULL, "cannot set InstalledModules");

    for (const std::string& described : options.readOnly) {
        std::string path = Path(described);
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Fail(NULL, "no file " + path + " to make read-only");
        SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
    }
    return true;
}

bool Installation::Omitted(const DescriptionItem& item) const
{
    for (const std::string& omitted : omit_) {
        if (SameText(omitted, item.target) || SameText(omitted, Expand(item.target))) return true;
        if (item.kind != ItemKind::Key && item.kind != ItemKind::StringValue &&
            item.kind != ItemKind::DwordValue && SameText(omitted, Path(item.target)))
            return true;
    }
    return false;
}

bool Installation::StageItem(const DescriptionItem& item, std::map<std::string, std::string, CaseLess>& texts)
{
    switch (item.kind) {
    case ItemKind::Directory:
        MakeDirectory(WithoutTrailingBackslash(Path(item.target)));
        if (!DirectoryExists(Path(item.target))) return Fail(&item, "cannot create " + Path(item.target));
        return true;
    case ItemKind::File: {
        std::string path = Path(item.target);
        MakeDirectory(ParentOf(path));
        RecordFile(path);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        WriteTextFile(path, "Morwa Antivirus 6.0: " + item.target + "\r\n");
        return FileExists(path) || Fail(&item, "cannot write " + path);
    }
    case ItemKind::Line:
        texts[Path(item.target)] += Expand(item.text) + "\r\n";
        return true;
    case ItemKind::Copy:
    case ItemKind::OptionalCopy: {
        std::string source = Expand(item.text), path = Path(item.target);
        if (!FileExists(source)) {
            if (item.kind == ItemKind::Copy) return Fail(&item, "missing " + source);
            skipped_.push_back(source);
            return true;
        }
        MakeDirectory(ParentOf(path));
        RecordFile(path);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return CopyFileA(source.c_str(), path.c_str(), FALSE) || Fail(&item, "cannot copy " + source);
    }
    case ItemKind::Link: {
        std::string path = Path(item.target);
        MakeDirectory(ParentOf(path));
        RecordFile(path);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        return testing_support::WriteShellLink(path, Path(item.text), "") || Fail(&item, "cannot write the shortcut " + path);
    }
    case ItemKind::Key: {
        std::string root, below;
        if (!SplitRegistryPath(Expand(item.target), root, below)) return Fail(&item, "not a registry key");
        return MakeKey(root, below) || Fail(&item, "cannot create the key");
    }
    case ItemKind::StringValue:
        return SetValue(Expand(item.target), REG_SZ, Expand(item.text)) || Fail(&item, "cannot set the value");
    case ItemKind::DwordValue: {
        unsigned long number = 0;
        ParseNumber(item.text, number);
        DWORD value = static_cast<DWORD>(number);
        std::string data(reinterpret_cast<const char*>(&value), 4);
        return SetValue(Expand(item.target), REG_DWORD, data) || Fail(&item, "cannot set the value");
    }
    case ItemKind::Watch:
        return true;
    case ItemKind::Note: {
        std::string target = Expand(item.target), root, below;
        bool below_ = target.size() > 2 && target.compare(target.size() - 2, 2, "\\*") == 0;
        if (below_) target.resize(target.size() - 2);
        if (SplitRegistryPath(target, root, below))
            target = root + "\\" + below;
        else
            target = WithoutTrailingBackslash(HasDrive(target) ? target : installDir_ + target);
        notes_.push_back({below_ ? target + "\\*" : target, item.text});
        return true;
    }
    }
    return true;
}

bool Installation::InsideCreatedDirectory(const std::string& path) const
{
    for (const std::string& created : createdDirectories_)
        if (IsAtOrBelow(path, created)) return true;
    return false;
}

void Installation::MakeDirectory(const std::string& path)
{
    std::string full = WithoutTrailingBackslash(path);
    for (size_t i = 3; i <= full.size(); ++i) {
        if (i != full.size() && full[i] != '\\') continue;
        std::string part = full.substr(0, i);
        if (DirectoryExists(part)) continue;
        if (!CreateDirectoryA(part.c_str(), NULL)) return;
        if (!InsideCreatedDirectory(part)) createdDirectories_.push_back(part);
    }
}

void Installation::RecordFile(const std::string& path)
{
    if (InsideCreatedDirectory(path)) return;
    for (const SavedFile& saved : savedFiles_)
        if (SameText(saved.path, path)) return;
    DWORD attributes = GetFileAttributesA(path.c_str());
    bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    savedFiles_.push_back({path, existed, existed ? ReadTextFile(path) : std::string(), attributes});
}

bool Installation::InsideCreatedKey(const std::string& root, const std::string& below) const
{
    for (const auto& created : createdKeys_)
        if (created.first == root && IsAtOrBelow(below, created.second)) return true;
    return false;
}

bool Installation::MakeKey(const std::string& root, const std::string& below)
{
    HKEY rootKey = RootKey(root);
    if (!rootKey) return false;
    for (size_t i = 1; i <= below.size(); ++i) {
        if (i != below.size() && below[i] != '\\') continue;
        std::string part = below.substr(0, i);
        if (testing_support::KeyExists(rootKey, part)) continue;
        if (!InsideCreatedKey(root, part)) createdKeys_.push_back({root, part});
        break;
    }
    HKEY key = NULL;
    if (RegCreateKeyExA(rootKey, below.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool Installation::SetValue(const std::string& registryPath, unsigned long type, const std::string& data)
{
    std::string root, below;
    if (!SplitRegistryPath(registryPath, root, below)) return false;
    size_t slash = below.rfind('\\');
    if (slash == std::string::npos) return false;
    std::string keyPath = below.substr(0, slash), name = below.substr(slash + 1);
    if (name == "@") name.clear();
    if (!MakeKey(root, keyPath)) return false;
    HKEY key = NULL;
    if (RegOpenKeyExA(RootKey(root), keyPath.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    if (!InsideCreatedKey(root, keyPath)) {
        bool saved = false;
        for (const SavedValue& value : savedValues_)
            saved = saved || (value.root == root && SameText(value.key, keyPath) && SameText(value.name, name));
        if (!saved) {
            SavedValue value{root, keyPath, name, false, 0, std::string()};
            DWORD oldType = 0;
            value.existed = ReadValue(key, name, oldType, value.data);
            value.type = oldType;
            savedValues_.push_back(value);
        }
    }
    std::string bytes = data;
    if (type == REG_SZ) bytes.push_back('\0');
    LONG result = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void Installation::Cleanup()
{
    if (!staged_) return;
    for (auto value = savedValues_.rbegin(); value != savedValues_.rend(); ++value) {
        HKEY key = NULL;
        if (RegOpenKeyExA(RootKey(value->root), value->key.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            continue;
        if (value->existed)
            RegSetValueExA(key, value->name.c_str(), 0, value->type,
                           reinterpret_cast<const BYTE*>(value->data.data()), static_cast<DWORD>(value->data.size()));
        else
            RegDeleteValueA(key, value->name.c_str());
        RegCloseKey(key);
    }
    for (auto key = createdKeys_.rbegin(); key != createdKeys_.rend(); ++key)
        DeleteKeyTree(RootKey(key->first), key->second);
    testing_support::DeleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue);
    for (auto file = savedFiles_.rbegin(); file != savedFiles_.rend(); ++file) {
        SetFileAttributesA(file->path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!file->existed) {
            DeleteFileA(file->path.c_str());
            continue;
        }
        WriteTextFile(file->path, file->content);
        SetFileAttributesA(file->path.c_str(), file->attributes);
    }
    for (auto directory = createdDirectories_.rbegin(); directory != createdDirectories_.rend(); ++directory)
        RemoveTree(*directory);
    savedValues_.clear();
    createdKeys_.clear();
    savedFiles_.clear();
    createdDirectories_.clear();
    notes_.clear();
    skipped_.clear();
    staged_ = false;
}

void Installation::Keep()
{
    savedValues_.clear();
    createdKeys_.clear();
    savedFiles_.clear();
    createdDirectories_.clear();
    staged_ = false;
}

Snapshot Installation::Take() const
{
    Snapshot snapshot;
    if (installDir_.empty()) return snapshot;
    AddTree(snapshot, installDir_);
    for (const DescriptionItem& item : items_) {
        std::string root, below;
        switch (item.kind) {
        case ItemKind::Directory:
            if (!IsAtOrBelow(Path(item.target), installDir_)) AddTree(snapshot, Path(item.target));
            break;
        case ItemKind::File:
        case ItemKind::Line:
        case ItemKind::Copy:
        case ItemKind::OptionalCopy:
        case ItemKind::Link: {
            std::string path = Path(item.target);
            if (IsAtOrBelow(path, installDir_) || !FileExists(path)) break;
            snapshot.files[path] = FileDetail(path);
            if (item.kind == ItemKind::Line) snapshot.texts[path] = ReadTextFile(path);
            break;
        }
        case ItemKind::Key:
            if (SplitRegistryPath(Expand(item.target), root, below)) AddKeyTree(snapshot, RootKey(root), root, below);
            break;
        case ItemKind::StringValue:
        case ItemKind::DwordValue: {
            if (!SplitRegistryPath(Expand(item.target), root, below)) break;
            size_t slash = below.rfind('\\');
            if (slash == std::string::npos) break;
            std::string name = below.substr(slash + 1);
            HKEY key = NULL;
            if (RegOpenKeyExA(RootKey(root), below.substr(0, slash).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
                break;
            DWORD type = 0;
            std::string data;
            if (ReadValue(key, name == "@" ? std::string() : name, type, data))
                snapshot.values[root + "\\" + below] =
                    ValueDetail(type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
            RegCloseKey(key);
            break;
        }
        case ItemKind::Watch:
            if (FileExists(Path(item.target))) snapshot.texts[Path(item.target)] = ReadTextFile(Path(item.target));
            break;
        case ItemKind::Note:
            break;
        }
    }
    snapshot.installedProducts = ReadOptionalString(HKEY_LOCAL_MACHINE, kProductKey, "InstalledProducts");
    snapshot.installedModules = ReadOptionalString(HKEY_LOCAL_MACHINE, kProductKey, "InstalledModules");
    snapshot.retryCommand = ReadOptionalString(HKEY_LOCAL_MACHINE, kRunOnceKey, kRetryValue);
    return snapshot;
}

std::string Installation::ReasonFor(const std::string& kind, const std::string& name) const
{
    std::vector<std::string> reasons;
    if (kind == "file") {
        DWORD attributes = GetFileAttributesA(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            reasons.push_back("read-only");
        HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        else if (GetLastError() == ERROR_SHARING_VIOLATION)
            reasons.push_back("in use by another process");
    } else if (kind == "directory" && DirectoryExists(name)) {
        size_t entries = testing_support::ListTree(WithoutTrailingBackslash(name)).size();
        if (entries) reasons.push_back("not empty (" + std::to_string(entries) + " entries below it)");
    }
    std::string bare = WithoutTrailingBackslash(name);
    const std::string* best = NULL;
    size_t bestLength = 0;
    for (const auto& note : notes_) {
        const std::string& item = note.first;
        bool subtree = item.size() > 2 && item.compare(item.size() - 2, 2, "\\*") == 0;
        std::string base = subtree ? item.substr(0, item.size() - 2) : item;
        bool matches = subtree ? IsAtOrBelow(bare, base) : SameText(bare, base);
        size_t length = base.size() + (subtree ? 0 : 1);  // an exact note beats a sub-tree note
        if (matches && length > bestLength) {
            best = &note.second;
            bestLength = length;
        }
    }
    if (best) reasons.push_back(*best);
    std::string joined;
    for (const std::string& reason : reasons) joined += (joined.empty() ? "" : "; ") + reason;
    return joined;
}

}  // namespace staging
