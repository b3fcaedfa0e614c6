// A seeded generator of damaged uninstall manifests: the sample, cut down to a few modules,
// then given one to three damages from a table.
#include "tests/support/ManifestGenerator.h"
#include <algorithm>
#include <deque>
#include <cstdio>
#include <functional>

namespace malformed {

namespace {

// SplitMix32-style mixing: the same numbers on every compiler, unlike the standard
// distributions.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint32_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 16);
    }
    unsigned Below(unsigned n) { return n == 0 ? 0 : Next() % n; }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    template <typename T> const T& Pick(const std::vector<T>& items) { return items[Below(static_cast<unsigned>(items.size()))]; }

private:
    uint64_t state_;
};

struct Key {
    std::string name;
    std::string value;
};

struct Section {
    std::string header;               // the text between the brackets
    std::vector<Key> keys;
    std::vector<std::string> extra;   // raw lines written after the keys
};

struct Model {
    std::string head;                 // raw text before the first section
    std::deque<Section> sections;     // a deque: adding a section leaves references to the others valid
    std::string lineEnd = "\r\n";
};

const unsigned kListLimit = 259;      // the longest list or path value the reads keep
const unsigned kSectionLimit = 29;    // RegKeyDelSection
const unsigned kMaskLimit = 14;
const unsigned kTotalFilesLimit = 7;

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

Model Parse(const std::string& text)
{
    Model model;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            model.sections.push_back({line.substr(1, line.find(']') - 1), {}, {}});
        } else if (!model.sections.empty() && line.find('=') != std::string::npos) {
            size_t equals = line.find('=');
            model.sections.back().keys.push_back({Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))});
        }
    }
    return model;
}

std::string Write(const Model& model)
{
    std::string text = model.head;
    for (const Section& section : model.sections) {
        text += "[" + section.header + "]" + model.lineEnd;
        for (const Key& key : section.keys) text += key.name + "=" + key.value + model.lineEnd;
        for (const std::string& line : section.extra) text += line + model.lineEnd;
    }
    return text;
}

Section* Find(Model& model, const std::string& name)
{
    for (Section& section : model.sections)
        if (section.header == name) return &section;
    return nullptr;
}

Section& FindOrAdd(Model& model, const std::string& name)
{
    if (Section* section = Find(model, name)) return *section;
    model.sections.push_back({name, {}, {}});
    return model.sections.back();
}

std::string Get(const Section& section, const std::string& name)
{
    for (const Key& key : section.keys)
        if (key.name == name) return key.value;
    return std::string();
}

void Set(Section& section, const std::string& name, const std::string& value)
{
    for (Key& key : section.keys)
        if (key.name == name) {
            key.value = value;
            return;
        }
    section.keys.push_back({name, value});
}

void Erase(Section& section, const std::string& name)
{
    section.keys.erase(std::remove_if(section.keys.begin(), section.keys.end(),
                                      [&](const Key& key) { return key.name == name; }),
                       section.keys.end());
}

// Drops every key of a numbered family ("File1", "File2", ...).
void EraseNumbered(Section& section, const std::string& prefix)
{
    section.keys.erase(std::remove_if(section.keys.begin(), section.keys.end(),
                                      [&](const Key& key) {
                                          return key.name.compare(0, prefix.size(), prefix) == 0 &&
                                                 key.name.size() > prefix.size() &&
                                                 key.name[prefix.size()] >= '0' && key.name[prefix.size()] <= '9';
                                      }),
                       section.keys.end());
}

std::vector<std::string> SplitList(const std::string& list)
{
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        items.push_back(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return items;
        start = comma + 1;
    }
}

std::string Join(const std::vector<std::string>& items)
{
    std::string list;
    for (size_t i = 0; i < items.size(); ++i) list += (i ? "," : "") + items[i];
    return list;
}

std::string Numbered(const char* prefix, unsigned number)
{
    return prefix + std::to_string(number);
}

// A value that the profile reader hands back exactly, blanks included.
std::string Quoted(const std::string& value)
{
    return "\"" + value + "\"";
}

