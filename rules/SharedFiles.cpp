// The counts under which Windows records the files that several programs share.
#include "rules/SharedFiles.h"
#include "base/Binder.h"
#include "base/Handles.h"
#include "base/PathLimits.h"
#include <cstring>
#include <vector>
#include "rules/PathForms.h"
#include "rules/PlaceRules.h"

namespace {

const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

typedef DWORD(WINAPI* VersionSizeProc)(LPCSTR file, LPDWORD handle);
typedef BOOL(WINAPI* VersionInfoProc)(LPCSTR file, DWORD handle, DWORD size, LPVOID data);
typedef BOOL(WINAPI* VersionQueryProc)(LPCVOID data, LPCSTR name, LPVOID* value, PUINT length);
typedef BOOL(WINAPI* ProtectedProc)(HANDLE server, LPCWSTR file);

// The CompanyName of the file's version information, in its first language or in US English,
// into *company ("" when the file has none). False when the system cannot tell: version.dll or
// one of its functions missing, failing as a stub, or information too large to be a file's.
bool CompanyOf(const std::string& fullPath, std::string* company)
{
    company->clear();
    VersionSizeProc size = BindAs<VersionSizeProc>(BoundFunction::kGetFileVersionInfoSizeA);
    VersionInfoProc info = BindAs<VersionInfoProc>(BoundFunction::kGetFileVersionInfoA);
    VersionQueryProc query = BindAs<VersionQueryProc>(BoundFunction::kVerQueryValueA);
    if (!size || !info || !query) return false;
    DWORD ignored = 0;
    SetLastError(ERROR_SUCCESS);
    DWORD bytes = size(fullPath.c_str(), &ignored);
    if (bytes == 0) return GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
    if (bytes > 1024 * 1024) return false;
    std::vector<char> data(bytes);
    if (!info(fullPath.c_str(), 0, bytes, data.data())) return false;
    void* value = NULL;
    UINT length = 0;
    // The file's first language, then US English in the two code pages installers use.
    DWORD languages[3] = {0x040904E4, 0x040904E4, 0x040904B0};
    if (query(data.data(), "\\VarFileInfo\\Translation", &value, &length) && value && length >= 4)
        languages[0] = static_cast<DWORD>(static_cast<WORD*>(value)[0]) << 16 | static_cast<WORD*>(value)[1];
    char name[] = "\\StringFileInfo\\00000000\\CompanyName";
    for (DWORD language : languages) {
        for (int digit = 0; digit < 8; ++digit) name[16 + digit] = "0123456789ABCDEF"[(language >> (28 - 4 * digit)) & 15];
        if (query(data.data(), name, &value, &length) && value && length > 0) {
            const char* text = static_cast<const char*>(value);
            UINT end = 0;
            while (end < length && text[end] != '\0') ++end;
            company->assign(text, end);
            return true;
        }
    }
    return true;
}

}  // namespace

RefusalRule CheckSystemFile(const std::string& fullPath, std::string* company)
{
    if (ProtectedProc isProtected = BindAs<ProtectedProc>(BoundFunction::kSfcIsFileProtected)) {
        WCHAR wide[kPathSize];
        if (MultiByteToWideChar(CP_ACP, 0, fullPath.c_str(), -1, wide, kPathSize) > 0 && isProtected(NULL, wide))
            return RefusalRule::kWindowsFile;
    }
    if (!CompanyOf(fullPath, company)) return RefusalRule::kUnreadableOwner;
    return CheckFileCompany(*company);
}

bool AnySharedFileBelow(const std::vector<std::string>& directoryForms)
{
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kSharedDllsKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
    char name[kPathSize];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        LONG result = RegEnumValueA(key.get(), index, name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS) return false;
        // A name too long to read may be anywhere: the tree's files are looked up then.
        if (result != ERROR_SUCCESS) return true;
        if (IsAtOrBelowAnyForm(std::vector<std::string>(1, name), directoryForms)) return true;
    }
}

SharedFileCount LookUpSharedFile(const std::string& path)
{
    FileSpellings file;
    IdentityOf(path, &file);
    if (file.full.empty()) {
        // Looked up as given: no other spelling can be told.
        file.full = path;
        file.complete = true;
    }
    return LookUpSharedFile(file);
}

SharedFileCount LookUpSharedFile(FileSpellings& file)
{
    SharedFileCount count;
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kSharedDllsKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return count;
    CompleteSpellings(&file);
    // The full path as the system spells it (trailing dots and blanks dropped) comes first.
    for (const std::string& name : SharedFileNames(file.full, file.longForm, file.shortForm)) {
        unsigned char data[16];
        DWORD size = sizeof data;
        DWORD type = 0;
        LONG result = RegQueryValueExA(key.get(), name.c_str(), NULL, &type, data, &size);
        if (result == ERROR_FILE_NOT_FOUND) continue;
        // Present but longer than any count, or unreadable: it is there, and cannot be read.
        bool read = result == ERROR_SUCCESS;
        count.valueName = name;
        count.type = type;
        count.decision = DecideSharedFile(true, type, read ? data : NULL, read ? size : 0);
        return count;
    }
    return count;
}

const char kReleasedCountsKey[] = "Software\\Morwa Software\\Uninstall\\Released Counts";

bool ReleasedEarlier(const std::string& valueName)
{
    RegKey key;
    return !valueName.empty() && key.Open(HKEY_LOCAL_MACHINE, kReleasedCountsKey, KEY_QUERY_VALUE) == ERROR_SUCCESS &&
           RegQueryValueExA(key.get(), valueName.c_str(), NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
}

bool AnyReleaseRecorded()
{
    RegKey key;
    return key.Open(HKEY_LOCAL_MACHINE, kReleasedCountsKey, KEY_QUERY_VALUE) == ERROR_SUCCESS;
}
