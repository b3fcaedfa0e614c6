// The one process-wide run record, created by the entry and read by every operation.
#pragma once
#include <windows.h>
#include "base/PathLimits.h"
#include <memory>

// Both exports of kolbex.dll take the products text and the modules text, in this order.
typedef int(WINAPI* InstalledMasksProc)(char* productsText, char* modulesText);

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
    char installDir[kPathSize];                  // always ends with a backslash
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
