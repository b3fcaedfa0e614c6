// Which registry keys a manifest's key entry may delete.
#include "rules/KeyRules.h"
#include "base/Text.h"
#include "rules/PlaceRules.h"
#include <algorithm>
#include <cstring>

namespace {

// A system key below the machine's or a user's key; `tree` when everything below it is the
// system's too, and not only the key itself (whose children are then where products register).
struct SystemKey {
    const char* path;
    bool tree;
};

// Below HKLM (and HKCC, which mirrors its layout). RegistrationOf finds its trees here by place.
constexpr SystemKey kMachineKeys[] = {
    {"SOFTWARE\\MICROSOFT", true},  // by tree, but for kRegistrationKeys
    {"SOFTWARE\\MICROSOFT\\WINDOWS", true},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION", true},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER", true},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICES", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICESONCE", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHAREDDLLS", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\USER SHELL FOLDERS", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION", true},
    {"SOFTWARE\\MICROSOFT\\ACTIVE SETUP\\INSTALLED COMPONENTS", false},
    {"SOFTWARE\\MICROSOFT\\EXCHANGE\\CLIENT\\EXTENSIONS", false},
    {"SOFTWARE\\MICROSOFT\\PLUS!\\SYSTEM AGENT\\SAGE", false},
    {"SOFTWARE\\CLASSES", false},
    {"SOFTWARE\\POLICIES", true},
    // The product's own: the driver reads the edition directories from it.
    {"SOFTWARE\\MORWA SOFTWARE\\UNINSTALL", false},
    {"SYSTEM\\CURRENTCONTROLSET", false},
    {"SYSTEM\\CURRENTCONTROLSET\\CONTROL", true},
    {"SYSTEM\\CURRENTCONTROLSET\\ENUM", true},
    {"SYSTEM\\CURRENTCONTROLSET\\SERVICES", false},
    {"SYSTEM\\CURRENTCONTROLSET\\SERVICES\\VXD", false},
    {"SYSTEM\\CURRENTCONTROLSET\\SERVICES\\CLASS", true},
    {"SYSTEM\\CURRENTCONTROLSET\\SERVICES\\ARBITRATORS", true},
    {"SYSTEM\\CURRENTCONTROLSET\\SERVICES\\EVENTLOG", true},
    {"SYSTEM\\CURRENTCONTROLSET\\SERVICES\\TCPIP", true},
    {"SYSTEM\\CURRENTCONTROLSET\\SERVICES\\WINSOCK", true},
    {"SYSTEM\\CURRENTCONTROLSET\\SERVICES\\WINSOCK2", true},
};

// Below a user's key (HKCU, or HKU\name).
const SystemKey kUserKeys[] = {
    {"SOFTWARE\\MICROSOFT", true},  // by tree, but for kRegistrationKeys
    {"SOFTWARE\\MICROSOFT\\WINDOWS", true},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION", true},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER", true},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\USER SHELL FOLDERS", false},
    {"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION", true},
    {"SOFTWARE\\CLASSES", false},
    {"SOFTWARE\\POLICIES", true},
    {"CONTROL PANEL", true},
};

// Below SOFTWARE\MICROSOFT, of the machine or a user: the keys whose sub-keys products
// register as their own (an uninstall entry, an App Path, a System Agent job, ...).
const char* const kRegistrationKeys[] = {
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICES",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICESONCE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\BROWSER HELPER OBJECTS",
    "SOFTWARE\\MICROSOFT\\ACTIVE SETUP\\INSTALLED COMPONENTS",
    "SOFTWARE\\MICROSOFT\\EXCHANGE\\CLIENT\\EXTENSIONS",
    "SOFTWARE\\MICROSOFT\\PLUS!\\SYSTEM AGENT\\SAGE",
};

