// Writing a shell link through COM.
#include "restore/Restore.h"
#include "engine/Handles.h"
#include "engine/Text.h"
#include "restore/RestorePlan.h"
#include <objbase.h>
#include <shlobj.h>

namespace {

const int kWidePathUnits = 516;

// Fills the link and saves it; a failure anywhere leaves no file behind.
void WriteShellLink(const char* shortcutPath, const char* targetPath)
{
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.out())))
        return;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return;
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
    WriteShellLink(shortcutPath, targetPath);  // releases its interfaces before COM goes
    CoUninitialize();
}
