// Writing a shell link: COM around the door's shortcut.
#include "restore/Restore.h"
#include "base/FaultGuard.h"
#include "door/Door.h"
#include <objbase.h>
#include <string>

void CreateShortcut(const char* shortcutPath, const char* targetPath)
{
    CoInitialize(NULL);
    // A fault inside the link object ends the shortcut (its interfaces stay unreleased), and
    // COM is still uninitialised.
    Guarded([shortcutPath, targetPath] { door::SaveShortcut(shortcutPath, targetPath); });
    CoUninitialize();
}
