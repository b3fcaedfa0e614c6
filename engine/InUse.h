// The deletion results that leave a module for the retry run.
#pragma once
#include <windows.h>

// Access denied is how Windows 95/98 refuse a file in use; the NT family says sharing
// violation. Either leaves the module for the retry run.
inline bool IsInUse(DWORD code)
{
    return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
}