std::string LastName(const std::string& path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Up(unsigned levels, const char* separator = "\\")
{
    std::string text;
    for (unsigned i = 0; i < levels; ++i) text += std::string("..") + separator;
    return text;
}

// The state a damage works on.
struct Work {
    Model model;
    Rng rng;
    const Targets& targets;
    std::vector<std::string> apps;      // the listed applications
    std::vector<std::string> modules;   // the module sections the walk may reach, "Shared" too
    Manifest result;
    const char* kind = "";

    Work(uint64_t seed, const Targets& t) : rng(seed), targets(t) {}

    void Note(const std::string& what) { result.damages.push_back(std::string(kind) + ": " + what); }
    Section& AnyModule() { return FindOrAdd(model, rng.Pick(modules)); }
    Section& AnySection() { return model.sections[rng.Below(static_cast<unsigned>(model.sections.size()))]; }
    Section& AnyApp() { return FindOrAdd(model, rng.Pick(apps)); }
    // Levels from the module's directory up to the install directory's parent.
    unsigned Depth(const Section& module)
    {
        std::string relative = Get(module, "RelativePath");
        if (relative.empty()) return 1;
        return 2 + static_cast<unsigned>(std::count(relative.begin(), relative.end(), '\\'));
    }
};

// ---- Escape attempts, each aimed at a sentinel ---------------------------------------------
// The first ones of each list would reach a sentinel if the program took them as they stand
// (a parent directory climbed, a root name in the middle read as a root); the rest are
// shapes that a careless reading could take for one.

const size_t kFileBiters = 9;

std::vector<std::string> FileEscapes(Work& work, unsigned depth)
{
    const Targets& t = work.targets;
    std::string up = Up(depth), sibling = LastName(t.sentinelDir), windowsBelowRoot = t.windowsDir.substr(3);
    return {
        up + sibling + "\\qelres.dll",
        up + sibling + "\\Engine\\qelengine.dll",
        up + LastName(t.besideFile),
        up + t.fileName,
        Up(depth, "/") + t.fileName,
        up + "..\\" + windowsBelowRoot + "\\" + t.fileName,
        "Engine\\" + up + ".." + "\\" + sibling + "\\scan.TMP",
        "%SystemRoot%\\..\\" + t.fileName,
        "%SystemRoot%\\" + Up(2) + t.fileName,
        "...\\" + t.fileName,
        ".. \\" + sibling + "\\readme.txt",
        " ..\\" + sibling + "\\readme.txt",
        ". .\\" + t.fileName,
        t.windowsDir + "\\" + t.fileName,
        "C:" + t.fileName,
        "\\" + t.fileName,
        "/" + t.fileName,
        "\\\\?\\" + t.windowsDir + "\\" + t.fileName,
        "\\\\.\\" + t.systemDir + "\\" + t.fileName,
        "%SystemRoot%..\\" + t.fileName,
        "%SystemRoot%",
        "%SystemRoot%\\",
        "%SystemRoot%\\*.*",
        "*.*",
        "?elres.dll",
        "..",
        ".",
    };
}

const size_t kTreeBiters = 4;

std::vector<std::string> TreeEscapes(Work& work, unsigned depth)
{
    const Targets& t = work.targets;
    std::string up = Up(depth), sibling = LastName(t.sentinelDir);
    return {
        up + sibling, up + sibling + "\\Engine", "Temp\\.." + std::string("\\") + up + sibling,
        "Engine/../" + Up(depth, "/") + sibling,
        up.substr(0, up.size() - 1), Up(depth + 1), "..", "...", ".", " ", "  ", ". .", ".. ",
        "Engine\\..", "Engine\\..\\..", "C:\\", "C:", "\\", "/", t.windowsDir, t.systemDir,
        t.programFiles, t.sentinelDir, "%SystemRoot%", "%SystemRoot%\\..", "*", "Te?p",
    };
}

// A module directory that escapes, and a name below it that would then reach a sentinel.
std::vector<std::pair<std::string, std::string>> RelativeEscapes(Work& work)
{
    const Targets& t = work.targets;
    std::string sibling = LastName(t.sentinelDir), windowsBelowRoot = t.windowsDir.substr(3);
    return {
        {"..\\" + sibling, "qelres.dll"},
        {"..", LastName(t.besideFile)},
        {"..\\..", windowsBelowRoot + "\\" + t.fileName},
        {"Engine\\..\\..\\" + sibling, "readme.txt"},
        {"../" + sibling, "scan.TMP"},
        {"Engine\\..\\..", t.fileName},
        {"...", t.fileName},
        {". .", t.fileName},
        {" ", "qelres.dll"},
        {".", "qelres.dll"},
        {"\\", "qelres.dll"},
        {"C:", t.fileName},
        {"C:\\", t.fileName},
        {t.windowsDir, t.fileName},
        {t.sentinelDir, "qelres.dll"},
        {"\\" + windowsBelowRoot, t.fileName},
        {"\\Engine", "qelengine.dll"},
        {"%SystemRoot%", "qelres.dll"},
    };
}

// Mostly the escapes that would bite, so that a short series still tries them often.
std::string PickEscape(Work& work, const std::vector<std::string>& escapes, size_t biters)
{
    if (work.rng.Chance(60)) return escapes[work.rng.Below(static_cast<unsigned>(biters))];
    return work.rng.Pick(escapes);
}

const size_t kKeyBiters = 4;

std::vector<std::string> KeyEscapes()
{
    return {
        // A root name within the first characters, the key path after its usual length.
        "XHKEY_LOCAL_MACHINESoftware\\Morwa Software Sentinel\\",
        "XHKEY_CURRENT_USERSoftware\\Morwa Software Sentinel\\",
        "XHKEY_CLASSES_ROOT.qelsentinel\\",
        "HKEY_CURRENT_USER/Software\\Morwa Software Sentinel\\",
        "Software\\HKEY_LOCAL_MACHINE\\Software\\Morwa Software Sentinel\\",
        "XHKEY_CURRENT_USER\\Software\\Morwa Software Sentinel\\",
        "HKEY_CURRENT_USER\\Software\\HKEY_LOCAL_MACHINE\\",
        "HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE\\", "HKEY_CURRENT_USER\\\\", "HKEY_CLASSES_ROOT\\",
        "HKEY_USERS\\", "HKEY_CURRENT_CONFIG\\", "HKEY_DYN_DATA\\", "HKEY_PERFORMANCE_DATA\\",
        "HKEY_LOCAL_MACHINE\\\\Software\\Morwa Software Sentinel\\",
        "HKEY_LOCAL_MACHINESoftware\\Morwa Software Sentinel\\",
        "hkey_local_machine\\Software\\Morwa Software Sentinel\\",
        "HKEY_LOCAL_MACHINE Software\\Morwa Software Sentinel\\",
        "HKEY_LOCAL_MACHINE\\Software\\Morwa Software Sentinel\\HKEY_DYN_DATA\\",
        "HKEY_LOCAL_MACHINE/Software/Morwa Software Sentinel/",
        "HKEY_LOCAL_MACHINE\\Software\\Morwa Software Sentinel\\\\",
        "HKEY_CLASSES_ROOT\\\\.qelsentinel\\", "HKEY_CLASSES_ROOT.qelsentinel\\",
        "HKEY_CLASSES_ROOT\\.qelsentinel",
        "HKLM\\Software\\Morwa Software Sentinel\\",
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\\\QELSentinel",
        "HKEY_LOCAL_MACHINE\\Software",
        "%ProgramRoot% Sentinel\\", "%ProgramRoot%Sentinel\\", "%ProgramRoot%Sentinel\\Level",
        "%ProgramRoot%\\..\\Morwa Antivirus 6.0 Sentinel\\", "x%ProgramRoot%\\", "%PROGRAMROOT%\\",
        "%ProgramRoot%\\\\", "%ProgramRoot%%ProgramRoot%\\", "%ProgramRoot%",
        "%SystemRoot%\\Software\\Morwa Software Sentinel\\", "Software\\Morwa Software Sentinel\\",
        "\\Software\\Morwa Software Sentinel\\", "\\", "\\\\", " ",
    };
}

// ---- The damages -----------------------------------------------------------------------------

void DropSection(Work& work)
{
    if (work.model.sections.empty()) return;
    size_t i = work.rng.Below(static_cast<unsigned>(work.model.sections.size()));
    work.Note("section [" + work.model.sections[i].header + "] missing");
    work.model.sections.erase(work.model.sections.begin() + static_cast<long>(i));
}

void EmptySection(Work& work)
{
    if (work.model.sections.empty()) return;
    Section& section = work.AnySection();
    work.Note("section [" + section.header + "] empty");
    section.keys.clear();
}

void DropOrEmptyKey(Work& work)
{
    if (work.model.sections.empty()) return;
    Section& section = work.AnySection();
    if (section.keys.empty()) return;
    Key& key = section.keys[work.rng.Below(static_cast<unsigned>(section.keys.size()))];
    if (work.rng.Chance(50)) {
        work.Note("[" + section.header + "] " + key.name + " empty");
        key.value = work.rng.Chance(50) ? "" : "\"\"";
    } else {
        work.Note("[" + section.header + "] " + key.name + " missing");
        Erase(section, key.name);
    }
}

void NumberingGap(Work& work)
{
    Section& module = work.AnyModule();
    static const std::vector<std::string> families = {"File", "DelDir", "DelExt"};
    std::string family = work.rng.Pick(families);
    std::vector<std::string> values;
    for (unsigned i = 1;; ++i) {
        std::string value = Get(module, Numbered(family.c_str(), i));
        if (value.empty()) break;
        values.push_back(value);
    }
    if (values.empty()) values.push_back(family == "DelExt" ? ".TMP" : "Temp");
    EraseNumbered(module, family);
    static const std::vector<std::string> shapes = {"from 2", "from 0", "gap at 2", "leading zero", "backwards"};
    std::string shape = work.rng.Pick(shapes);
    for (unsigned i = 0; i < values.size(); ++i) {
        unsigned number = i + 1;
        std::string name;
        if (shape == "from 2") number = i + 2;
        if (shape == "from 0") number = i;
        if (shape == "gap at 2" && i >= 1) number = i + 2;
        if (shape == "backwards") number = static_cast<unsigned>(values.size()) - i;
        name = Numbered(family.c_str(), number);
        if (shape == "leading zero") name = family + "0" + std::to_string(number);
        module.keys.push_back({name, values[i]});
    }
    work.Note("[" + module.header + "] " + family + " numbered " + shape);
}

// A list of exactly `length` characters: the given items, then one long name of no section.
std::string PaddedList(std::vector<std::string> items, size_t length)
{
    std::string list = Join(items);
    if (list.size() + 2 > length) return list.substr(0, length);
    return list + "," + std::string(length - list.size() - 1, 'Q');
}

void ListAtLimit(Work& work)
{
    size_t length = kListLimit - 1 + work.rng.Below(4);  // 258 to 261
    if (work.rng.Chance(50)) {
        FindOrAdd(work.model, "General").keys.clear();
        Set(FindOrAdd(work.model, "General"), "Apps", PaddedList(work.apps, length));
        work.Note("Apps of " + std::to_string(length) + " characters");
    } else {
        Section& app = work.AnyApp();
        Set(app, "Modules", PaddedList(SplitList(Get(app, "Modules")), length));
        work.Note("[" + app.header + "] Modules of " + std::to_string(length) + " characters");
    }
}

void ThreeHundredNames(Work& work)
{
    std::vector<std::string> names;
    for (unsigned i = 0; i < 300; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Name%03u", i);
        names.push_back(name);
    }
    bool inFront = work.rng.Chance(50);
    if (work.rng.Chance(70)) {
        std::vector<std::string> apps = inFront ? work.apps : std::vector<std::string>();
        apps.insert(apps.end(), names.begin(), names.end());
        if (!inFront) apps.insert(apps.end(), work.apps.begin(), work.apps.end());
        Set(FindOrAdd(work.model, "General"), "Apps", Join(apps));
        work.Note(std::string("Apps of 300 names, the real ones ") + (inFront ? "first" : "last (cut off)"));
    } else {
        // Every module name costs the walk its pause: the read keeps about 30 of these.
        Section& app = work.AnyApp();
        std::vector<std::string> modules = SplitList(Get(app, "Modules"));
        modules.insert(inFront ? modules.end() : modules.begin(), names.begin(), names.end());
        Set(app, "Modules", Join(modules));
        work.Note("[" + app.header + "] Modules of 300 names");
    }
}

void EmptyItems(Work& work)
{
    static const std::vector<std::string> shapes = {",%s", "%s,", "%s,,%s", ",", ",,", " %s", "%s ,%s", "%s, %s"};
    std::string shape = work.rng.Pick(shapes);
    bool apps = work.rng.Chance(40);
    Section& section = apps ? FindOrAdd(work.model, "General") : work.AnyApp();
    const char* key = apps ? "Apps" : "Modules";
    std::vector<std::string> items = SplitList(Get(section, key));
    std::string list;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape.compare(i, 2, "%s") == 0) {
            list += items.empty() ? "" : items[work.rng.Below(static_cast<unsigned>(items.size()))];
            ++i;
        } else {
            list += shape[i];
        }
    }
    Set(section, key, Quoted(list));
    work.Note("[" + section.header + "] " + key + "=\"" + list + "\"");
}

