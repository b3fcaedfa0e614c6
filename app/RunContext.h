// The one process-wide run record, created by the entry and read by every operation. The install
// directory lives in the record of the installation (door::TheInstallation()), not here.
#pragma once
#include <windows.h>
#include "base/PathLimits.h"
#include "door/Door.h"
#include <memory>

// Both exports of kolbex.dll take the products text and the modules text, in this order.
typedef door::InstalledMasksProc InstalledMasksProc;

const int kRetryTextSize = 256;   // retryCommandLine and the RunOnce composition

struct RunContext {
    HINSTANCE instance;
    char manifestPath[kPathSize];
    DWORD productBit;
    DWORD actionFlags;
    int runMode;
    char retryCommandLine[kRetryTextSize];
    WORD languageId;
    InstalledMasksProc readInstalledMasks;
    InstalledMasksProc writeInstalledMasks;
    std::unique_ptr<char[]> maintenanceLinkPath; // kPathSize bytes, or none
    int keepFilesFlag;
    int restartRequested;
};

extern RunContext runContext;

// Back to the state the entry starts from: numbers 0, flags clear, texts empty.
void ResetRunContext();

// Run modes of the fourth token; any other value is silent.
const int kRunInteractive = 1;
const int kRunRetry = 2;
