// The one binder of the functions the program binds at run time.
#include "base/Binder.h"
#include <cstring>

namespace {

struct Entry {
    const char* library;
    const char* name;
    bool load;  // not loaded with the program: LoadLibraryA, kept for the process
};

const Entry kEntries[] = {
    {"kernel32.dll", "GetLongPathNameA", false},
    {"kernel32.dll", "QueryDosDeviceA", false},
    {"version.dll", "GetFileVersionInfoSizeA", true},
    {"version.dll", "GetFileVersionInfoA", true},
    {"version.dll", "VerQueryValueA", true},
    {"sfc.dll", "SfcIsFileProtected", true},
    {"msvcrt.dll", "_resetstkoflw", false},
    {"ntdll.dll", "NtDeleteKey", false},
    {"ntdll.dll", "wine_get_version", false},
    {"kernel32.dll", "wine_get_unix_file_name", false},
    {"kernel32.dll", "DeviceIoControl", false},
    {"kernel32.dll", "GetDriveTypeA", false},
};
static_assert(sizeof kEntries / sizeof kEntries[0] == static_cast<size_t>(BoundFunction::kCount),
              "one entry per bound function");

bool bound[static_cast<size_t>(BoundFunction::kCount)];
void* addresses[static_cast<size_t>(BoundFunction::kCount)];

void* Look(const Entry& entry)
{
    HMODULE library = entry.load ? LoadLibraryA(entry.library) : GetModuleHandleA(entry.library);
    return library ? BindExport(library, entry.name) : NULL;
}

#if defined(UNINST_TEST_HOOKS)

// The test variant only: UNINST_ABSENT holds a list for AbsenceRequested.
const char kAbsentVariable[] = "UNINST_ABSENT";

DWORD WINAPI FailPathConverter(LPCSTR, LPSTR, DWORD)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
DWORD WINAPI FailVersionSize(LPCSTR, LPDWORD)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
BOOL WINAPI FailVersionInfo(LPCSTR, DWORD, DWORD, LPVOID)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
BOOL WINAPI FailVersionQuery(LPCVOID, LPCSTR, LPVOID*, PUINT)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
BOOL WINAPI FailProtection(HANDLE, LPCWSTR)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
int __cdecl FailReset()
{
    return 0;
}

// UNINST_DOS_DEVICES, "W:=\\??\\C:\\Users\\x;...", answers QueryDosDeviceA for those drives
// as the NT family answers for a SUBST drive; Wine answers every drive with a volume.
const char kDosDevicesVariable[] = "UNINST_DOS_DEVICES";

DWORD WINAPI MappedDosDevice(LPCSTR device, LPSTR target, DWORD size)
{
    char list[1024] = "";
    DWORD length = GetEnvironmentVariableA(kDosDevicesVariable, list, sizeof list);
    const size_t name = device ? std::strlen(device) : 0;
    for (char* item = list; length < sizeof list && *item;) {
        char* end = std::strchr(item, ';');
        if (end) *end = '\0';
        if (name > 0 && std::strncmp(item, device, name) == 0 && item[name] == '=') {
            const char* mapped = item + name + 1;
            DWORD needed = static_cast<DWORD>(std::strlen(mapped)) + 2;  // and the list's second NUL
            if (needed > size) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            std::memcpy(target, mapped, needed - 1);
            target[needed - 1] = '\0';
            return needed;
        }
        item = end ? end + 1 : item + std::strlen(item);
    }
    typedef DWORD(WINAPI * Query)(LPCSTR, LPSTR, DWORD);
    Query real = reinterpret_cast<Query>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryDosDeviceA"));
    return real ? real(device, target, size) : 0;
}

// The failing stub of each function, in the order of kEntries.
void* FailingStub(BoundFunction function)
{
    switch (function) {
    case BoundFunction::kGetLongPathNameA:
    case BoundFunction::kQueryDosDeviceA: return reinterpret_cast<void*>(&FailPathConverter);
    case BoundFunction::kGetFileVersionInfoSizeA: return reinterpret_cast<void*>(&FailVersionSize);
    case BoundFunction::kGetFileVersionInfoA: return reinterpret_cast<void*>(&FailVersionInfo);
    case BoundFunction::kVerQueryValueA: return reinterpret_cast<void*>(&FailVersionQuery);
    case BoundFunction::kSfcIsFileProtected: return reinterpret_cast<void*>(&FailProtection);
    default: return reinterpret_cast<void*>(&FailReset);
    }
}

bool Substitute(BoundFunction function, void** address)
{
    char list[512] = "";
    DWORD length = GetEnvironmentVariableA(kAbsentVariable, list, sizeof list);
    int named = length == 0 || length >= sizeof list
                    ? 0 : AbsenceRequested(list, kEntries[static_cast<size_t>(function)].name);
    if (named == 0 && function == BoundFunction::kQueryDosDeviceA &&
        GetEnvironmentVariableA(kDosDevicesVariable, list, sizeof list) > 0) {
        *address = reinterpret_cast<void*>(&MappedDosDevice);
        return true;
    }
    if (named == 0) return false;
    *address = named == 2 ? FailingStub(function) : NULL;
    return true;
}

#else

bool Substitute(BoundFunction, void**)
{
    return false;  // the shipped program binds what the system has
}

#endif

}  // namespace

void* Bind(BoundFunction function)
{
    const size_t index = static_cast<size_t>(function);
    if (index >= static_cast<size_t>(BoundFunction::kCount)) return NULL;
    if (!bound[index]) {
        const Entry& entry = kEntries[index];
        void* address = NULL;
        if (!Substitute(function, &address)) address = Look(entry);
        addresses[index] = address;
        bound[index] = true;
    }
    return addresses[index];
}

namespace {

// What those systems lack, or have only as a stub that fails.
const char kWindows95[] = "GetLongPathNameA,QueryDosDeviceA!,SfcIsFileProtected,_resetstkoflw";
const char kWindows98[] = "QueryDosDeviceA!,SfcIsFileProtected,_resetstkoflw";

}  // namespace

int AbsenceRequested(const char* list, const char* name)
{
    const size_t length = std::strlen(name);
    for (const char* item = list; *item;) {
        const char* end = std::strchr(item, ',');
        if (end == NULL) end = item + std::strlen(item);
        size_t itemLength = static_cast<size_t>(end - item);
        bool failing = itemLength > 0 && item[itemLength - 1] == '!';
        if (failing) --itemLength;
        if (itemLength == 5 && std::strncmp(item, "win95", 5) == 0) {
            if (int preset = AbsenceRequested(kWindows95, name)) return preset;
        } else if (itemLength == 5 && std::strncmp(item, "win98", 5) == 0) {
            if (int preset = AbsenceRequested(kWindows98, name)) return preset;
        } else if (itemLength == length && std::strncmp(item, name, length) == 0) {
            return failing ? 2 : 1;
        }
        item = *end ? end + 1 : end;
    }
    return 0;
}

void* BindExport(HMODULE library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(library, name));
}

const char* BoundFunctionName(BoundFunction function)
{
    const size_t index = static_cast<size_t>(function);
    return index < static_cast<size_t>(BoundFunction::kCount) ? kEntries[index].name : "";
}