void MaskValues(Work& work)
{
    static const std::vector<std::string> masks = {
        "abc", "-1", "4294967296", "4294967295", "99999999999999", "999999999999999", "000000000000001",
        "0x10", "\" 3\"", "+2", "1e3", "7abc", "0", "\"\"", "18446744073709551617", "\"\t1\"", "--1"};
    bool app = work.rng.Chance(40);
    Section& section = app ? work.AnyApp() : work.AnyModule();
    std::string mask = work.rng.Pick(masks);
    Set(section, "Mask", mask);
    work.Note("[" + section.header + "] Mask=" + mask + " (limit " + std::to_string(kMaskLimit) + ")");
}

void TotalFilesValues(Work& work)
{
    static const std::vector<std::string> totals = {"0", "\"\"", "x", "9999999", "99999999", "-5", "00000001", "4294967296", "1"};
    std::string total = work.rng.Pick(totals);
    Set(FindOrAdd(work.model, "Shared"), "TotalFiles", total);
    work.Note("[Shared] TotalFiles=" + total + " (limit " + std::to_string(kTotalFilesLimit) + ")");
}

void PathAtLimit(Work& work)
{
    Section& module = work.AnyModule();
    std::string relative = Get(module, "RelativePath");
    size_t directory = work.targets.installDir.size() + (relative.empty() ? 0 : relative.size() + 1);
    size_t length = kListLimit - 1 + work.rng.Below(4);  // the composed path: 258 to 261
    static const std::vector<std::string> keys = {"File1", "DelDir1", "DelExt1", "RelativePath", "File2"};
    std::string key = work.rng.Pick(keys);
    std::string value;
    if (key == "RelativePath") {
        value = std::string(length - work.targets.installDir.size(), 'r');
        Set(module, "File1", "qelres.dll");  // would it be read, the name is right below
    } else if (length > directory) {
        value = std::string(length - directory - (key == "DelDir1" ? 1 : 0), 'p');
    } else {
        value = "p";
    }
    // Some values run past what the read keeps: the cut keeps an escape's head.
    if (work.rng.Chance(25)) value = "..\\" + std::string(300, 'x');
    Set(module, key, value);
    work.Note("[" + module.header + "] " + key + " of " + std::to_string(value.size()) +
              " characters (path " + std::to_string(length) + ")");
}

