// Fuzzes the manifest decisions: registry-entry splits, composed entry paths, lists and masks.
#include "engine/ManifestRules.h"
#include "engine/EntryPaths.h"
#include "tests/fuzz/FuzzInput.h"
#include <algorithm>
#include <cstring>

namespace {

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// True when `relative`, appended to a directory, names something strictly below it as
// Windows resolves names: no colon (drive or stream), no leading separator, and no name that
// the system reads as the directory itself or a parent. Windows drops the trailing dots and
// blanks of a name, so a name made only of them ("..", "...", " ") climbs or stays put.
bool StaysBelow(const std::string& relative)
{
    if (relative.empty() || relative.find(':') != std::string::npos) return false;
    if (relative[0] == '\\' || relative[0] == '/') return false;
    bool named = false;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of("\\/", start);
        if (end == std::string::npos) end = relative.size();
        std::string name = relative.substr(start, end - start);
        if (!name.empty()) {
            if (name.find_first_not_of(". ") == std::string::npos) return false;
            named = true;
        }
        start = end + 1;
    }
    return named;
}

void CheckRegistryEntry(const std::string& text)
{
    RegistryEntry entry;
    entry.keyPath = "untouched";
    if (!SplitRegistryEntry(text, &entry)) {
        FUZZ_CHECK(entry.keyPath == "untouched");
        return;
    }
    // Never a root key, never an empty name between backslashes, never a cut path.
    FUZZ_CHECK(entry.root >= 0 && entry.root < kRootCount);
    FUZZ_CHECK(!entry.keyPath.empty() && entry.keyPath.size() <= kMaxPathChars);
    FUZZ_CHECK(entry.keyPath.front() != '\\' && entry.keyPath.back() != '\\');
    FUZZ_CHECK(entry.keyPath.find("\\\\") == std::string::npos);
    FUZZ_CHECK(entry.namesKey == (text.back() == '\\'));
    FUZZ_CHECK(entry.namesKey || entry.valueName.find('\\') == std::string::npos);
    FUZZ_CHECK(!entry.namesKey || entry.valueName.empty());

    // The entry names exactly what its text says, from its very start.
    std::string tail = entry.namesKey ? "\\" : "\\" + entry.valueName;
    std::string product = kProductKeyPath;
    if (StartsWith(text, "%ProgramRoot%")) {
        FUZZ_CHECK(entry.root == kRootLocalMachine);
        if (text == "%ProgramRoot%") {
            // The bare macro names the value of the product's own name in its parent key.
            FUZZ_CHECK(entry.keyPath + tail == product);
            return;
        }
        FUZZ_CHECK(entry.keyPath == product || StartsWith(entry.keyPath, product + "\\"));
        FUZZ_CHECK("%ProgramRoot%" + entry.keyPath.substr(product.size()) + tail == text);
    } else {
        std::string root = kRegistryRootNames[entry.root];
        FUZZ_CHECK(root + "\\" + entry.keyPath + tail == text);
    }
}

void CheckFilePath(const std::string& installDir, const std::string& relative,
                   const std::string& value, const std::string& systemDir)
{
    std::string path = "untouched";
    if (!ComposeFileEntryPath(installDir, relative, value, systemDir, &path)) {
        FUZZ_CHECK(path == "untouched");
        return;
    }
    FUZZ_CHECK(path.size() <= kMaxPathChars);
    FUZZ_CHECK(path.find_first_of("*?") == std::string::npos);  // one file, never a pattern
    if (StartsWith(value, "%SystemRoot%")) {
        FUZZ_CHECK(!systemDir.empty() && StartsWith(path, systemDir + "\\"));
        FUZZ_CHECK(StaysBelow(path.substr(systemDir.size() + 1)));
        FUZZ_CHECK(path == systemDir + value.substr(12));
        return;
    }
    FUZZ_CHECK(!installDir.empty() && installDir.back() == '\\' && StartsWith(path, installDir));
    FUZZ_CHECK(StaysBelow(path.substr(installDir.size())));
    std::string expected = installDir + (relative.empty() ? "" : relative + "\\") + value;
    FUZZ_CHECK(path == expected);
}

