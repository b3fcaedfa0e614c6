// Writing a shell link through COM.
#include "restore/Restore.h"
#include "base/FaultGuard.h"
#include "base/Handles.h"
#include "base/Text.h"
#include "restore/RestorePlan.h"
#include <objbase.h>
#include <shlobj.h>

namespace {

const int kWidePathUnits = 516;

// The three identifiers, given here rather than taken from the system's uuid library, whose
// single object would bring every identifier of the platform into the executable.
const CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Fills the link and saves it; a failure anywhere leaves no file behind.
void WriteShellLink(const char* shortcutPath, const char* targetPath)
{
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(kShellLinkClass, NULL, CLSCTX_INPROC_SERVER, kShellLinkA,
                                link.out())))
        return;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(kPersistFile, file.out()))) return;
    link->SetPath(targetPath);
    link->SetDescription("");
    char path[kShortcutPathBufferSize];
    if (!CopyText(path, sizeof path, shortcutPath)) return;
    WCHAR widePath[kWidePathUnits];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, kWidePathUnits) == 0) return;
    file->Save(widePath, TRUE);
}

}  // namespace

void CreateShortcut(const char* shortcutPath, const char* targetPath)
{
    CoInitialize(NULL);
    // Releases its interfaces before COM goes; a fault inside the link object ends the
    // shortcut (its interfaces stay unreleased), and COM is still uninitialised.
    Guarded([shortcutPath, targetPath] { WriteShellLink(shortcutPath, targetPath); });
    CoUninitialize();
}