void SectionNameAtLimit(Work& work)
{
    Section& module = work.AnyModule();
    // The read keeps 29 characters: a longer name reaches the section of its first 29.
    std::string listName = "Reg" + std::string(kSectionLimit - 3, 'R');
    Section& list = FindOrAdd(work.model, listName);
    list.keys = {{"Key1", "%ProgramRoot%\\Engine\\"}, {"Key2", work.rng.Pick(KeyEscapes())}};
    size_t length = kSectionLimit - 1 + work.rng.Below(4);  // 28 to 31
    std::string name = length <= listName.size() ? listName.substr(0, length)
                                                 : listName + std::string(length - listName.size(), 'T');
    Set(module, "RegKeyDelSection", name);
    work.Note("[" + module.header + "] RegKeyDelSection of " + std::to_string(length) + " characters, [" +
              listName + "] Key2=" + list.keys[1].value);
}

// The key of a numbered family that the module's enumeration reaches: the first, or the one
// just after its last entry.
std::string ReachedKey(Work& work, Section& module, const char* family)
{
    unsigned next = 1;
    while (!Get(module, Numbered(family, next)).empty()) ++next;
    return Numbered(family, work.rng.Chance(50) ? 1 : next);
}

void EscapingPaths(Work& work)
{
    Section& module = work.AnyModule();
    static const std::vector<std::string> families = {"File", "File", "DelDir", "DelDir", "DelExt", "RelativePath"};
    std::string family = work.rng.Pick(families);
    std::string key = family == "RelativePath" ? family : ReachedKey(work, module, family.c_str());
    std::string value;
    if (key == "RelativePath") {
        auto escape = work.rng.Pick(RelativeEscapes(work));
        value = escape.first;
        // Ordinary names below it, so that an accepted escape would bite.
        Set(module, "File1", escape.second);
        Set(module, "DelDir1", "Engine");
        Set(module, "DelExt1", ".dll");
        work.Note("[" + module.header + "] File1=" + escape.second);
    } else if (key.compare(0, 6, "DelDir") == 0) {
        value = PickEscape(work, TreeEscapes(work, work.Depth(module)), kTreeBiters);
    } else if (key.compare(0, 6, "DelExt") == 0) {
        static const std::vector<std::string> patterns = {"..", "\\", "C:", ":", "..\\", "/", " ", "\\\\", "*"};
        value = work.rng.Pick(patterns);
    } else {
        value = PickEscape(work, FileEscapes(work, work.Depth(module)), kFileBiters);
    }
    Set(module, key, Quoted(value));
    work.Note("[" + module.header + "] " + key + "=\"" + value + "\"");
}