void CheckTreePath(const std::string& installDir, const std::string& relative,
                   const std::string& value)
{
    std::string path = "untouched";
    if (!ComposeTreeEntryPath(installDir, relative, value, &path)) {
        FUZZ_CHECK(path == "untouched");
        return;
    }
    // A tree strictly below the module directory: never the install directory itself.
    FUZZ_CHECK(path.size() <= kMaxPathChars && path.back() == '\\');
    FUZZ_CHECK(!installDir.empty() && StartsWith(path, installDir));
    FUZZ_CHECK(StaysBelow(path.substr(installDir.size(), path.size() - installDir.size() - 1)));
    FUZZ_CHECK(StaysBelow(value));
    std::string expected = installDir + (relative.empty() ? "" : relative + "\\") + value + "\\";
    FUZZ_CHECK(path == expected);
}

void CheckPatternDirectory(const std::string& installDir, const std::string& relative,
                           const std::string& value)
{
    std::string path = "untouched";
    if (!ComposePatternDirectory(installDir, relative, &path)) {
        FUZZ_CHECK(path == "untouched");
    } else {
        FUZZ_CHECK(path.size() <= kMaxPathChars && path == installDir + relative);
        FUZZ_CHECK(relative.empty() || StaysBelow(relative));
    }
    // A usable pattern is a name, never a path that climbs out or a drive.
    if (IsUsablePattern(value)) FUZZ_CHECK(StaysBelow(value));

    std::string directory = "untouched";
    if (ComposeModuleDirectory(installDir, relative, &directory)) {
        FUZZ_CHECK(directory.size() <= kMaxPathChars && StartsWith(directory, installDir));
        FUZZ_CHECK(relative.empty() ? directory == installDir : StaysBelow(relative));
    } else {
        FUZZ_CHECK(directory == "untouched");
    }
}

void CheckList(const std::string& list)
{
    std::vector<std::string> items = SplitList(list);
    FUZZ_CHECK(static_cast<int>(items.size()) == CountListItems(list));
    std::string joined;
    for (size_t i = 0; i < items.size(); ++i) {
        FUZZ_CHECK(items[i].find(',') == std::string::npos);
        joined += (i ? "," : "") + items[i];
    }
    FUZZ_CHECK(joined == list);
    // The bar only moves forward, within its range, and ends full.
    int count = CountListItems(list);
    int previous = 0;
    for (int k = 0; k < count; ++k) {
        int position = ModuleProgressPosition(k, count);
        FUZZ_CHECK(position >= previous && position <= 100);
        FUZZ_CHECK(k + 1 < count || position == 100);
        previous = position;
    }
}

// The leading digits of a mask text (after blanks and a "+"), without leading zeros.
std::string LeadingDigits(const std::string& text)
{
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos) return "";
    if (text[i] == '+') ++i;
    size_t end = i;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    std::string digits = text.substr(i, end - i);
    size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? (digits.empty() ? "" : "0") : digits.substr(first);
}

void CheckNumbers(const std::string& text)
{
    std::string digits = LeadingDigits(text);
    bool overflows = digits.size() > 10 || (digits.size() == 10 && digits > "4294967295");
    uint32_t mask = ParseMask(text);
    if (digits.empty() || overflows) FUZZ_CHECK(mask == 0);
    else FUZZ_CHECK(std::to_string(mask) == digits);

    uint32_t divisor = ProgressDivisor(text);
    FUZZ_CHECK(divisor != 0);
    FUZZ_CHECK(divisor == (mask != 0 ? mask : 10u));
    for (uint32_t index : {0u, 1u, 2u, divisor, 0xFFFFFFFFu}) FileProgressPosition(index, divisor);

    unsigned long number = 0;
    std::memcpy(&number, text.data(), std::min(text.size(), sizeof number));
    std::string key = NumberedKey("DelDir", number);
    FUZZ_CHECK(key == "DelDir" + std::to_string(number));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> field = SplitFields(data, size, 4);
    const std::string& installDir = field[0];
    const std::string& relative = field[1];
    const std::string& value = field[2];
    const std::string& systemDir = field[3];

    CheckRegistryEntry(value);
    CheckFilePath(installDir, relative, value, systemDir);
    CheckTreePath(installDir, relative, value);
    CheckPatternDirectory(installDir, relative, value);
    CheckList(value);
    CheckNumbers(value);
    return 0;
}
