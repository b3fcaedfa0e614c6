// Decisions about the places a deletion must never reach.
#include "rules/PlaceRules.h"
#include "base/PathLimits.h"
#include "base/Text.h"
#include <cstring>

namespace {

bool IsSlash(char c)
{
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The spelling the comparisons use: upper case, backslashes only, each name without the
// trailing dots and blanks that the system drops (a name left empty goes), no trailing
// backslash. A leading pair of slashes stays as the mark of a network path.
std::string Comparable(const std::string& path)
{
    std::string text;
    if (path.size() >= 2 && IsSlash(path[0]) && IsSlash(path[1])) text = "\\\\";
    size_t nameStart = text.size();
    for (size_t i = 0; i <= path.size(); ++i) {
        char c = i < path.size() ? path[i] : '\\';
        if (!IsSlash(c)) {
            text += UpperName(c);
            continue;
        }
        while (text.size() > nameStart && (text.back() == '.' || text.back() == ' ')) text.pop_back();
        if (text.size() > nameStart) text += '\\';
        nameStart = text.size();
    }
    if (text.size() > 2 && text.back() == '\\') text.pop_back();
    return text;
}

// The number of names in a comparable spelling ("C:" is one, "\\\\SERVER\\SHARE" two).
size_t PathNameCount(const std::string& text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\\' && (i == 0 || text[i - 1] == '\\')) ++count;
    return count;
}

// How many names `path` has below `ancestor`, or -1 when `ancestor` is not it or above it.
int NamesBelow(const std::string& ancestor, const std::string& path)
{
    if (ancestor.empty() || path.compare(0, ancestor.size(), ancestor) != 0) return -1;
    if (path.size() == ancestor.size()) return 0;
    if (path[ancestor.size()] != '\\') return -1;
    return static_cast<int>(PathNameCount(path.substr(ancestor.size())));
}

// A drive ("C:"), a share ("\\\\SERVER\\SHARE") or less.
bool IsRoot(const std::string& text)
{
    size_t names = PathNameCount(text);
    return text.compare(0, 2, "\\\\") == 0 ? names <= 2 : names <= 1;
}

enum Relation { kUnrelated, kIsPlace, kHoldsPlace, kInsidePlace };

// How the directory, in any of its spellings, stands to the place in any of its own.
Relation RelationTo(const std::vector<std::string>& candidate, const ProtectedPlace& place)
{
    Relation relation = kUnrelated;
    for (const std::string& placeForm : place.forms) {
        if (placeForm.empty()) continue;
        std::string guard = Comparable(placeForm);
        for (const std::string& form : candidate) {
            int below = NamesBelow(form, guard);
            if (below == 0) return kIsPlace;
            if (below > 0) relation = kHoldsPlace;
            else if (relation == kUnrelated && NamesBelow(guard, form) > 0) relation = kInsidePlace;
        }
    }
    return relation;
}

// The comparable spellings, or false for a root among them.
bool Candidate(const std::vector<std::string>& forms, std::vector<std::string>* candidate)
{
    for (const std::string& form : forms) {
        candidate->push_back(Comparable(form));
        if (IsRoot(candidate->back())) return false;
    }
    return true;
}

// Which places refuse what lies inside them: every tree, or for an install directory only
// the Windows tree.
RefusalRule CheckPlaces(const std::vector<std::string>& forms, const std::vector<ProtectedPlace>& places,
                        bool installDirectory)
{
    if (forms.empty()) return RefusalRule::kUnresolvedPath;
    std::vector<std::string> candidate;
    if (!Candidate(forms, &candidate)) return RefusalRule::kDriveRoot;
    // A place that the directory is names the rule better than one it holds or lies in.
    RefusalRule other = RefusalRule::kNone;
    for (const ProtectedPlace& place : places) {
        Relation relation = RelationTo(candidate, place);
        if (relation == kIsPlace) return place.rule;
        if (other != RefusalRule::kNone) continue;
        if (relation == kHoldsPlace) other = place.rule;
        if (relation != kInsidePlace || place.kind == PlaceKind::kPlace) continue;
        if (place.kind == PlaceKind::kWindowsTree) other = RefusalRule::kWindowsDirectory;
        else if (!installDirectory) other = place.rule;
    }
    return other;
}

// A valid 8.3 name of ASCII characters: one to eight characters, then optionally a dot and one to three more,
// none of them a blank or one of the characters that long names alone may hold.
bool IsShortName(const std::string& path, size_t start, size_t end)
{
    size_t dot = std::string::npos;
    for (size_t i = start; i < end; ++i) {
        char c = path[i];
        if (c == '.') {
            if (dot != std::string::npos) return false;
            dot = i;
        } else if (c == ' ' || c == '+' || c == ',' || c == ';' || c == '=' || c == '[' ||
                   c == ']' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
                   c == '|' || c == ':' || static_cast<unsigned char>(c) < 32 ||
                   static_cast<unsigned char>(c) >= 128) {
            // A name with a character beyond ASCII is never taken as its own short form: the
            // system may have given it another (and with it, another spelling to compare).
            return false;
        }
    }
    size_t base = (dot == std::string::npos ? end : dot) - start;
    size_t extension = dot == std::string::npos ? 0 : end - dot - 1;
    return base >= 1 && base <= 8 && extension <= 3 && (dot == std::string::npos || extension >= 1);
}

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperName(a[i]) != UpperName(b[i])) return false;
    return true;
}

}  // namespace