void MisplacedMacros(Work& work)
{
    Section& module = work.AnyModule();
    static const std::vector<std::string> files = {
        "sub\\%SystemRoot%\\qelsentinel.dll", "%SystemRoot%qelsentinel.dll", "%systemroot%\\..\\qelsentinel.exe",
        "%ProgramRoot%\\qelres.dll", "%SystemRoot%\\%SystemRoot%\\qelsentinel.dll", "x%SystemRoot%\\qelres.dll",
        "%SystemRoot% \\qelsentinel.dll", "%SystemRoot%/../qelsentinel.exe"};
    static const std::vector<std::string> keys = {"File1", "DelDir1", "DelExt1", "RelativePath"};
    std::string key = work.rng.Pick(keys);
    std::string value = key == "File1" ? work.rng.Pick(files) : (work.rng.Chance(50) ? "%SystemRoot%" : "%ProgramRoot%");
    Set(module, key, value);
    work.Note("[" + module.header + "] " + key + "=" + value);
}

// A registry list entry that holds a root name or a macro where it does not belong.
void MalformedKeys(Work& work)
{
    Section& module = work.AnyModule();
    std::string listName = Get(module, "RegKeyDelSection");
    if (listName.empty()) {
        listName = module.header + "Reg";
        Set(module, "RegKeyDelSection", listName);
    }
    Section& list = FindOrAdd(work.model, listName);
    std::string entry = PickEscape(work, KeyEscapes(), kKeyBiters);
    if (work.rng.Chance(20)) entry = "%ProgramRoot%\\" + std::string(kListLimit - 46 + work.rng.Below(4), 'k') + "\\";
    list.keys.insert(list.keys.begin() + work.rng.Below(static_cast<unsigned>(list.keys.size()) + 1), {"KeyX", entry});
    for (size_t i = 0; i < list.keys.size(); ++i) list.keys[i].name = Numbered("Key", static_cast<unsigned>(i + 1));
    work.Note("[" + listName + "] entry \"" + entry + "\"");
}

