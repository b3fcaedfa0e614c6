// The places no deletion may empty or remove, gathered from the system.
#include "rules/ProtectedPlaces.h"
#include "base/PathLimits.h"
#include "base/Handles.h"
#include "base/RegistryText.h"
#include "base/SystemDirectories.h"
#include "rules/PathForms.h"
#include "base/Text.h"
#include <cstring>

namespace {

const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUserShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char kProfileListKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\ProfileList";
const char kNtProfileListKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const DWORD kReadAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
const DWORD kTextBufferSize = 1024;

// The places of the outermost ProtectedPlacesScope that took them, or none.
const std::vector<ProtectedPlace>* scopedPlaces = NULL;

bool UnderWine()
{
    return Bind(BoundFunction::kWineGetVersion) != NULL;
}

// While the places' identities are read, the identities already read: the places share most of the
// directories above them (the root, the Windows directory, the profile), and each open of a
// directory costs a system call or two.
bool cachingIdentities = false;
std::vector<std::pair<std::string, DirectoryIdentity>> identityCache;

DirectoryIdentity ReadIdentity(const std::string& directory);

// The identity of an existing directory, opened as a directory (the NT family and Wine; Windows
// 95/98 open no directory, and the identity stays unknown there).
DirectoryIdentity IdentityOf(const std::string& directory)
{
    if (!cachingIdentities) return ReadIdentity(directory);
    for (const auto& known : identityCache)
        if (known.first == directory) return known.second;
    identityCache.emplace_back(directory, ReadIdentity(directory));
    return identityCache.back().second;
}

DirectoryIdentity ReadIdentity(const std::string& directory)
{
    DirectoryIdentity identity;
    FileHandle opened(CreateFileA(directory.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL));
    BY_HANDLE_FILE_INFORMATION info;
    if (!opened.valid() || !GetFileInformationByHandle(opened.get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return identity;
    identity.volume = UnderWine() ? 0 : info.dwVolumeSerialNumber;
    identity.high = info.nFileIndexHigh;
    identity.low = info.nFileIndexLow;
    identity.known = true;
    return identity;
}

// What a drive letter's root is, asked once a run: told or not, and the identities of the
// directories above the folder it stands for (none for a volume's own root). A letter that stands
// for a folder shows only that folder at its root, never what holds it.
struct LetterRoot {
    bool asked = false, told = false;
    std::vector<DirectoryIdentity> above;  // the folder it stands for and those that hold it
};
LetterRoot letterRoots[27];  // the last for anything but a letter, never told

const LetterRoot& RootOfLetter(char letter);
bool OnLetter(const std::string& full);

// The identities of a full path and of every directory above it, nearest first, past its drive
// letter's root to what holds the folder the letter stands for.
std::vector<DirectoryIdentity> IdentityChain(const std::string& full)
{
    std::vector<DirectoryIdentity> chain;
    const size_t root = PathRootLength(full);
    if (root == std::string::npos) return chain;
    for (size_t end = full.size(); end >= root && chain.size() < 64;) {
        chain.push_back(IdentityOf(full.substr(0, end)));
        if (end == root) break;
        const size_t slash = full.find_last_of('\\', end - 2);
        if (slash == std::string::npos || slash + 1 < root) break;
        end = slash + 1 == root ? root : slash;
    }
    if (OnLetter(full) && !chain.empty()) {
        const LetterRoot& letter = RootOfLetter(full[0]);
        // Its first is the letter's root itself.
        for (size_t i = 1; letter.told && i < letter.above.size(); ++i) chain.push_back(letter.above[i]);
    }
    return chain;
}


// Wine's mount manager names the host folder of each letter (the dosdevices link's text), as
// Wine's own configuration tool reads it; nothing else Wine shows leads above a letter's root.
const DWORD kQueryUnixDrive = 0x6D4084;  // 'm', function 33, buffered, read access
struct UnixDrive {
    ULONG size, type, fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPoint, device, label;
};

// The letter's host folder as the mount manager names it, or "".
std::string MountPoint(char letter)
{
    FileHandle manager(CreateFileA("\\\\.\\MountPointManager", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   NULL, OPEN_EXISTING, 0, NULL));
    union {
        UnixDrive drive;
        char bytes[kTextBufferSize];
    } answer = {};
    answer.drive.letter = static_cast<WCHAR>(letter | 0x20);
    DWORD got = 0;
    typedef BOOL(WINAPI * Control)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    Control control = BindAs<Control>(BoundFunction::kDeviceIoControl);
    return manager.valid() && control &&
                   control(manager.get(), kQueryUnixDrive, &answer, sizeof(UnixDrive), &answer, sizeof answer - 1,
                           &got, NULL) &&
                   answer.drive.mountPoint >= sizeof(UnixDrive) && answer.drive.mountPoint < got
               ? answer.bytes + answer.drive.mountPoint
               : "";
}

// The host folder a letter stands for, spelt through Z:, which Wine makes the host's root
// (Z:\tmp\...), or "": not Wine, Wine tells nothing of it, or Z: is no longer the host's root.
std::string HostFormOfLetter(char letter)
{
    std::string host = MountPoint(letter);
    if (host.empty() || MountPoint('Z') != "/") return std::string();
    if (host[0] != '/') {
        // Relative to the prefix's dosdevices folder, which the host path of the letter names.
        typedef char*(__cdecl * UnixName)(const WCHAR* path);
        UnixName unixName = BindAs<UnixName>(BoundFunction::kWineGetUnixFileName);
        const WCHAR drive[4] = {static_cast<WCHAR>(letter), ':', '\\', 0};
        char* answer = unixName ? unixName(drive) : NULL;
        const std::string devices = answer ? answer : "";
        if (answer) HeapFree(GetProcessHeap(), 0, answer);  // Wine allocates it from the process heap
        const size_t end = devices.find("/dosdevices/");
        if (end == std::string::npos) return std::string();
        host.insert(0, devices, 0, end + 12);
    }
    host.insert(0, "Z:");
    for (char& c : host)
        if (c == '/') c = '\\';
    return FullPathOf(host);
}

bool OnWindowsLetter(const std::string& full);

// True when a directory of the host path is a link (Wine shows a host mount point as one too)
// where the Windows letter's own host path does not pass: there its parents in the spelling
// need not be the ones that hold it.
bool LinkOffGround(const std::string& host, const std::string& ground)
{
    for (size_t end = 3; end != std::string::npos;) {
        end = host.find('\\', end + 1);
        const std::string part = host.substr(0, end);
        const DWORD attributes = GetFileAttributesA(part.c_str());
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (ground.empty() || !IsAtOrBelow(ground, part))) return true;
    }
    return false;
}

void ReadLetterRoot(char letter, LetterRoot* root)
{
    const char path[4] = {letter, ':', '\\', '\0'};
    // A SUBST letter of the NT family: the folder it stands for, on a volume's own letter.
    std::string host = DriveMappedForm(path);
    const bool wine = host.empty() && UnderWine();
    if (wine) {
        host = HostFormOfLetter(letter);
    } else if (host.empty()) {
        // The NT family answers a volume's own letter with its device; Windows 95/98 answer
        // nothing, and a fixed drive of a serial number of its own is taken for a volume.
        root->told = SystemTellsDrive(path) || OwnFixedVolume(letter);
        return;
    }
    root->above = IdentityChain(host);
    // Under Wine the host folder must be what the letter shows, and reached through no link
    // beyond the Windows letter's own, so that the directories above it in its spelling hold it.
    root->told = !root->above.empty() &&
                 (!wine || (root->above[0] == IdentityOf(path) &&
                            (OnWindowsLetter(path) || !LinkOffGround(host, HostFormOfLetter(WindowsDirectory()[0])))));
}

const LetterRoot& RootOfLetter(char letter)
{
    const char upper = UpperAscii(letter);
    LetterRoot& root = letterRoots[upper >= 'A' && upper <= 'Z' ? upper - 'A' : 26];
    if (!root.asked && &root != &letterRoots[26]) {
        root.asked = true;
        ReadLetterRoot(upper, &root);
    }
    return root;
}

bool OnLetter(const std::string& full)
{
    return full.size() >= 2 && full[1] == ':';
}

bool AnyKnown(const std::vector<DirectoryIdentity>& chain)
{
    for (const DirectoryIdentity& identity : chain)
        if (identity.known) return true;
    return false;
}

// The Windows directory's own letter is taken for its volume's root where nothing places it.
bool OnWindowsLetter(const std::string& full)
{
    const std::string windows = WindowsDirectory();
    return OnLetter(windows) && UpperAscii(full[0]) == UpperAscii(windows[0]);
}

// The rule by what the system shows at the path: a place reached by another drive letter, share
// or host name. A network path whose identity the system cannot show at all: kCannotTell.
RefusalRule CheckIdentity(const std::string& full, const std::vector<ProtectedPlace>& places, bool installDirectory)
{
    cachingIdentities = false;  // what the path shows now, even after a gathering a fault ended
    // On the Windows directory's own letter a path reaches a place only in one of its spellings
    // or through a link, which its own rule refuses: only another letter or a share needs the
    // identities, and the places' are read then, once a run, the directories they share once.
    if (OnLetter(full) && OnWindowsLetter(full)) return RefusalRule::kNone;
    cachingIdentities = true;
    for (const ProtectedPlace& place : places)
        if (!place.identified) {
            place.identities = IdentityChain(place.forms[0]);
            place.identified = true;
        }
    cachingIdentities = false;
    identityCache.clear();
    const std::vector<DirectoryIdentity> chain = IdentityChain(full);
    // A letter whose root the system cannot place may stand for any folder of a protected place.
    if (!DriveRootTold(full)) return RefusalRule::kCannotTell;
    if (!AnyKnown(chain)) return full.compare(0, 2, "\\\\") == 0 ? RefusalRule::kCannotTell : RefusalRule::kNone;
    return CheckPlacesByIdentity(chain, places, installDirectory);
}

class PlaceList {
public:
    explicit PlaceList(std::vector<ProtectedPlace>& places) : places_(places) {}
    // Adds a place named by a full path; anything else names no place.
    void Add(const std::string& path, RefusalRule rule, PlaceKind kind)
    {
        if (CheckFullPath(path) != RefusalRule::kNone) return;
        std::string full = FullPathOf(path);
        if (full.empty() || Seen(full)) return;
        places_.emplace_back();
        ProtectedPlace& place = places_.back();
        place.rule = rule;
        place.kind = kind;
        place.forms = FormsOf(full);
    }

private:
    // Shell Folders and User Shell Folders name most places twice.
    bool Seen(const std::string& full) const
    {
        for (const ProtectedPlace& place : places_)
            if (UpperAscii(place.forms[0]) == UpperAscii(full)) return true;
        return false;
    }
    std::vector<ProtectedPlace>& places_;
};

// A text value, with its variables expanded when it is REG_EXPAND_SZ; "" for anything else.
std::string TextOf(const char* data, DWORD size, DWORD type)
{
    std::string text;
    return ExpandedValueText(data, size, type, kTextBufferSize, &text) ? text : std::string();
}

std::string ValueText(HKEY key, const char* name)
{
    std::string text;
    return ReadExpandedRegistryText(key, name, kTextBufferSize, &text) ? text : std::string();
}

// Every text value of the key, whatever its name: the shell folders have more names than
// any list would hold, and newer systems add their own.
void AddAllValues(PlaceList& list, HKEY root, const char* path, RefusalRule rule, PlaceKind kind)
{
    RegKey key;
    if (key.Open(root, path, kReadAccess) != ERROR_SUCCESS) return;
    for (DWORD i = 0; i < 1000; ++i) {
        char name[256];
        char data[kTextBufferSize];
        DWORD nameSize = sizeof name;
        DWORD size = sizeof data;
        DWORD type = 0;
        LONG result = RegEnumValueA(key.get(), i, name, &nameSize, NULL, &type,
                                    reinterpret_cast<BYTE*>(data), &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_SUCCESS) list.Add(TextOf(data, size, type), rule, kind);
    }
}

void AddValue(PlaceList& list, HKEY root, const char* path, const char* name, RefusalRule rule,
              PlaceKind kind)
{
    RegKey key;
    if (key.Open(root, path, kReadAccess) == ERROR_SUCCESS) list.Add(ValueText(key.get(), name), rule, kind);
}

// The shell folders of one user's or the machine's key.
void AddShellFolders(PlaceList& list, HKEY root, const std::string& below)
{
    for (const char* key : {kShellFoldersKey, kUserShellFoldersKey})
        AddAllValues(list, root, (below + key).c_str(), RefusalRule::kShellFolder, PlaceKind::kUsersTree);
}

// Every user whose hive is loaded (the current one, the default user, and on the NT family
// whoever else is logged on): their shell folders are theirs to keep.
void AddEveryUsersShellFolders(PlaceList& list)
{
    RegKey users;
    if (users.Open(HKEY_USERS, "", kReadAccess) != ERROR_SUCCESS) return;
    for (DWORD i = 0; i < 1000; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(users.get(), i, name, &nameSize, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        AddShellFolders(list, HKEY_USERS, std::string(name) + "\\");
    }
}

// The profile of every user the system lists (both families keep a ProfileList).
void AddProfiles(PlaceList& list, const char* path)
{
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, path, kReadAccess) != ERROR_SUCCESS) return;
    list.Add(ValueText(key.get(), "ProfilesDirectory"), RefusalRule::kProfileDirectory, PlaceKind::kUsersTree);
    for (DWORD i = 0; i < 1000; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key.get(), i, name, &nameSize, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        AddValue(list, key.get(), name, "ProfileImagePath", RefusalRule::kProfileDirectory, PlaceKind::kUsersTree);
    }
}

void AddVariable(PlaceList& list, const char* name, RefusalRule rule)
{
    char buffer[kTextBufferSize] = "";
    DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer) list.Add(buffer, rule, PlaceKind::kUsersTree);
}