// The system's configuration: no key anywhere inside these is a product's to delete (a
// service's own key below SERVICES is, the device classes below it are not). Below HKLM;
// so is every key below a child of HKLM other than SOFTWARE, but for the services.
const char* const kMachineConfiguration[] = {
    "SYSTEM\\CURRENTCONTROLSET\\CONTROL", "SYSTEM\\CURRENTCONTROLSET\\ENUM",
    "SYSTEM\\CURRENTCONTROLSET\\HARDWARE PROFILES", "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\CLASS",
    "ENUM", "CONFIG", "HARDWARE", "SAM", "SECURITY",
};

// Below a user's key: the desktop's and the environment's settings; so is every key below a
// child of the user's key other than SOFTWARE (AppEvents, Keyboard Layout, Network, ...).
const char* const kUserConfiguration[] = {"CONTROL PANEL", "ENVIRONMENT"};

// The lists in which products register values of their own, next to the system's.
const char* const kRegistrationLists[] = {
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICES",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICESONCE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHAREDDLLS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELLEXECUTEHOOKS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHELL EXTENSIONS\\APPROVED",
    "SOFTWARE\\MICROSOFT\\EXCHANGE\\CLIENT\\EXTENSIONS",
    // The product's own: its edition directories.
    "SOFTWARE\\MORWA SOFTWARE\\UNINSTALL",
};

// Below SOFTWARE\CLASSES, of the machine or of a user: the classes Windows itself needs. The
// file types, extensions and protocols go by tree; below CLSID, the shell's handler lists and
// verbs, products register their own.
constexpr SystemKey kClassKeys[] = {
    // The first three in the order of Registration (RegistrationOf).
    {"CLSID", false}, {"INTERFACE", false}, {"TYPELIB", false}, {"APPID", false},
    {"PROTOCOLS", true}, {"MIME", true}, {"NETWORK", true}, {"UNKNOWN", true},
    {"*\\SHELLEX\\CONTEXTMENUHANDLERS", false}, {"*\\SHELLEX\\PROPERTYSHEETHANDLERS", false},
    {"DIRECTORY\\SHELLEX\\CONTEXTMENUHANDLERS", false},
    {"DIRECTORY\\SHELL", false}, {"FOLDER\\SHELLEX\\CONTEXTMENUHANDLERS", false},
    {"FOLDER\\SHELL", false}, {"DRIVE\\SHELLEX\\CONTEXTMENUHANDLERS", false},
    {"DRIVE\\SHELL", false}, {"ALLFILESYSTEMOBJECTS", true},
    {"EXEFILE", true}, {"COMFILE", true}, {"BATFILE", true}, {"CMDFILE", true},
    {"PIFFILE", true}, {"LNKFILE", true}, {"DLLFILE", true}, {"SYSFILE", true},
    {"VXDFILE", true}, {"DRVFILE", true}, {"TXTFILE", true}, {"INIFILE", true},
    {"INFFILE", true}, {"REGFILE", true}, {"HTMLFILE", true}, {"SCRFILE", true},
    {"HLPFILE", true}, {"CPLFILE", true},
    {".EXE", true}, {".COM", true}, {".BAT", true}, {".CMD", true}, {".PIF", true},
    {".LNK", true}, {".DLL", true}, {".SYS", true}, {".VXD", true}, {".DRV", true},
    {".TXT", true}, {".INI", true}, {".INF", true}, {".REG", true}, {".HTM", true},
    {".HTML", true}, {".SCR", true}, {".HLP", true}, {".CPL", true},
    {"HTTP", true}, {"HTTPS", true}, {"FTP", true}, {"FILE", true}, {"MAILTO", true},
};

// The canonical key: its root ("HKLM", "HKU", "HKCC", or "" for the roots that hold no
// stored keys) and its upper-cased path below it, names joined by single backslashes. Below
// HKU the first name is the user's key.
struct CanonicalKey {
    const char* root = "";
    std::string path;
    size_t base = 0;  // names before those a system-key list speaks of: 1 below HKU
};

const char kCurrentUser[] = "<CURRENT USER>";

bool StartsWithName(const std::string& path, size_t at, const char* name)
{
    size_t length = std::strlen(name);
    if (at > path.size() || path.compare(at, length, name) != 0) return false;
    return path.size() == at + length || path[at + length] == '\\';
}

