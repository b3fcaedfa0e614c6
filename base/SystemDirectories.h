// The Windows, system and temporary directories as the system reports them.
#pragma once
#include <string>

// Each without a trailing backslash for the Windows and system directories, with one for the
// temporary directory (as GetTempPathA gives it); "" when the system gives none that fits a
// path buffer.
std::string WindowsDirectory();
std::string SystemDirectory();
std::string TemporaryDirectory();
