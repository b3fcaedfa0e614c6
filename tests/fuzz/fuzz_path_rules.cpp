// Fuzzes the path decisions of the file-tree deletion: no composed path passes the limit,
// and nothing above a guarded directory is ever allowed.
#include "engine/PathRules.h"
#include "engine/Text.h"
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('|');
    std::string base = input.substr(0, split);
    std::string name = split == std::string::npos ? std::string() : input.substr(split + 1);

    std::string path = "unchanged";
    bool composed = ComposeEntryPath(DirectoryBase(base), name, &path);
    if (composed && (path.size() > kMaxPathChars || path != DirectoryBase(base) + name)) std::abort();
    if (!composed && path != "unchanged") std::abort();

    const std::vector<std::string> guarded = {"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM",
                                              "C:\\PROGRAM FILES"};
    bool refused = IsProtectedDirectory(base, guarded);
    // Any directory that holds a guarded one, or is one, must be refused.
    std::string upper = UpperAscii(base);
    while (!upper.empty() && upper.back() == '\\') upper.pop_back();
    for (const std::string& guard : guarded) {
        bool above = guard.compare(0, upper.size(), upper) == 0 &&
                     (guard.size() == upper.size() || guard[upper.size()] == '\\');
        if (above && !refused) std::abort();
    }
    if (upper.size() <= 2 && !refused) std::abort();

    if (PathMatchesPattern(base, name) && name.empty()) std::abort();
    return 0;
}