// Where the names after the first `count` begin (past the path's end when there are none).
size_t NamesFrom(const std::string& path, size_t count)
{
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t slash = path.find('\\', at);
        if (slash == std::string::npos) return path.size() + 1;
        at = slash + 1;
    }
    return at;
}

size_t KeyNameCount(const std::string& path)
{
    if (path.empty()) return 0;
    size_t count = 1;
    for (char c : path)
        if (c == '\\') ++count;
    return count;
}

// Removes "WOW6432NODE\" (or a final "\WOW6432NODE") that stands at `at`: the 32-bit view of
// the keys below it on a 64-bit system.
void DropWowNode(std::string& path, size_t at)
{
    // Repeated, it still leads below the same key as far as these checks can tell.
    while (StartsWithName(path, at, "WOW6432NODE")) {
        if (at + 11 < path.size()) path.erase(at, 12);
        else path.erase(at > 0 ? at - 1 : 0);
    }
}

// Makes the aliases that lead to the same key one spelling, from name `base` on.
void Unalias(CanonicalKey& key)
{
    std::string& path = key.path;
    size_t at = NamesFrom(path, key.base);
    if (StartsWithName(path, at, "SOFTWARE")) {
        DropWowNode(path, at + 9);
        if (StartsWithName(path, at + 9, "CLASSES")) DropWowNode(path, at + 17);
    } else if (StartsWithName(path, at, "SYSTEM") && path.size() > at + 17 &&
               path.compare(at + 7, 10, "CONTROLSET") == 0) {
        // CONTROLSET001 and its siblings: the sets that CURRENTCONTROLSET is one of.
        size_t end = path.find('\\', at + 7);
        if (end == std::string::npos) end = path.size();
        if (end > at + 17) path.replace(at + 7, end - at - 7, "CURRENTCONTROLSET");
    }
}

CanonicalKey Canonical(RegistryRoot root, const std::string& keyPath)
{
    CanonicalKey key;
    key.path = UpperName(keyPath);
    switch (root) {
    case kRootLocalMachine: key.root = "HKLM"; break;
    case kRootClassesRoot:
        key.root = "HKLM";
        key.path = keyPath.empty() ? "SOFTWARE\\CLASSES" : "SOFTWARE\\CLASSES\\" + key.path;
        break;
    case kRootCurrentConfig: key.root = "HKCC"; break;
    case kRootCurrentUser:
        key.root = "HKU";
        key.path = keyPath.empty() ? kCurrentUser : kCurrentUser + ("\\" + key.path);
        break;
    case kRootUsers: key.root = "HKU"; break;
    default: return key;
    }
    if (std::strcmp(key.root, "HKU") == 0) {
        key.base = 1;
        // A user's classes hive, "HKU\<user>_CLASSES", is that user's SOFTWARE\CLASSES.
        size_t first = key.path.find('\\');
        if (first == std::string::npos) first = key.path.size();
        if (first > 8 && key.path.compare(first - 8, 8, "_CLASSES") == 0)
            key.path.replace(first - 8, 8, "\\SOFTWARE\\CLASSES");
    }
    Unalias(key);
    return key;
}

// Both upper case already; a byte outside ASCII may fold onto an ASCII letter, so it matches
// any byte of the listed name.
bool SameName(const std::string& path, size_t at, size_t length, const char* listed, size_t listedLength)
{
    if (length != listedLength) return false;
    for (size_t i = 0; i < length; ++i)
        if (path[at + i] != listed[i] && static_cast<unsigned char>(path[at + i]) < 128) return false;
    return true;
}

