// The door's shell links, written through COM.
#include "door/Door.h"
#include "base/Handles.h"
#include "base/Text.h"
#include "log/RemovalLog.h"
#include "base/PathLimits.h"
#include "door/DoorState.h"
#include "rules/ChangeRules.h"
#include <objbase.h>
#include <shlobj.h>

namespace door {

using namespace detail;

namespace {

// The shortcut path goes through a buffer of 256 bytes and 516 UTF-16 units on its way to
// the shell.
const size_t kShortcutPathBufferSize = 256;
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

// The target a shell link points at, read through COM; false when the file is no shell link.
bool ReadShortcutTarget(const std::string& shortcutPath, std::string* target)
{
    WCHAR widePath[kWidePathUnits];
    if (MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, widePath, kWidePathUnits) == 0) return false;
    bool read = false;
    CoInitialize(NULL);
    {
        ComPtr<IShellLinkA> link;
        ComPtr<IPersistFile> file;
        char text[kPathSize] = "";
        if (SUCCEEDED(CoCreateInstance(kShellLinkClass, NULL, CLSCTX_INPROC_SERVER, kShellLinkA, link.out())) &&
            SUCCEEDED(link->QueryInterface(kPersistFile, file.out())) &&
            SUCCEEDED(file->Load(widePath, STGM_READ)) &&
            SUCCEEDED(link->GetPath(text, sizeof text, NULL, 0)) && text[0] != '\0') {
            *target = text;
            read = true;
        }
    }
    CoUninitialize();
    return read;
}

}  // namespace

Outcome DeleteShortcut(const std::string& path, const std::vector<std::string>& targets)
{
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return DeleteProductFile(path, FileOwner::kProgram);
    std::string target;
    if (!ReadShortcutTarget(path, &target)) target.clear();
    const RefusalRule rule = CheckShortcutTarget(target, targets);
    if (rule != RefusalRule::kNone) {
        LOG_OUTCOME(kRefused, "FILE", "kept by rule %s: %s (it points at %s)", RefusalRuleName(rule), path.c_str(),
                    target.empty() ? "nothing the program can read" : target.c_str());
        return Refused(rule);
    }
    return DeleteProductFile(path, FileOwner::kProgram);
}

Outcome SaveShortcut(const std::string& path, const std::string& target)
{
    const RefusalRule rule = CheckProgramFile(path);
    if (rule != RefusalRule::kNone) return RefusedWithLine("SHORTCUT", rule, path);
    Outcome outcome = Done();
    if (!State().preview) {
        WriteShellLink(path.c_str(), target.c_str());
        // Save reports nothing the caller could act on: the file tells.
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) outcome = Failed(GetLastError());
    }
    if (outcome.done())
        LOG_LINE("SHORTCUT", "%s %s, to %s", Verb(Did::kWritten), path.c_str(), target.c_str());
    else
        LOG_OUTCOME(kLeft, "SHORTCUT", "left %s: it could not be written, to %s", path.c_str(), target.c_str());
    return outcome;
}

}  // namespace door