void OwnSectionAsRegistryList(Work& work)
{
    Section& module = work.AnyModule();
    std::string former = Get(module, "RegKeyDelSection");
    Set(module, "RegKeyDelSection", module.header);
    // The module's own section then also holds the list's entries.
    if (Section* list = Find(work.model, former))
        for (const Key& key : list->keys) Set(module, key.name, key.value);
    if (work.rng.Chance(50)) Set(module, "Key1", work.rng.Pick(KeyEscapes()));
    work.Note("[" + module.header + "] RegKeyDelSection names its own section, Key1=" + Get(module, "Key1"));
}

void OtherRegistryLists(Work& work)
{
    Section& module = work.AnyModule();
    static const std::vector<std::string> names = {"General", "Shared", "NoSuchSection", "\"\"", " ", "EngineReg,ScannerReg"};
    std::string name = work.rng.Pick(names);
    Set(module, "RegKeyDelSection", name);
    work.Note("[" + module.header + "] RegKeyDelSection=" + name);
}

void Blanks(Work& work)
{
    Section& module = work.AnyModule();
    static const std::vector<std::string> keys = {"File1", "DelDir1", "DelExt1", "RelativePath", "Mask", "RegKeyDelSection"};
    static const std::vector<std::string> values = {" ", "   ", "\t", " qelres.dll", "qelres.dll ", " .TMP "};
    std::string key = work.rng.Pick(keys), value = work.rng.Pick(values);
    Set(module, key, Quoted(value));
    work.Note("[" + module.header + "] " + key + "=\"" + value + "\"");
}

void ManyFileEntries(Work& work)
{
    Section& module = work.AnyModule();
    EraseNumbered(module, "File");
    unsigned depth = work.Depth(module);
    std::vector<std::string> escapes = FileEscapes(work, depth);
    for (unsigned i = 1; i <= 10000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05u.dat", i);
        std::string value = name;
        if (i % 997 == 0) value = escapes[(i / 997) % escapes.size()];
        if (i == 5000) value = "qelres.dll";
        module.keys.push_back({Numbered("File", i), value});
    }
    work.result.manyEntries = true;
    work.Note("[" + module.header + "] File1 to File10000");
}