// How many names of the path from position `at` on lie below the listed key, or -1 when the
// path is not the listed key, nor above it, nor below it. -2: the path holds the listed key.
int Compare(const std::string& path, size_t at, const char* listed)
{
    if (at >= path.size()) return -1;
    const char* name = listed;
    for (;;) {
        size_t end = path.find('\\', at);
        if (end == std::string::npos) end = path.size();
        const char* nameEnd = std::strchr(name, '\\');
        size_t listedLength = nameEnd ? static_cast<size_t>(nameEnd - name) : std::strlen(name);
        if (!SameName(path, at, end - at, name, listedLength)) return -1;
        bool pathDone = end == path.size();
        if (!nameEnd) return pathDone ? 0 : static_cast<int>(KeyNameCount(path.substr(end + 1)));
        if (pathDone) return -2;
        at = end + 1;
        name = nameEnd + 1;
    }
}

bool MatchesList(const std::string& path, size_t at, const SystemKey* list, size_t count)
{
    for (size_t k = 0; k < count; ++k) {
        int below = Compare(path, at, list[k].path);
        if (below == 0 || below == -2 || (below >= 1 && list[k].tree)) return true;
    }
    return false;
}

// True when the key lies below (not at) one of the listed keys.
bool BelowAny(const std::string& path, size_t at, const char* const* list, size_t count)
{
    for (size_t k = 0; k < count; ++k)
        if (Compare(path, at, list[k]) >= 1) return true;
    return false;
}

bool IsSystemKey(const CanonicalKey& key)
{
    const std::string& path = key.path;
    size_t at = NamesFrom(path, key.base);
    if (BelowAny(path, at, kRegistrationKeys, sizeof kRegistrationKeys / sizeof kRegistrationKeys[0])) return false;
    bool user = key.base > 0;
    if (user ? MatchesList(path, at, kUserKeys, sizeof kUserKeys / sizeof kUserKeys[0])
             : MatchesList(path, at, kMachineKeys, sizeof kMachineKeys / sizeof kMachineKeys[0]))
        return true;
    // A class below SOFTWARE\CLASSES.
    if (Compare(path, at, "SOFTWARE\\CLASSES") >= 1)
        return MatchesList(path, at + 17, kClassKeys, sizeof kClassKeys / sizeof kClassKeys[0]);
    return false;
}

// True when the key lies at or below one of the listed keys.
bool InsideAny(const CanonicalKey& key, const char* const* list, size_t count)
{
    size_t at = NamesFrom(key.path, key.base);
    for (size_t k = 0; k < count; ++k) {
        int below = Compare(key.path, at, list[k]);
        if (below >= 0) return true;
    }
    return false;
}

bool IsConfiguration(const CanonicalKey& key)
{
    if (std::strcmp(key.root, "HKCC") == 0) return true;
    // Below a child of the root (or of the user's key) other than SOFTWARE; for the machine,
    // a service's key and the keys that lead to it aside.
    size_t at = NamesFrom(key.path, key.base);
    if (KeyNameCount(key.path) >= key.base + 2 && !StartsWithName(key.path, at, "SOFTWARE")) {
        if (key.base > 0) return true;
        int services = Compare(key.path, at, "SYSTEM\\CURRENTCONTROLSET\\SERVICES");
        if (services != -2 && services < 0) return true;
    }
    return key.base > 0 ? InsideAny(key, kUserConfiguration, sizeof kUserConfiguration / sizeof kUserConfiguration[0])
                        : InsideAny(key, kMachineConfiguration,
                                    sizeof kMachineConfiguration / sizeof kMachineConfiguration[0]);
}

bool IsRegistrationList(const CanonicalKey& key)
{
    size_t at = NamesFrom(key.path, key.base);
    for (const char* list : kRegistrationLists)
        if (Compare(key.path, at, list) == 0) return true;
    return false;
}

}  // namespace

std::string CanonicalKeyName(RegistryRoot root, const std::string& keyPath)
{
    CanonicalKey key = Canonical(root, keyPath);
    if (*key.root == '\0') return std::string();
    return key.path.empty() ? std::string(key.root) : key.root + ("\\" + key.path);
}

