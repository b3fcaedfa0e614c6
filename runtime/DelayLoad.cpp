// The delay-load helper of uninstall.exe, in place of the toolchain's: the delay-load tables
// that cmake/DelayImports.cmake writes (USER32, OLE32, COMCTL32) are bound at each function's
// first call through the program's one binder. A library or function that cannot be had
// raises the exception a delay-load helper raises, which the fault guards take.
#include "base/Binder.h"
#include <windows.h>

namespace {

// The standard delay-load descriptor, its fields relative to the image base.
struct DelayDescriptor {
    DWORD attributes;
    DWORD dllName;
    DWORD moduleHandle;
    DWORD addressTable;
    DWORD nameTable;
    DWORD boundTable;
    DWORD unloadTable;
    DWORD timeStamp;
};

const DWORD kModuleNotFound = 0xC06D007E;     // VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND)
const DWORD kProcedureNotFound = 0xC06D007F;  // VcppException(ERROR_SEVERITY_ERROR, ERROR_PROC_NOT_FOUND)

}  // namespace

extern "C" IMAGE_DOS_HEADER __ImageBase;

extern "C" FARPROC WINAPI __delayLoadHelper2(const DelayDescriptor* descriptor, FARPROC* slot)
{
    char* base = reinterpret_cast<char*>(&__ImageBase);
    HMODULE* module = reinterpret_cast<HMODULE*>(base + descriptor->moduleHandle);
    if (*module == NULL) {
        *module = LoadLibraryA(base + descriptor->dllName);
        if (*module == NULL) RaiseException(kModuleNotFound, 0, 0, NULL);
    }
    FARPROC* first = reinterpret_cast<FARPROC*>(base + descriptor->addressTable);
    ULONG_PTR nameEntry = reinterpret_cast<ULONG_PTR*>(base + descriptor->nameTable)[slot - first];
    // The tables this program writes name every function (a hint, then the name).
    void* function = nameEntry & IMAGE_ORDINAL_FLAG ? NULL : BindExport(*module, base + nameEntry + 2);
    if (function == NULL) RaiseException(kProcedureNotFound, 0, 0, NULL);
    *slot = reinterpret_cast<FARPROC>(function);
    return *slot;
}
