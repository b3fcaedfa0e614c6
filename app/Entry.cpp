// The program's run: start-up, the interactive or silent road, and the final sequence.
#include "app/Entry.h"
#include "app/Edition.h"
#include "app/Language.h"
#include "app/ProductKeys.h"
#include "app/Selection.h"
#include "base/RegistryText.h"
#include "log/RemovalLog.h"
#include "app/RunContext.h"
#include "app/SelfRemoval.h"
#include "app/CommandLine.h"
#include "engine/Driver.h"
#include "base/FaultGuard.h"
#include "door/Door.h"
#include "rules/PathForms.h"
#include "base/Text.h"
#include "res/resource.h"
#include "ui/Wizard.h"
#include <cstring>
#include <string>

namespace {

// Set by StartUp from the command line's /PREVIEW.
bool previewRequested = false;

// The "Path" value as a usable install directory, or false.
bool ReadInstallDir(std::string* installDir)
{
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kProductKeyPath) != ERROR_SUCCESS) return false;
    char value[kPathSize + 1] = "";  // one spare byte, so that the text always ends
    DWORD size = kPathSize;
    if (RegQueryValueExA(key.get(), "Path", NULL, NULL, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS)
        return false;
    // Data of the full 260 bytes without a terminator would be a path cut to its buffer.
    if (size == kPathSize && std::memchr(value, '\0', kPathSize) == NULL) return false;
    return InstallDirFromValue(value, installDir);
}

// A localized text with the edition name filled in, cut to `size` - 1 characters.
void FormatLocalized(UINT id, int loadSize, char* text, size_t size)
{
    char format[256] = "";  // stays empty when the language lacks the string
    LoadLocalizedString(runContext.instance, id, format, loadSize, runContext.languageId);
    std::string filled = FormatWithName(format, EditionName(runContext.productBit));
    if (filled.size() > size - 1) filled.resize(size - 1);
    std::memcpy(text, filled.c_str(), filled.size() + 1);
}

// Yes or No to the whole removal.
bool ConfirmRemoval()
{
    char caption[kConfirmCaptionSize];
    char text[kConfirmTextSize];
    FormatConfirmation(caption, text);
    bool yes = MessageBoxA(NULL, text, caption, MB_YESNO | MB_ICONINFORMATION) == IDYES;
    LOG_LINE("CONFIRM", "%s", yes ? "the user answered Yes" : "the user did not answer Yes: nothing is removed");
    return yes;
}

// Held open for the run, a log in the install directory would be a file in use that the
// removal must delete; an install directory that is no private place loses nothing.
bool LogMayLieAt(const char* fullLogPath)
{
    const InstallationRecord& installation = door::TheInstallation();
    return !installation.IsPrivate() || !IsAtOrBelowInAnySpelling(fullLogPath, installation.directory);
}

void RemoveInstallDir()
{
    std::string directory = door::TheInstallation().directory;
    if (directory.empty()) return;
    directory.pop_back();
    // Only where a tree could be emptied: an install directory in an odd place (a drive root,
    // a shell folder) must not take an empty system folder with it.
    door::RemoveEmptyDirectory(door::Origin::kInstallation, directory);
}

void RunInteractive(Library* versionManager)
{
    // A preview asks nobody and shows no wizard: the removal runs as the wizard would run it.
    if (door::Previewing()) {
        RunUninstall(NULL);
    } else {
        if (!ConfirmRemoval()) return;
        RunWizard(NULL);
        LOG_LINE("WIZARD", "%s", runContext.restartRequested ? "closed: the user chose Restart" : "closed");
    }
    versionManager->Close();
    const bool removesItself = runContext.actionFlags == 0 && !runContext.keepFilesFlag;
    if (removesItself) RemoveSelf();
    RemoveInstallDir();
    runContext.maintenanceLinkPath.reset();
    if (runContext.restartRequested) {
        if (removesItself) ScheduleRemovalAtRestart();
        RestartWindows();
    }
}

void RunSilent(Library* versionManager)
{
    RunUninstall(NULL);
    versionManager->Close();
    runContext.maintenanceLinkPath.reset();
}

void FinalSequence(Library* versionManager)
{
    versionManager->Close();
    if (!runContext.keepFilesFlag && runContext.runMode == kRunRetry) RemoveSelf();
}

// The start of the log: the system and the run's settings, as support needs them.
void LogStart(const char* commandLine, bool preview)
{
    if (!removal_log::on) return;
    if (preview) {
        removal_log::MarkPreview();
        LOG_LINE("START", "preview: nothing is changed; each line says what the run would do");
    }
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    const char* family = version.dwPlatformId == VER_PLATFORM_WIN32_NT ? "NT" : "9x";
    LOG_LINE("START", "command line: %s", commandLine);
    LOG_LINE("START", "Windows %lu.%lu build %lu %s %s", version.dwMajorVersion,
             version.dwMinorVersion, version.dwBuildNumber & 0xFFFF, family, version.szCSDVersion);
}