RefusalRule CheckKeyDeletion(RegistryRoot root, const std::string& keyPath)
{
    CanonicalKey key = Canonical(root, keyPath);
    if (*key.root == '\0') return RefusalRule::kDynamicKey;
    if (keyPath.empty()) return RefusalRule::kRootKey;
    // An empty name ("A\\B", a backslash at either end) names no key of its own either.
    if (key.path.front() == '\\' || key.path.back() == '\\' || key.path.find("\\\\") != std::string::npos)
        return RefusalRule::kRootKey;
    if (IsConfiguration(key)) return RefusalRule::kSystemConfiguration;
    // Below HKU the first name is a user's key, whose children are a root's children to that
    // user (HKCU\Software).
    const size_t names = KeyNameCount(key.path);
    if (names <= key.base + 1) return RefusalRule::kRootChildKey;
    if (IsSystemKey(key)) return RefusalRule::kSystemKey;
    size_t at = NamesFrom(key.path, key.base);
    if (names == key.base + 2 && Compare(key.path, at, "SOFTWARE") == 1) return RefusalRule::kVendorKey;
    return RefusalRule::kNone;
}

RefusalRule CheckValueDeletion(RegistryRoot root, const std::string& keyPath)
{
    CanonicalKey key = Canonical(root, keyPath);
    if (*key.root == '\0') return RefusalRule::kDynamicKey;
    if (!keyPath.empty() && IsConfiguration(key)) return RefusalRule::kSystemConfiguration;
    switch (CheckKeyDeletion(root, keyPath)) {
    case RefusalRule::kRootKey:
    case RefusalRule::kRootChildKey:
    case RefusalRule::kSystemKey:
        return IsRegistrationList(key) ? RefusalRule::kNone : RefusalRule::kSystemValue;
    case RefusalRule::kSystemConfiguration: return RefusalRule::kSystemConfiguration;
    default: return RefusalRule::kNone;  // the product's keys, and a vendor's own
    }
}

