// The counts under which Windows records the files that several programs share.
#include "safety/SharedFiles.h"
#include "base/Handles.h"
#include "safety/PathForms.h"

namespace {

const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

}  // namespace

SharedFileCount LookUpSharedFile(const std::string& path)
{
    SharedFileCount count;
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kSharedDllsKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return count;
    const std::string full = FullPathOf(path);
    const std::string base = full.empty() ? path : full;
    for (const std::string& name : SharedFileNames(path, LongFormOf(base), ShortFormOf(base))) {
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
