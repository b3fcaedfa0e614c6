// Fuzzes the path decisions of the file-tree deletion: no composed path passes the limit,
// nothing that is or holds a protected place is ever allowed whatever its spelling, and a
// device form or a relative text is never taken for a full path.
#include "engine/EntryPaths.h"
#include "rules/PlaceRules.h"
#include "base/Text.h"
#include "tests/fuzz/FuzzInput.h"
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The test's own view of a comparable path: upper case, backslashes, no empty names and no
// trailing dots or blanks on names.
std::vector<std::string> Names(const std::string& path)
{
    std::vector<std::string> names;
    std::string name;
    for (size_t i = 0; i <= path.size(); ++i) {
        char c = i < path.size() ? path[i] : '\\';
        if (c == '\\' || c == '/') {
            while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
            if (!name.empty()) names.push_back(UpperAscii(name));
            name.clear();
        } else {
            name += c;
        }
    }
    return names;
}

bool IsPrefix(const std::vector<std::string>& above, const std::vector<std::string>& below)
{
    if (above.size() > below.size()) return false;
    for (size_t i = 0; i < above.size(); ++i)
        if (above[i] != below[i]) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> field = SplitFields(data, size, 3);
    const std::string& base = field[0];
    const std::string& name = field[1];

    std::string path = "unchanged";
    bool composed = ComposeEntryPath(DirectoryBase(base), name, &path);
    FUZZ_CHECK(!composed || (path.size() <= kMaxPathChars && path == DirectoryBase(base) + name));
    FUZZ_CHECK(composed || path == "unchanged");
    FUZZ_CHECK(!(PathMatchesPattern(base, name) && name.empty()));

    // A candidate directory against three places, one of them given by the input too.
    std::vector<ProtectedPlace> places(3);
    places[0].forms = {"C:\\WINDOWS"};
    places[0].kind = PlaceKind::kWindowsTree;
    places[1].forms = {"C:\\Program Files", "C:\\PROGRA~1"};
    places[2].forms = {field[2]};
    places[2].rule = RefusalRule::kShellFolder;
    places[2].kind = PlaceKind::kUsersTree;
    const bool uncBase = base.size() >= 2 && (base[0] == '\\' || base[0] == '/') &&
                         (base[1] == '\\' || base[1] == '/');
    RefusalRule rule = CheckDirectoryPlace({base}, places);
    RefusalRule asInstallDir = CheckInstallDirectoryPlace({base}, places);
    // An install directory is refused at most where any directory is.
    if (rule == RefusalRule::kNone) FUZZ_CHECK(asInstallDir == RefusalRule::kNone);
    std::vector<std::string> names = Names(base);
    if (names.size() <= (uncBase ? 2u : 1u)) FUZZ_CHECK(rule == RefusalRule::kDriveRoot);
    for (const ProtectedPlace& place : places) {
        for (const std::string& form : place.forms) {
            std::vector<std::string> guard = Names(form);
            bool sameKind = uncBase == (form.size() >= 2 && (form[0] == '\\' || form[0] == '/') &&
                                        (form[1] == '\\' || form[1] == '/'));
            if (guard.empty() || !sameKind) continue;
            // What holds a place, or is it, is refused, as an install directory too.
            if (IsPrefix(names, guard)) FUZZ_CHECK(rule != RefusalRule::kNone && asInstallDir != RefusalRule::kNone);
            // So is whatever lies in a tree; in the Windows tree, an install directory too. (A
            // place is always a full path: the system names no other.)
            const bool inTree = CheckFullPath(form) == RefusalRule::kNone && IsPrefix(guard, names);
            if (place.kind != PlaceKind::kPlace && inTree) FUZZ_CHECK(rule != RefusalRule::kNone);
            if (place.kind == PlaceKind::kWindowsTree && inTree) FUZZ_CHECK(asInstallDir != RefusalRule::kNone);
        }
    }

    RefusalRule full = CheckFullPath(base);
    if (IsDevicePath(base)) FUZZ_CHECK(full == RefusalRule::kDevicePath);
    if (full == RefusalRule::kNone) {
        bool drive = base.size() >= 3 && base[1] == ':' && base[2] == '\\';
        bool share = base.size() >= 5 && base[0] == '\\' && base[1] == '\\' && base[2] != '\\';
        FUZZ_CHECK(drive || share);
        FUZZ_CHECK(!IsDevicePath(base));
    }
    // A path taken for its own short form is a full path; on a drive, its names hold no blank.
    if (IsShortFormAlready(base)) {
        FUZZ_CHECK(full == RefusalRule::kNone);
        FUZZ_CHECK(base[0] == '\\' || base.find(' ') == std::string::npos);
    }
    // An administrative share stands for a local path, never for another share.
    std::string local = LocalFormOfAdminShare(base, "C:\\WINDOWS");
    if (local != base) FUZZ_CHECK(local.size() >= 2 && (local[1] == ':' || local.compare(0, 10, "C:\\WINDOWS") == 0));
    return 0;
}