namespace {

// The shared trees, by the key below which each registration is one child, in the order of
// Registration from kClass on (the services twice: below VxD first): their places in
// kMachineKeys (Software\Classes, App Paths, Uninstall, Installed Components, Services\VxD,
// Services).
constexpr unsigned char kRegistrationTrees[] = {17, 9, 8, 14, 24, 23};

// The positions above are checked where they are written, so that a key added to the lists
// cannot shift them unnoticed; and so is the order of Registration that RegistrationOf counts on.
constexpr bool SameText(const char* a, const char* b)
{
    return *a == *b && (*a == '\0' || SameText(a + 1, b + 1));
}
static_assert(SameText(kMachineKeys[kRegistrationTrees[0]].path, "SOFTWARE\\CLASSES") &&
                  SameText(kMachineKeys[kRegistrationTrees[1]].path, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS") &&
                  SameText(kMachineKeys[kRegistrationTrees[2]].path, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL") &&
                  SameText(kMachineKeys[kRegistrationTrees[3]].path, "SOFTWARE\\MICROSOFT\\ACTIVE SETUP\\INSTALLED COMPONENTS") &&
                  SameText(kMachineKeys[kRegistrationTrees[4]].path, "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\VXD") &&
                  SameText(kMachineKeys[kRegistrationTrees[5]].path, "SYSTEM\\CURRENTCONTROLSET\\SERVICES"),
              "kRegistrationTrees names the registration trees of kMachineKeys");
static_assert(SameText(kClassKeys[0].path, "CLSID") && SameText(kClassKeys[1].path, "INTERFACE") &&
                  SameText(kClassKeys[2].path, "TYPELIB"),
              "the first class keys are in the order of Registration");
static_assert(static_cast<int>(Registration::kClsid) == 1 && static_cast<int>(Registration::kTypeLib) == 3 &&
                  static_cast<int>(Registration::kClass) == 4 && static_cast<int>(Registration::kAppPath) == 5 &&
                  static_cast<int>(Registration::kUninstall) == 6 && static_cast<int>(Registration::kComponent) == 7 &&
                  static_cast<int>(Registration::kService) == 8,
              "RegistrationOf counts the trees in the order of Registration");

// True when `name` in upper case is one of the names of `list` ("A\0B*\0": "*" stands for any
// end; an empty name ends the list).
bool Listed(const char* name, const char* list)
{
    for (; *list; list += std::strlen(list) + 1) {
        const char* at = name;
        for (const char* listed = list;; ++at, ++listed) {
            if (*listed == '*') return true;
            if (UpperAscii(*at) != *listed) break;
            if (!*at) return true;
        }
    }
    return false;
}

}  // namespace

Registration RegistrationOf(RegistryRoot root, const std::string& keyPath, bool* whole)
{
    const CanonicalKey key = Canonical(root, keyPath);
    const std::string& path = key.path;
    const size_t at = NamesFrom(path, key.base);
    for (int k = 0; k < 6; ++k) {
        const char* tree = kMachineKeys[kRegistrationTrees[k]].path;
        int below = Compare(path, at, tree);
        if (below < 1) continue;
        Registration kind = static_cast<Registration>(std::min(k + 4, 8));
        const size_t child = at + std::strlen(tree) + 1;
        if (k == 0) {
            // CLSID, Interface and TypeLib (the first of the class keys) hold their registrations
            // one name deeper.
            for (int deeper = 0; deeper < 3; ++deeper)
                if (below > 1 && StartsWithName(path, child, kClassKeys[deeper].path)) {
                    kind = static_cast<Registration>(deeper + 1);
                    --below;
                    break;
                }
            if (kind == Registration::kClass && path[child] == '.') kind = Registration::kExtension;
        }
        *whole = below == 1;
        return kind;
    }
    return Registration::kNone;
}

Evidence EvidenceOf(Registration kind, int depth, const char* keyName, const char* valueName)
{
    const bool top = depth == 0;
    if (*valueName)
        return top && Listed(valueName, "IMAGEPATH\0STATICVXD\0PATH\0UNINSTALLSTRING\0DISPLAYICON\0STUBPATH\0QELEVIDENCE\0")
                   ? Evidence::kFile
                   : Evidence::kNone;
    if ((top && kind == Registration::kExtension) ||
        (depth == 1 && kind == Registration::kInterface))
        return Evidence::kRegistration;
    return (top && kind == Registration::kAppPath) ||
                   Listed(keyName, "COMMAND\0INPROCSERVER32\0LOCALSERVER32\0DEFAULTICON\0WIN32\0")
               ? Evidence::kFile
               : Evidence::kNone;
}

std::string NamedRegistration(Registration kind, const std::string& keyPath, const std::string& value)
{
    std::string named;
    if (IsExactListedKeyName(value)) {
        size_t cut = keyPath.rfind('\\');
        if (kind == Registration::kInterface && cut != std::string::npos && cut > 0) cut = keyPath.rfind('\\', cut - 1);
        named.assign(keyPath, 0, cut == std::string::npos ? 0 : cut + 1);
        if (kind == Registration::kInterface) (named += kClassKeys[0].path) += '\\';
        named += value;
    }
    return named;
}

std::string PathInCommand(const std::string& text)
{
    const char* at = text.c_str();
    for (bool library = false;; library = true) {
        while (*at == ' ') ++at;
        const char* end = at;
        const char* name = at;
        if (*at == '"') {
            end = std::strchr(++at, '"');
            // A quoted path goes on after its quote ("...\"..\x.dll) names no file it spells.
            if (!end || (end[1] && end[1] != ' ' && end[1] != ',')) return std::string();
        } else {
            // Up to an icon's index or an entry point, or the blank after a name with an extension.
            for (; *end && *end != ','; ++end) {
                if (*end == '\\') name = end + 1;
                if (*end == ' ' && std::memchr(name, '.', end - name)) break;
            }
            while (end > at && end[-1] == ' ') --end;
        }
        std::string path(at, static_cast<size_t>(end - at));
        const size_t slash = path.rfind('\\');
        if (library || !Listed(path.c_str() + (slash + 1), "RUNDLL*\0"))
            return CheckFullPath(path) == RefusalRule::kNone ? path : std::string();
        at = end + (*end != '\0');
    }
}
