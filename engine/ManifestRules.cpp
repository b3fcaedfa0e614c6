// Decisions about uninstall manifest values: lists, numbers, composed paths, registry entries.
#include "engine/ManifestRules.h"
#include "engine/EntryPaths.h"
#include <cstring>

namespace {

const char kSystemRootMacro[] = "%SystemRoot%";
const char kProgramRootMacro[] = "%ProgramRoot%";

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

size_t SkipBlanks(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    return i;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A component made only of dots and blanks, such as "..", "...", ". ." or " ": Windows drops
// the trailing dots and blanks of a name, so the system reads it as the current or a parent
// directory (a DelDir of " " would be the whole module directory).
bool IsDotComponent(const std::string& component)
{
    return !component.empty() && component.find_first_not_of(". ") == std::string::npos;
}

// Unsigned decimal digits from `i` on; false on none or on a value above 32 bits.
bool ParseUnsigned(const std::string& text, size_t i, uint32_t* value)
{
    if (i >= text.size() || !IsDigit(text[i])) return false;
    uint64_t result = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        result = result * 10 + static_cast<uint64_t>(text[i] - '0');
        if (result > 0xFFFFFFFFull) return false;
    }
    *value = static_cast<uint32_t>(result);
    return true;
}

bool FitsPath(const std::string& path)
{
    return path.size() <= kMaxPathChars;
}

// Key paths are names joined by single backslashes: no empty name anywhere.
bool IsWellFormedKeyPath(const std::string& path)
{
    if (path.empty() || path.front() == '\\' || path.back() == '\\') return false;
    return path.find("\\\\") == std::string::npos;
}

}  // namespace

std::vector<std::string> SplitList(const std::string& list)
{
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) {
            items.push_back(list.substr(start));
            return items;
        }
        items.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
}

int CountListItems(const std::string& list)
{
    int count = 1;
    for (char c : list)
        if (c == ',') ++count;
    return count;
}

uint32_t ParseMask(const std::string& text)
{
    size_t i = SkipBlanks(text);
    if (i < text.size() && text[i] == '+') ++i;
    uint32_t value = 0;
    return ParseUnsigned(text, i, &value) ? value : 0;
}

int32_t ParseInstalledMask(const std::string& text)
{
    size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint32_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

uint32_t ProgressDivisor(const std::string& text)
{
    size_t i = SkipBlanks(text);
    if (i < text.size() && text[i] == '+') ++i;
    uint32_t value = 0;
    if (!ParseUnsigned(text, i, &value) || value == 0) return 10;
    return value;
}

uint32_t FileProgressPosition(uint32_t index, uint32_t divisor)
{
    return divisor == 0 ? 0 : index * 100u / divisor;
}

int ModuleProgressPosition(int k, int count)
{
    return count <= 0 ? 0 : (k + 1) * 100 / count;
}

std::string NumberedKey(const char* prefix, unsigned long index)
{
    return std::string(prefix) + std::to_string(index);
}

bool IsContainedRelativePath(const std::string& text)
{
    if (text.find(':') != std::string::npos) return false;
    if (!text.empty() && (text[0] == '\\' || text[0] == '/')) return false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\\/", start);
        if (end == std::string::npos) end = text.size();
        if (IsDotComponent(text.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

bool ComposeModuleDirectory(const std::string& installDir, const std::string& relativePath,
                            std::string* path)
{
    if (installDir.empty() || installDir.back() != '\\') return false;
    if (!IsContainedRelativePath(relativePath)) return false;
    std::string directory = installDir;
    if (!relativePath.empty()) directory += relativePath + "\\";
    if (!FitsPath(directory)) return false;
    *path = directory;
    return true;
}

bool ComposeFileEntryPath(const std::string& installDir, const std::string& relativePath,
                          const std::string& value, const std::string& systemDir,
                          std::string* path)
{
    if (value.empty()) return false;
    std::string composed;
    if (StartsWith(value, kSystemRootMacro)) {
        std::string rest = value.substr(std::strlen(kSystemRootMacro));
        if (systemDir.empty() || rest.size() < 2 || rest[0] != '\\') return false;
        if (!IsContainedRelativePath(rest.substr(1))) return false;
        composed = systemDir + rest;
    } else {
        std::string directory;
        if (!IsContainedRelativePath(value) ||
            !ComposeModuleDirectory(installDir, relativePath, &directory))
            return false;
        composed = directory + value;
    }
    // One file, never a pattern: a system that expanded wildcards would delete every match.
    if (!FitsPath(composed) || composed.find_first_of("*?") != std::string::npos) return false;
    *path = composed;
    return true;
}

bool ComposeTreeEntryPath(const std::string& installDir, const std::string& relativePath,
                          const std::string& value, std::string* path)
{
    std::string directory;
    if (value.empty() || !IsContainedRelativePath(value) ||
        !ComposeModuleDirectory(installDir, relativePath, &directory))
        return false;
    std::string composed = directory + value + "\\";
    if (!FitsPath(composed)) return false;
    *path = composed;
    return true;
}

bool ComposePatternDirectory(const std::string& installDir, const std::string& relativePath,
                             std::string* path)
{
    if (installDir.empty() || installDir.back() != '\\') return false;
    if (!IsContainedRelativePath(relativePath)) return false;
    std::string composed = installDir + relativePath;
    if (!FitsPath(composed)) return false;
    *path = composed;
    return true;
}

bool IsUsablePattern(const std::string& value)
{
    return !value.empty() && IsContainedRelativePath(value);
}

bool SplitRegistryEntry(const std::string& text, RegistryEntry* entry)
{
    RegistryEntry result;
    std::string path;
    if (StartsWith(text, kProgramRootMacro)) {
        std::string rest = text.substr(std::strlen(kProgramRootMacro));
        if (!rest.empty() && rest[0] != '\\') return false;  // would name a sibling key
        result.root = kRootLocalMachine;
        path = kProductKeyPath + rest;
    } else {
        int found = -1;
        for (int i = 0; i < kRootCount && found < 0; ++i)
            if (StartsWith(text, (std::string(kRegistryRootNames[i]) + "\\").c_str())) found = i;
        if (found < 0) return false;
        result.root = static_cast<RegistryRoot>(found);
        path = text.substr(std::strlen(kRegistryRootNames[found]) + 1);
    }
    if (!FitsPath(path)) return false;
    if (!path.empty() && path.back() == '\\') {
        result.namesKey = true;
        path.pop_back();
    } else {
        const char* name = LastPathComponent(path.c_str());
        if (name == nullptr) return false;  // a value needs a key to live in
        size_t slash = static_cast<size_t>(name - path.c_str()) - 1;
        result.valueName = name;
        path.erase(slash);
    }
    if (!IsWellFormedKeyPath(path)) return false;
    result.keyPath = path;
    *entry = result;
    return true;
}

const char* LastPathComponent(const char* text)
{
    if (text == nullptr) return nullptr;
    const char* slash = std::strrchr(text, '\\');
    return slash ? slash + 1 : nullptr;
}