const std::vector<ProtectedPlace>& Places(std::vector<ProtectedPlace>* gathered)
{
    if (scopedPlaces) return *scopedPlaces;
    GatherProtectedPlaces(gathered);
    return *gathered;
}

}  // namespace

bool DriveRootTold(const std::string& fullPath)
{
    return !OnLetter(fullPath) || OnWindowsLetter(fullPath) || RootOfLetter(fullPath[0]).told;
}

bool PassesThroughLink(const std::string& fullPath)
{
    size_t start = fullPath.compare(0, 2, "\\\\") == 0 ? fullPath.find('\\', fullPath.find('\\', 2) + 1)
                                                       : fullPath.find('\\');
    while (start != std::string::npos && start + 1 < fullPath.size()) {
        size_t end = fullPath.find('\\', start + 1);
        std::string prefix = fullPath.substr(0, end);
        DWORD attributes = GetFileAttributesA(prefix.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return true;
        start = end;
    }
    return false;
}

bool HoldDirectoryNoLink(const std::string& directory, HeldDirectory* held)
{
    // Opened without FILE_SHARE_DELETE, the directory cannot be renamed or replaced while the
    // walk is inside it (the NT family; Windows 95/98 open no directory, and have no links).
    held->reset(CreateFileA(directory.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL));
    // Asked after the open: what the path shows now is what is held.
    const DWORD attributes = GetFileAttributesA(directory.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

void GatherPlaces(std::vector<ProtectedPlace>* places);

void GatherProtectedPlaces(std::vector<ProtectedPlace>* places)
{
    for (LetterRoot& root : letterRoots) root = LetterRoot();
    GatherPlaces(places);
}

void GatherPlaces(std::vector<ProtectedPlace>* places)
{
    places->clear();
    LearnSystemCase();
    PlaceList list(*places);
    // Windows' own directories and everything in them (on Windows 98 the users' profiles too).
    list.Add(WindowsDirectory(), RefusalRule::kProtectedDirectory, PlaceKind::kWindowsTree);
    list.Add(SystemDirectory(), RefusalRule::kProtectedDirectory, PlaceKind::kWindowsTree);
    for (const char* name : {"ProgramFilesDir", "CommonFilesDir", "ProgramFilesDir (x86)",
                             "CommonFilesDir (x86)", "ProgramW6432Dir", "CommonW6432Dir"})
        AddValue(list, HKEY_LOCAL_MACHINE, kCurrentVersionKey, name, RefusalRule::kProtectedDirectory,
                 PlaceKind::kUsersTree);
    AddShellFolders(list, HKEY_CURRENT_USER, "");
    AddShellFolders(list, HKEY_LOCAL_MACHINE, "");
    AddEveryUsersShellFolders(list);
    AddProfiles(list, kNtProfileListKey);
    AddProfiles(list, kProfileListKey);
    for (const char* name : {"USERPROFILE", "ALLUSERSPROFILE", "PUBLIC"})
        AddVariable(list, name, RefusalRule::kProfileDirectory);
    list.Add(TemporaryDirectory(), RefusalRule::kTempDirectory, PlaceKind::kUsersTree);
    for (const char* name : {"TEMP", "TMP"}) AddVariable(list, name, RefusalRule::kTempDirectory);
}

RefusalRule DirectoryForms(const char* directory, std::string* full, std::vector<std::string>* forms)
{
    if (directory == NULL) return RefusalRule::kUnresolvedPath;
    RefusalRule text = CheckFullPath(directory);
    if (text != RefusalRule::kNone) return text;
    *full = FullPathOf(directory);
    if (full->empty()) return RefusalRule::kUnresolvedPath;
    if (IsDevicePath(*full)) return RefusalRule::kDevicePath;
    *forms = FormsOf(*full);
    const std::string local = LocalFormOfAdminShare(*full, WindowsDirectory());
    if (local != *full)
        for (const std::string& form : FormsOf(local)) forms->push_back(form);
    return RefusalRule::kNone;
}

RefusalRule CheckDirectoryForDeletion(const char* directory)
{
    std::string full;
    std::vector<std::string> forms;
    RefusalRule text = DirectoryForms(directory, &full, &forms);
    if (text != RefusalRule::kNone) return text;
    std::vector<ProtectedPlace> gathered;
    const std::vector<ProtectedPlace>& places = Places(&gathered);
    RefusalRule place = CheckDirectoryPlace(forms, places);
    if (place == RefusalRule::kNone) place = CheckIdentity(full, places, false);
    if (place != RefusalRule::kNone) return place;
    return PassesThroughLink(full) ? RefusalRule::kLink : RefusalRule::kNone;
}

RefusalRule CheckInstallDirectory(const std::string& installDir, std::vector<std::string>* forms)
{
    forms->clear();
    std::string full;
    RefusalRule rule = DirectoryForms(installDir.c_str(), &full, forms);
    if (rule != RefusalRule::kNone) return rule;
    std::vector<ProtectedPlace> gathered;
    const std::vector<ProtectedPlace>& places = Places(&gathered);
    rule = CheckInstallDirectoryPlace(*forms, places);
    if (rule == RefusalRule::kNone) rule = CheckIdentity(full, places, true);
    if (rule != RefusalRule::kNone) return rule;
    // A drive that stands for a folder of the Windows drive may stand for any protected place.
    if (OnAnAliasOfDrive(full, WindowsDirectory())) return RefusalRule::kUnresolvedDrive;
    return PassesThroughLink(full) ? RefusalRule::kLink : RefusalRule::kNone;
}

RefusalRule CheckTreeDeletion(const char* directory)
{
    if (directory == NULL || std::strlen(directory) <= 3) return RefusalRule::kShortPath;
    return CheckPatternDirectory(directory);
}

RefusalRule CheckPatternDirectory(const char* directory)
{
    if (directory == NULL) return RefusalRule::kUnresolvedPath;
    if (std::strlen(directory) > kMaxPathChars) return RefusalRule::kUnresolvedPath;
    return CheckDirectoryForDeletion(directory);
}

void ProtectedPlacesScope::Take()
{
    if (scopedPlaces != NULL) return;
    GatherProtectedPlaces(&places_);
    scopedPlaces = &places_;
}

ProtectedPlacesScope::~ProtectedPlacesScope()
{
    if (scopedPlaces == &places_) scopedPlaces = NULL;
}