bool IsExactListedName(const std::string& name)
{
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 32 || std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
    return true;  // a name of dots only ends with one
}

ListedNameUse UseOfListedName(const std::string& name, const std::string& shortName)
{
    const bool exact = IsExactListedName(name);
    // An 8.3 name has no short name of another spelling unless the system made one for the
    // true name, which the listing does not show.
    const bool changed = exact && !shortName.empty() && IsShortName(name, 0, name.size()) &&
                         !SameIgnoringCase(name, shortName);
    if (exact && !changed) return ListedNameUse::kName;
    if (!shortName.empty() && IsExactListedName(shortName) && IsShortName(shortName, 0, shortName.size()))
        return ListedNameUse::kShortName;
    return ListedNameUse::kLeave;
}

RefusalRule ListedNameRule(const std::string& name)
{
    const size_t kept = name.find_last_not_of(". ");
    const bool trailing = kept != std::string::npos && kept + 1 < name.size() &&
                          IsExactListedName(name.substr(0, kept + 1));
    return trailing ? RefusalRule::kTrailingDots : RefusalRule::kListedName;
}

bool IsExactListedKeyName(const std::string& name)
{
    return !name.empty() && name.find_first_of("\\?") == std::string::npos;
}

size_t PathRootLength(const std::string& path)
{
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return 3;
    if (path.compare(0, 2, "\\\\") != 0) return std::string::npos;
    size_t server = path.find('\\', 2);
    if (server == std::string::npos) return std::string::npos;
    size_t share = path.find('\\', server + 1);
    return share == std::string::npos ? path.size() : share + 1;
}

bool IsDriveOrShareRoot(const std::string& path)
{
    return IsRoot(Comparable(path));
}

bool IsShortFormAlready(const std::string& fullPath)
{
    if (CheckFullPath(fullPath) != RefusalRule::kNone) return false;
    size_t start = PathRootLength(fullPath);
    if (start == std::string::npos) return false;
    while (start < fullPath.size()) {
        size_t end = fullPath.find('\\', start);
        if (end == std::string::npos) end = fullPath.size();
        if (!IsShortName(fullPath, start, end)) return false;
        start = end + 1;
    }
    return true;
}

std::string ApplyDriveMapping(const std::string& fullPath, const std::string& dosDevice)
{
    if (fullPath.size() < 2 || !IsDriveLetter(fullPath[0]) || fullPath[1] != ':') return std::string();
    if (dosDevice.compare(0, 4, "\\??\\") != 0) return std::string();
    std::string folder = dosDevice.substr(4);
    if (folder.compare(0, 4, "UNC\\") == 0) folder = "\\\\" + folder.substr(4);
    if (CheckFullPath(folder) != RefusalRule::kNone) return std::string();
    while (folder.size() > 3 && IsSlash(folder.back())) folder.pop_back();
    std::string rest = fullPath.substr(2);
    if (!rest.empty() && !IsSlash(rest[0])) return std::string();  // "W:x" is relative to W:'s current directory
    std::string mapped = folder + rest;
    return mapped.size() > kMaxPathChars ? std::string() : mapped;
}

