// The Windows, system and temporary directories as the system reports them.
#include "base/SystemDirectories.h"
#include "base/PathLimits.h"
#include <windows.h>

namespace {

std::string Reported(UINT length, const char* buffer)
{
    return length > 0 && length < static_cast<UINT>(kPathSize) ? std::string(buffer, length) : std::string();
}

}  // namespace

std::string WindowsDirectory()
{
    char buffer[kPathSize] = "";
    return Reported(GetWindowsDirectoryA(buffer, sizeof buffer), buffer);
}

std::string SystemDirectory()
{
    char buffer[kPathSize] = "";
    return Reported(GetSystemDirectoryA(buffer, sizeof buffer), buffer);
}

std::string TemporaryDirectory()
{
    char buffer[kPathSize] = "";
    return Reported(GetTempPathA(sizeof buffer, buffer), buffer);
}