void GarbageLines(Work& work)
{
    Section& section = work.model.sections.empty() ? FindOrAdd(work.model, "General") : work.AnySection();
    std::vector<std::string> lines = {
        "no equals sign here", "[unclosed section", "=orphan value", "[]", ";File9=..\\qelsentinel.txt",
        "File", std::string(4000, 'L') + "=" + std::string(4000, 'V'), "\x01\x02\x7F\xFF=\xFE",
        "  File99  =  \"  spaced  \"  ", "[General]", "Apps=NoSuchApp"};
    std::string line = work.rng.Pick(lines);
    section.extra.push_back(line);
    if (work.rng.Chance(30)) work.model.head += "Apps=BeforeAnySection" + work.model.lineEnd;
    work.Note("[" + section.header + "] line \"" + line.substr(0, 40) + "\"");
}

void DuplicateSection(Work& work)
{
    Section copy = work.AnyModule();
    copy.keys = {{"Mask", "1023"}, {"RelativePath", ".."}, {"File1", "qelres.dll"}, {"DelDir1", "Morwa Antivirus Sentinel"}};
    work.model.sections.push_back(copy);
    work.Note("second section [" + copy.header + "] that escapes (the first one counts)");
}

void SharedNames(Work& work)
{
    Section& app = work.AnyApp();
    static const std::vector<std::string> names = {"OldShared", "xSharedx", "shared", "SHARED"};
    std::string name = work.rng.Pick(names);
    Section& module = FindOrAdd(work.model, name);
    module.keys = {{"Mask", "1"}, {"RelativePath", work.rng.Chance(50) ? "Engine" : ".."}, {"File1", "qelengine.dll"}, {"TotalFiles", "0"}};
    std::vector<std::string> modules = SplitList(Get(app, "Modules"));
    modules.push_back(name);
    Set(app, "Modules", Join(modules));
    work.Note("[" + app.header + "] module [" + name + "]");
}