bool IsDevicePath(const std::string& path)
{
    if (path.size() < 4 || !IsSlash(path[3])) return false;
    bool slashes = IsSlash(path[0]) && IsSlash(path[1]);
    if (slashes && (path[2] == '?' || path[2] == '.')) return true;
    return IsSlash(path[0]) && path[1] == '?' && path[2] == '?';
}

RefusalRule CheckFullPath(const std::string& text)
{
    if (IsDevicePath(text)) return RefusalRule::kDevicePath;
    if (text.size() >= 3 && IsDriveLetter(text[0]) && text[1] == ':' && text[2] == '\\')
        return RefusalRule::kNone;
    // \\server\share: a server name, then a share name.
    if (text.size() >= 5 && text[0] == '\\' && text[1] == '\\' && text[2] != '\\') {
        size_t slash = text.find('\\', 2);
        if (slash != std::string::npos && slash + 1 < text.size() && text[slash + 1] != '\\')
            return RefusalRule::kNone;
    }
    return RefusalRule::kRelativePath;
}

std::string LocalFormOfAdminShare(const std::string& path, const std::string& windowsDir)
{
    std::string text = Comparable(path);
    if (text.compare(0, 2, "\\\\") != 0) return path;
    size_t share = text.find('\\', 2);
    if (share == std::string::npos) return path;
    size_t rest = text.find('\\', share + 1);
    if (rest == std::string::npos) rest = text.size();
    std::string name = text.substr(share + 1, rest - share - 1);
    if (name.size() == 2 && IsDriveLetter(name[0]) && name[1] == '$')
        return name.substr(0, 1) + ":" + (rest < text.size() ? text.substr(rest) : "\\");
    if (name == "ADMIN$" && !windowsDir.empty()) return windowsDir + text.substr(rest);
    return path;
}

RefusalRule CheckDirectoryPlace(const std::vector<std::string>& forms,
                                const std::vector<ProtectedPlace>& places)
{
    return CheckPlaces(forms, places, false);
}

RefusalRule CheckInstallDirectoryPlace(const std::vector<std::string>& forms,
                                       const std::vector<ProtectedPlace>& places)
{
    return CheckPlaces(forms, places, true);
}

RefusalRule CheckPlacesByIdentity(const std::vector<DirectoryIdentity>& chain,
                                  const std::vector<ProtectedPlace>& places, bool installDirectory)
{
    RefusalRule other = RefusalRule::kNone;
    for (const ProtectedPlace& place : places) {
        if (place.identities.empty() || chain.empty()) continue;
        if (chain[0] == place.identities[0]) return place.rule;
        if (other != RefusalRule::kNone) continue;
        for (size_t i = 1; i < place.identities.size(); ++i)
            if (chain[0] == place.identities[i]) other = place.rule;  // holds the place
        for (size_t i = 1; i < chain.size() && other == RefusalRule::kNone; ++i) {
            if (!(chain[i] == place.identities[0]) || place.kind == PlaceKind::kPlace) continue;
            if (place.kind == PlaceKind::kWindowsTree) other = RefusalRule::kWindowsDirectory;
            else if (!installDirectory) other = place.rule;
        }
    }
    return other;
}

bool IsAtOrBelowAnyForm(const std::vector<std::string>& path, const std::vector<std::string>& directory)
{
    for (const std::string& above : directory)
        for (const std::string& form : path)
            if (!form.empty() && !above.empty() && IsAtOrBelow(form, above)) return true;
    return false;
}

bool IsAtOrBelow(const std::string& path, const std::string& directory)
{
    std::string above = Comparable(directory);
    return PathNameCount(above) > 0 && NamesBelow(above, Comparable(path)) >= 0;
}

bool CreatedBeforeProduct(unsigned long long created, unsigned long long since)
{
    return created != 0 && since > kInstallationSlack && created < since - kInstallationSlack;
}
