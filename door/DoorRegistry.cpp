// The door's changes to the registry.
#include "door/Door.h"
#include "base/Handles.h"
#include "base/PathLimits.h"
#include "base/Text.h"
#include "log/RemovalLog.h"
#include "door/DoorState.h"
#include "rules/ChangeRules.h"
#include "rules/KeyRules.h"
#include "rules/PlaceRules.h"
#include <cstring>

namespace door {

using namespace detail;

namespace {

// Deeper trees, or more sub-keys than this under one key, are left as they are.
const int kMaxKeyDepth = 64;
const int kMaxSubKeys = 100000;
const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

HKEY RootKey(RegistryRoot root)
{
    static const HKEY roots[kRootCount] = {HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT,
                                           HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
                                           HKEY_USERS,          HKEY_PERFORMANCE_DATA,
                                           HKEY_DYN_DATA};
    return roots[root];
}

#ifndef REG_OPTION_OPEN_LINK
#define REG_OPTION_OPEN_LINK 0x00000008
#endif

// A registry link (the NT family): a key whose value SymbolicLinkValue of type REG_LINK names
// another key, which every other open follows. Windows 95/98 have none (and no such open).
bool IsRegistryLink(HKEY parent, const char* path)
{
    HKEY opened = NULL;
    if (RegOpenKeyExA(parent, path, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    RegKey link;
    link.Adopt(opened);
    DWORD type = 0;
    return RegQueryValueExA(link.get(), "SymbolicLinkValue", NULL, &type, NULL, NULL) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// Deletes the link itself, never the key it names: opened as a link, deleted through its handle.
bool DeleteRegistryLink(HKEY parent, const char* path)
{
    typedef LONG(WINAPI * DeleteProc)(HANDLE key);
    DeleteProc deleteKey = BindAs<DeleteProc>(BoundFunction::kNtDeleteKey);
    HKEY opened = NULL;
    if (deleteKey == NULL ||
        RegOpenKeyExA(parent, path, REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    RegKey link;
    link.Adopt(opened);
    return deleteKey(link.get()) == 0;
}

// The NT family refuses a key that still has sub-keys, and Wine's win95/98 RegDeleteKeyA
// deletes such a tree only partly, so every key is emptied before it goes: sub-key 0 is read
// again until none is left; a sub-key that stays ends the walk of its parent. A link is never
// followed; a listed name that would name another key ends the walk of its parent. A preview
// walks the same tree by index and changes nothing.
bool DeleteTreeAt(HKEY parent, const char* path, int depth)
{
    const bool change = !State().preview;
    if (depth > kMaxKeyDepth) return false;
    if (IsRegistryLink(parent, path)) {
        if (!change || DeleteRegistryLink(parent, path)) {
            if (change) ChangeMade();
            LOG_LINE("KEY", "%s by rule registry-link: the link %s itself; the key it names stays",
                     Verb(Did::kDeleted), path);
            return true;
        }
        LOG_OUTCOME(kRefused, "KEY", "left by rule registry-link: the link %s (not followed)", path);
        return false;
    }
    bool whole = true;
    {
        RegKey key;
        if (key.Open(parent, path, change ? KEY_ALL_ACCESS : KEY_READ) != ERROR_SUCCESS) return false;
        for (int n = 0; n < kMaxSubKeys && whole; ++n) {
            char name[256];
            DWORD size = sizeof name;
            if (RegEnumKeyExA(key.get(), change ? 0 : n, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                break;
            if (!IsExactListedKeyName(name)) {
                LOG_OUTCOME(kRefused, "KEY", "left by rule %s: the sub-key %s of %s",
                            RefusalRuleName(RefusalRule::kListedName), name, path);
                whole = false;
            } else {
                whole = DeleteTreeAt(key.get(), name, depth + 1);  // index 0 would not move on
            }
        }
    }
    if (!whole) return false;
    if (!change) return true;
    if (RegDeleteKeyA(parent, path) != ERROR_SUCCESS) return false;
    ChangeMade();
    return true;
}

// The preview's name of a key: its canonical name, or the path as given where it has none.
std::string GoneKeyName(RegistryRoot root, const std::string& keyPath)
{
    std::string canonical = CanonicalKeyName(root, keyPath);
    return "K:" + (canonical.empty() ? UpperAscii(keyPath) : canonical);
}

// In a preview: whether the key, or a key it lies below, would be deleted by now.
bool KeyGone(RegistryRoot root, const std::string& keyPath)
{
    const std::string name = GoneKeyName(root, keyPath);
    for (size_t end = name.find('\\'); ; end = name.find('\\', end + 1)) {
        if (IsGone(name.substr(0, end))) return true;
        if (end == std::string::npos) return false;
    }
}

// Opens the key that an entry's deletion works on; kDone with the key open, or why not.
Outcome OpenForChange(RegistryRoot root, const std::string& keyPath, RegKey* key)
{
    if (State().preview && KeyGone(root, keyPath)) return Missing(ERROR_FILE_NOT_FOUND);
    LONG opened = key->Open(RootKey(root), keyPath.c_str());
    if (opened == ERROR_SUCCESS) return Done();
    return opened == ERROR_FILE_NOT_FOUND ? Missing(opened) : Failed(static_cast<unsigned long>(opened));
}

// The value that proved the last registration the product's (WeighEvidence).
char evidenceText[2 * kPathSize];

// How the values in the tree of `key` (named `keyName`, `depth` names below the key an entry
// names) weigh: 1 when one names a file of the product (EvidenceOf, PathInCommand,
// IsProductsFile) and none names anything else; -1 when one names another file, or nothing the
// program can read as a path (Windows' own registration with the product's icon or verb added
// stays); 0 when none names a file. Given the path of the registration's own key, a value naming
// a registration (an extension's class, an interface's proxy) weighs as that registration's
// values do. A class this run deleted before its extension weighs nothing, in a preview too.
int WeighEvidence(HKEY key, const char* keyName, Registration kind, int depth, RegistryRoot root,
                  const std::string* keyPath)
{
    char name[256], data[2 * kPathSize], expanded[2 * kPathSize];
    int found = 0;
    for (DWORD n = 0;; ++n) {
        DWORD nameSize = sizeof name, size = sizeof data - 1, type = REG_NONE;
        LONG read = RegEnumValueA(key, n, name, &nameSize, NULL, &type, reinterpret_cast<BYTE*>(data), &size);
        if (read != ERROR_SUCCESS && read != ERROR_MORE_DATA) break;
        const Evidence evidence = EvidenceOf(kind, depth, keyName, name);
        if (evidence == Evidence::kNone) continue;
        if (read != ERROR_SUCCESS) return -1;  // too long to be the product's path
        if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
        data[size] = '\0';
        DWORD length = ExpandEnvironmentStringsA(data, expanded, sizeof expanded);
        const char* text = length && length <= sizeof expanded ? expanded : data;
        if (evidence == Evidence::kFile) {
            if (!*text) continue;
            if (!IsProductsFile(TheInstallation(), SystemForms(), PathInCommand(text))) return -1;
            if (!found) CopyText(evidenceText, sizeof evidenceText, text);
            found = 1;
            continue;
        }
        const std::string named = keyPath ? NamedRegistration(kind, *keyPath, text) : std::string();
        RegKey other;
        if (!named.empty() && !(State().preview && KeyGone(root, named)) &&
            other.Open(RootKey(root), named.c_str(), KEY_READ) == ERROR_SUCCESS) {
            const int weight = WeighEvidence(other.get(), "", Registration::kClass, 0, root, nullptr);
            if (weight < 0) return -1;
            found |= weight;
        }
    }
    for (DWORD n = 0; depth < 4; ++n) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, n, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        RegKey child;
        if (child.Open(key, name, KEY_READ) == ERROR_SUCCESS) {
            const int weight = WeighEvidence(child.get(), name, kind, depth + 1, root, keyPath);
            if (weight < 0) return -1;
            found |= weight;
        }
    }
    return found;
}

void LogOpenFailure(const char* keyword, const Outcome& outcome, const std::string& shown)
{
    if (outcome.result == Result::kMissing)
        LOG_LINE(keyword, "missing: %s", shown.c_str());
    else
        LOG_OUTCOME(kLeft, keyword, "left %s - its key does not open: " LOG_ERROR_FORMAT, shown.c_str(),
                    LOG_ERROR_ARGS(outcome.error));
}

}  // namespace

Outcome DeleteKey(RegistryRoot root, const std::string& keyPath, const std::string& shown)
{
    RefusalRule rule = CheckKeyDeletion(root, keyPath);
    if (rule != RefusalRule::kNone) return RefusedWithLine("KEY", rule, shown);
    Outcome outcome = Failed(ERROR_INVALID_HANDLE);
    {
        RegKey key;
        outcome = OpenForChange(root, keyPath, &key);
    }
    if (!outcome.done()) {
        LogOpenFailure("KEY", outcome, shown);
        return outcome;
    }
    // Last, so that a key not there is missing: its registration's values decide.
    bool whole = false;
    const Registration kind = RegistrationOf(root, keyPath, &whole);
    if (kind != Registration::kNone) {
        RegKey key;
        if (key.Open(RootKey(root), keyPath.c_str(), KEY_READ) != ERROR_SUCCESS ||
            WeighEvidence(key.get(), keyPath.c_str() + (keyPath.rfind('\\') + 1), kind, 0, root,
                          whole ? &keyPath : nullptr) <= 0)
            return RefusedWithLine("KEY", RefusalRule::kNoEvidence, shown);
        // The evidence is kept in the key itself until it goes: a run cut short after the value
        // that proved it went (a class's command) still finds it.
        // (Never through a registry link, which would write into the key it names.)
        if (!State().preview && !IsRegistryLink(RootKey(root), keyPath.c_str()) &&
            key.Open(RootKey(root), keyPath.c_str()) == ERROR_SUCCESS &&
            RegSetValueExA(key.get(), "QELEvidence", 0, REG_SZ, reinterpret_cast<const BYTE*>(evidenceText),
                           static_cast<DWORD>(std::strlen(evidenceText) + 1)) == ERROR_SUCCESS)
            ChangeMade();
    }
    if (!DeleteTreeAt(RootKey(root), keyPath.c_str(), 0))
        outcome = Failed(ERROR_ACCESS_DENIED);
    else if (State().preview)
        MarkGone(GoneKeyName(root, keyPath));
    if (outcome.done())
        LOG_OUTCOME(kRemoved, "KEY", "%s %s", Verb(Did::kDeleted), shown.c_str());
    else
        LOG_OUTCOME(kLeft, "KEY", "left %s (not every sub-key could be deleted)", shown.c_str());
    return outcome;
}

Outcome DeleteValue(RegistryRoot root, const std::string& keyPath, const std::string& name,
                    const std::string& shown)
{
    RefusalRule rule = CheckValueDeletion(root, keyPath);
    if (rule != RefusalRule::kNone) return RefusedWithLine("VALUE", rule, shown);
    RegKey key;
    Outcome outcome = OpenForChange(root, keyPath, &key);
    if (!outcome.done()) {
        LogOpenFailure("VALUE", outcome, shown);
        return outcome;
    }
    LONG deleted = ERROR_SUCCESS;
    if (State().preview) {
        const std::string gone = "V:" + GoneKeyName(root, keyPath) + "\\" + UpperAscii(name);
        if (IsGone(gone) || RegQueryValueExA(key.get(), name.c_str(), NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            deleted = ERROR_FILE_NOT_FOUND;
        else
            MarkGone(gone);
    } else {
        deleted = RegDeleteValueA(key.get(), name.c_str());
        if (deleted == ERROR_SUCCESS) ChangeMade();
    }
    if (deleted == ERROR_SUCCESS) {
        LOG_OUTCOME(kRemoved, "VALUE", "%s %s", Verb(Did::kDeleted), shown.c_str());
        return Done();
    }
    if (deleted == ERROR_FILE_NOT_FOUND) {
        LOG_LINE("VALUE", "missing: %s", shown.c_str());
        return Missing(ERROR_FILE_NOT_FOUND);
    }
    LOG_OUTCOME(kLeft, "VALUE", "left %s " LOG_ERROR_FORMAT, shown.c_str(), LOG_ERROR_ARGS(deleted));
    return Failed(static_cast<unsigned long>(deleted));
}

Outcome WriteTextValue(const char* keyword, Reach reach, RegistryRoot root, const std::string& keyPath,
                       const std::string& name, const char* data, unsigned long size)
{
    const RefusalRule rule = CheckValueWrite(TheInstallation(), reach == Reach::kInstallDirectory, root, keyPath);
    if (rule != RefusalRule::kNone) return RefusedWithLine(keyword, rule, name);
    RegKey key;
    LONG result = key.Open(RootKey(root), keyPath.c_str());
    if (result == ERROR_SUCCESS && !State().preview) {
        result = RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data), size);
        if (result == ERROR_SUCCESS) ChangeMade();
    }
    if (result == ERROR_SUCCESS) {
        LOG_LINE(keyword, "value %s %s: %s", name.c_str(), Verb(Did::kWritten), data);
        return Done();
    }
    LOG_LINE(keyword, "value %s not written: " LOG_ERROR_FORMAT, name.c_str(), LOG_ERROR_ARGS(result));
    return Failed(static_cast<unsigned long>(result));
}

Outcome ForgetReleases()
{
    // A preview's releases were not recorded, but the run's would have been.
    if (!State().recorded && !AnyReleaseRecorded()) return Missing(ERROR_FILE_NOT_FOUND);
    const RefusalRule rule = CheckKeyDeletion(kRootLocalMachine, kReleasedCountsKey);
    if (rule != RefusalRule::kNone) return RefusedWithLine("SHARED", rule, kReleasedCountsKey);
    if (!State().preview && !DeleteTreeAt(HKEY_LOCAL_MACHINE, kReleasedCountsKey, 0)) {
        LOG_LINE("SHARED", "the record of released counts is left: HKEY_LOCAL_MACHINE\\%s", kReleasedCountsKey);
        return Failed(ERROR_ACCESS_DENIED);
    }
    LOG_LINE("SHARED", "the record of released counts %s: HKEY_LOCAL_MACHINE\\%s", Verb(Did::kDeleted), kReleasedCountsKey);
    return Done();
}

namespace {

// A key the door creates, closed with its owner.
struct CreatedKey {
    HKEY key = NULL;
    ~CreatedKey()
    {
        if (key) RegCloseKey(key);
    }
};

}  // namespace

Outcome ReleaseSharedCount(const SharedFileCount& count)
{
    SharedFileAction action = count.decision.action;
    if (action != SharedFileAction::kKeepAndRelease && action != SharedFileAction::kDeleteAndForget)
        return Done();
    RegKey key;
    LONG result = key.Open(HKEY_LOCAL_MACHINE, kSharedDllsKey);
    if (result == ERROR_SUCCESS && !State().preview && action == SharedFileAction::kKeepAndRelease) {
        // Recorded first: a count lowered and not recorded could be lowered again.
        CreatedKey record;
        DWORD written = count.decision.newCount;
        result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kReleasedCountsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                 &record.key, NULL);
        if (result == ERROR_SUCCESS)
            result = RegSetValueExA(record.key, count.valueName.c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&written), sizeof written);
    }
    if (result == ERROR_SUCCESS && !State().preview) {
        if (action == SharedFileAction::kDeleteAndForget) {
            result = RegDeleteValueA(key.get(), count.valueName.c_str());
        } else {
            DWORD value = count.decision.newCount;
            DWORD type = count.type == kCountTypeBinary ? REG_BINARY : REG_DWORD;
            result = RegSetValueExA(key.get(), count.valueName.c_str(), 0, type,
                                    reinterpret_cast<const BYTE*>(&value), sizeof value);
        }
        if (result == ERROR_SUCCESS) ChangeMade();
    }
    if (result != ERROR_SUCCESS) {
        LOG_LINE("SHARED", "count %s left " LOG_ERROR_FORMAT, count.valueName.c_str(), LOG_ERROR_ARGS(result));
        return Failed(static_cast<unsigned long>(result));
    }
    State().released.push_back(UpperAscii(count.valueName));
    if (action == SharedFileAction::kKeepAndRelease) State().recorded = true;
    if (action == SharedFileAction::kKeepAndRelease)
        LOG_LINE("SHARED", "count %s %s to %lu", count.valueName.c_str(), Verb(Did::kLowered),
                 static_cast<unsigned long>(count.decision.newCount));
    else
        LOG_LINE("SHARED", "count %s %s with its file", count.valueName.c_str(), Verb(Did::kRemoved));
    return Done();
}

}  // namespace door
