// The process-wide run record.
#include "app/RunContext.h"

RunContext runContext;

void ResetRunContext()
{
    runContext.instance = NULL;
    runContext.manifestPath[0] = '\0';
    runContext.productBit = 0;
    runContext.actionFlags = 0;
    runContext.runMode = 0;
    runContext.retryCommandLine[0] = '\0';
    runContext.languageId = 0;
    runContext.readInstalledMasks = NULL;
    runContext.writeInstalledMasks = NULL;
    runContext.maintenanceLinkPath.reset();
    runContext.keepFilesFlag = 0;
    runContext.restartRequested = 0;
}