// Why the run ends at start-up, for the log.
bool StartUpEnds(const char* reason)
{
    LOG_LINE("START", "the run ends: %s", reason);
    return false;
}

}  // namespace

// The value that names the edition's own directory, or NULL when `productBit` is no single edition.
static const char* EditionValueName(DWORD productBit)
{
    static const char* const names[] = {NULL, "QEL60", "QEL60Exchange", NULL, "QEL60Vantorix"};
    return productBit < sizeof names / sizeof names[0] ? names[productBit] : NULL;
}

void ReadEditionDirectory(DWORD productBit)
{
    RegKey key;
    const bool opens = key.Open(HKEY_LOCAL_MACHINE, kUninstallKeyPath) == ERROR_SUCCESS;
    const char* valueName = EditionValueName(productBit);
    std::string directory;
    // Never a cut path: a text that does not fit is none.
    if (!opens || valueName == NULL || !ReadRegistryText(key.get(), valueName, kPathSize, &directory))
        directory.clear();
    door::NoteEditionDirectory(valueName ? valueName : "", opens, directory);
}

void FormatConfirmation(char (&caption)[kConfirmCaptionSize], char (&text)[kConfirmTextSize])
{
    FormatLocalized(IDS_CONFIRM_CAPTION, 250, caption, sizeof caption);
    FormatLocalized(IDS_CONFIRM_TEXT, 200, text, sizeof text);
}

bool StartUp(HINSTANCE instance, const char* commandLine, Library* versionManager)
{
    ResetRunContext();
    previewRequested = false;
    runContext.instance = instance;
    if (commandLine == NULL || commandLine[0] == '\0') return false;
    // Scanned before the library is loaded (it changes nothing), so that a log can say why a
    // run ended at start-up.
    CommandLineFields fields = ScanCommandLine(commandLine);
    // A preview is told in a log, where /LOG alone puts it unless /LOG names a place.
    if (fields.logRequested || fields.preview) removal_log::Request(fields.logPath, fields.logRequested);
    LogStart(commandLine, fields.preview);
    previewRequested = fields.preview;
    if (!versionManager->Load("kolbex.dll")) return StartUpEnds("kolbex.dll does not load");
    runContext.readInstalledMasks = versionManager->Find<InstalledMasksProc>("KOLBEX_LEERREGISTRY");
    runContext.writeInstalledMasks = versionManager->Find<InstalledMasksProc>("KOLBEX_ESCRIBIRREGISTRY");
    if (!runContext.readInstalledMasks || !runContext.writeInstalledMasks)
        return StartUpEnds("kolbex.dll lacks KOLBEX_LEERREGISTRY or KOLBEX_ESCRIBIRREGISTRY");

    if (fields.manifestName.size() > kMaxManifestNameChars)
        return StartUpEnds("the manifest name is too long");
    CopyText(runContext.manifestPath, sizeof runContext.manifestPath, fields.manifestName.c_str());
    runContext.productBit = fields.productBit;
    runContext.actionFlags = fields.actionFlags;
    runContext.runMode = fields.runMode;
    std::string retry = FormatRetryCommandLine(fields.manifestName, fields.productBit, fields.actionFlags);
    if (!CopyText(runContext.retryCommandLine, sizeof runContext.retryCommandLine, retry.c_str()))
        return StartUpEnds("the retry command line is too long");

    SelectLanguage();
    LOG_LINE("START", "language %u", static_cast<unsigned>(runContext.languageId));
    std::string installDir;
    if (!ReadInstallDir(&installDir)) return StartUpEnds("no usable \"Path\" value in the product key");
    if (!ManifestNameFits(fields.manifestName, installDir) || installDir.size() > kMaxPathChars)
        return StartUpEnds("the install directory and the manifest name are too long");
    LOG_LINE("START", "install directory %s", installDir.c_str());
    door::Begin(installDir, previewRequested);
    ReadEditionDirectory(runContext.productBit);
    return true;
}

bool EnableShutdownPrivilege()
{
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    FileHandle owned(token);
    TOKEN_PRIVILEGES privileges;
    std::memset(&privileges, 0, sizeof privileges);
    if (!LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // AdjustTokenPrivileges reports success even when the privilege was not granted.
    SetLastError(ERROR_SUCCESS);
    return AdjustTokenPrivileges(owned.get(), FALSE, &privileges, 0, NULL, NULL) &&
           GetLastError() == ERROR_SUCCESS;
}

void RestartWindows()
{
    EnableShutdownPrivilege();
    door::RestartWindows();
}

int RunProgram(HINSTANCE instance, const char* commandLine)
{
    // The exit code is 0 whatever happened, a fault included.
    Guarded([instance, commandLine] {
        Library versionManager;
        bool started = StartUp(instance, commandLine, &versionManager);
        removal_log::Open(LogMayLieAt);
        if (!started) return;
        if (runContext.runMode == kRunInteractive) RunInteractive(&versionManager);
        else RunSilent(&versionManager);
        FinalSequence(&versionManager);
    });
    Guarded(removal_log::Close);
    door::End();
    return 0;
}