void CaseAndLineEnds(Work& work)
{
    if (work.rng.Chance(50)) {
        static const std::vector<std::string> ends = {"\n", "\r", "\r\r\n", "\n\r"};
        work.model.lineEnd = work.rng.Pick(ends);
        std::string shown;
        for (char c : work.model.lineEnd) shown += c == '\r' ? "CR " : "LF ";
        work.Note("line ends " + shown);
    } else if (!work.model.sections.empty()) {
        Section& section = work.AnySection();
        for (char& c : section.header) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        for (Key& key : section.keys)
            for (char& c : key.name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        work.Note("[" + section.header + "] in other case");
    }
}

void WholeFile(Work& work)
{
    static const std::vector<std::string> shapes = {"missing", "empty", "General only", "binary", "no sections"};
    std::string shape = work.rng.Pick(shapes);
    if (shape == "missing") work.result.present = false;
    if (shape == "empty") work.model = Model();
    if (shape == "General only") work.model.sections.resize(1);
    if (shape == "binary") {
        work.model = Model();
        for (unsigned i = 0; i < 2000; ++i) work.model.head += static_cast<char>(work.rng.Next() & 0xFF);
    }
    if (shape == "no sections") {
        work.model.head = "Apps=QEL60" + work.model.lineEnd + "Mask=1" + work.model.lineEnd;
        work.model.sections.clear();
    }
    work.Note("manifest " + shape);
}

struct Damage {
    const char* kind;
    unsigned weight;
    void (*apply)(Work&);
};

const Damage kDamages[] = {
    {"missing section", 6, DropSection},
    {"empty section", 5, EmptySection},
    {"missing or empty key", 8, DropOrEmptyKey},
    {"numbering", 6, NumberingGap},
    {"list at limit", 5, ListAtLimit},
    {"300 names", 3, ThreeHundredNames},
    {"empty items", 6, EmptyItems},
    {"mask", 7, MaskValues},
    {"TotalFiles", 4, TotalFilesValues},
    {"path at limit", 7, PathAtLimit},
    {"section name at limit", 4, SectionNameAtLimit},
    {"escaping path", 24, EscapingPaths},
    {"misplaced macro", 6, MisplacedMacros},
    {"malformed key", 14, MalformedKeys},
    {"own section as list", 4, OwnSectionAsRegistryList},
    {"other list section", 3, OtherRegistryLists},
    {"blanks", 5, Blanks},
    {"10000 files", 1, ManyFileEntries},
    {"garbage line", 5, GarbageLines},
    {"duplicate section", 3, DuplicateSection},
    {"shared name", 3, SharedNames},
    {"case or line ends", 3, CaseAndLineEnds},
    {"whole file", 2, WholeFile},
};

const Damage& PickDamage(Rng& rng)
{
    unsigned total = 0;
    for (const Damage& damage : kDamages) total += damage.weight;
    unsigned roll = rng.Below(total);
    for (const Damage& damage : kDamages) {
        if (roll < damage.weight) return damage;
        roll -= damage.weight;
    }
    return kDamages[0];
}

// The sample cut down to one or two applications of one to three modules each, so that a
// run meets few module names.
void CutDown(Work& work)
{
    Section* general = Find(work.model, "General");
    std::vector<std::string> all = general ? SplitList(Get(*general, "Apps")) : std::vector<std::string>();
    std::vector<std::string> apps;
    for (const std::string& app : all)
        if (work.rng.Chance(45)) apps.push_back(app);
    if (apps.empty() && !all.empty()) apps.push_back(work.rng.Pick(all));
    work.apps = apps;
    if (general) Set(*general, "Apps", Join(apps));
    for (const std::string& name : apps) {
        Section& app = FindOrAdd(work.model, name);
        std::vector<std::string> modules = SplitList(Get(app, "Modules")), kept;
        unsigned want = 1 + work.rng.Below(3);
        for (const std::string& module : modules)
            if (kept.size() < want && work.rng.Below(static_cast<unsigned>(modules.size())) < want) kept.push_back(module);
        if (kept.empty()) kept.push_back(work.rng.Pick(modules));
        Set(app, "Modules", Join(kept));
        for (const std::string& module : kept)
            if (std::find(work.modules.begin(), work.modules.end(), module) == work.modules.end())
                work.modules.push_back(module);
    }
    work.modules.push_back("Shared");
}

std::string Tokens(Work& work)
{
    if (work.rng.Chance(65)) return "qel60_uninst.ini 0 0 0";
    static const std::vector<std::string> editions = {"0", "1", "2", "4", "7", "8", "-1", "4294967295", "99999999999", "0x4"};
    static const std::vector<std::string> actions = {"0", "1", "2", "8", "16", "255", "1023", "4294967295", "-8"};
    static const std::vector<std::string> modes = {"0", "0", "0", "2", "2", "3", "-1", "0x0"};
    std::string mode = work.rng.Pick(modes);
    work.result.retryRun = mode == "2";
    return "qel60_uninst.ini " + work.rng.Pick(editions) + " " + work.rng.Pick(actions) + " " + mode;
}

// The module names that a walk can meet: every item of the lists of the listed applications,
// as the reads keep them.
unsigned CountModuleNames(const Model& model)
{
    Model copy = model;
    Section* general = Find(copy, "General");
    if (general == nullptr) return 0;
    unsigned names = 0;
    for (const std::string& app : SplitList(Get(*general, "Apps").substr(0, kListLimit))) {
        Section* section = Find(copy, app);
        std::string modules = section ? Get(*section, "Modules").substr(0, kListLimit) : std::string();
        if (!modules.empty()) names += static_cast<unsigned>(std::count(modules.begin(), modules.end(), ',')) + 1;
    }
    return names;
}

}  // namespace

std::vector<std::string> DamageKinds()
{
    std::vector<std::string> kinds;
    for (const Damage& damage : kDamages) kinds.push_back(damage.kind);
    return kinds;
}

Manifest Generate(const std::string& sample, const Targets& targets, uint32_t seed, unsigned index)
{
    Work work((static_cast<uint64_t>(seed) << 32) | index, targets);
    work.model = Parse(sample);
    CutDown(work);
    unsigned count = 1 + work.rng.Below(3);
    for (unsigned i = 0; i < count; ++i) {
        const Damage& damage = PickDamage(work.rng);
        work.kind = damage.kind;
        damage.apply(work);
    }
    work.result.tokens = Tokens(work);
    work.result.text = Write(work.model);
    work.result.moduleNames = CountModuleNames(work.model);
    return work.result;
}

}  // namespace malformed
