// Fuzzes the key-deletion rules and the shared-file decision: no input reads past a text,
// no key at or next to a root is ever allowed, the answer does not depend on the case of
// ASCII letters or on the 64-bit view's WOW6432NODE, and a count is never raised.
#include "rules/KeyRules.h"
#include "rules/PlaceRules.h"
#include "rules/SharedFileRules.h"
#include "base/Text.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

size_t CountNames(const std::string& canonical)
{
    size_t names = 0;
    for (char c : canonical)
        if (c == '\\') ++names;
    return names;  // the root's own name has no backslash before it
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void CheckKey(RegistryRoot root, const std::string& path)
{
    RefusalRule rule = CheckKeyDeletion(root, path);
    std::string canonical = CanonicalKeyName(root, path);
    if (root == kRootPerformanceData || root == kRootDynData) {
        FUZZ_CHECK(rule == RefusalRule::kDynamicKey && canonical.empty());
        return;
    }
    if (rule == RefusalRule::kNone) {
        // At least two names below the machine's root, three below HKU (the user's key first).
        const bool users = canonical.compare(0, 4, "HKU\\") == 0;
        FUZZ_CHECK(CountNames(canonical) >= (users ? 3u : 2u));
        FUZZ_CHECK(canonical.find("\\\\") == std::string::npos && canonical.back() != '\\');
        // Below the machine's or the user's key: nothing at or above the Run key.
        size_t below = canonical.find('\\');
        if (users) below = canonical.find('\\', below + 1);
        std::string rest = below == std::string::npos ? std::string() : canonical.substr(below + 1);
        const std::string run = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN";
        FUZZ_CHECK(rest.compare(0, run.size(), run) != 0 || rest.size() > run.size() + 1);
    }
    FUZZ_CHECK(CheckKeyDeletion(root, Lower(path)) == rule);
    FUZZ_CHECK(CheckKeyDeletion(root, UpperAscii(path)) == rule);
    if (root == kRootLocalMachine && UpperAscii(path).compare(0, 9, "SOFTWARE\\") == 0 && path.size() > 9)
        FUZZ_CHECK(CheckKeyDeletion(root, path.substr(0, 9) + "Wow6432Node\\" + path.substr(9)) == rule);
    // The shared registration a key lies in does not depend on ASCII case either.
    bool whole = false, lowerWhole = false;
    const Registration kind = RegistrationOf(root, path, &whole);
    FUZZ_CHECK(RegistrationOf(root, Lower(path), &lowerWhole) == kind && (kind == Registration::kNone || whole == lowerWhole));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    std::vector<std::string> field = SplitFields(data + 1, size - 1, 2);
    CheckKey(static_cast<RegistryRoot>(data[0] % kRootCount), field[0]);
    // A command's file is a full path, and a piece of the command itself.
    const std::string file = PathInCommand(field[1]);
    FUZZ_CHECK(file.empty() || (CheckFullPath(file) == RefusalRule::kNone && field[1].find(file) != std::string::npos));

    const unsigned char* count = reinterpret_cast<const unsigned char*>(field[1].data());
    SharedFileDecision decision = DecideSharedFile(!field[1].empty(), data[0] % 5, count, field[1].size());
    if (decision.action == SharedFileAction::kKeepAndRelease) {
        uint32_t before = static_cast<uint32_t>(count[0]) | static_cast<uint32_t>(count[1]) << 8 |
                          static_cast<uint32_t>(count[2]) << 16 | static_cast<uint32_t>(count[3]) << 24;
        FUZZ_CHECK(field[1].size() == 4 && before >= 2 && decision.newCount == before - 1);
    }
    if (decision.action == SharedFileAction::kDelete) FUZZ_CHECK(field[1].empty());
    return 0;
}
