// The one binder of the functions the program binds at run time: those that some of the
// systems it runs on lack, or have only as a stub that fails. Every caller copes with NULL.
#pragma once
#include <windows.h>

enum class BoundFunction {
    kGetLongPathNameA,         // kernel32, Windows 98 on: the long form of a path
    kQueryDosDeviceA,          // kernel32, the NT family (a failing stub on Windows 95/98): what
                               // a drive letter maps
    kGetFileVersionInfoSizeA,  // version.dll: a file's version information
    kGetFileVersionInfoA,
    kVerQueryValueA,
    kSfcIsFileProtected,       // sfc.dll, Windows 2000 and Me on: Windows' own protected files
    kResetStackOverflow,       // msvcrt.dll _resetstkoflw, later runtimes: a new guard page
    kNtDeleteKey,              // ntdll.dll, the NT family: deletes a registry link itself
    kWineGetVersion,           // ntdll.dll under Wine only: tells that Wine runs the program
    kWineGetUnixFileName,      // kernel32 under Wine only: the host path of a drive letter
    kDeviceIoControl,          // kernel32, asked only under Wine (its mount manager): bound at
                               // the first use, so that the program's imports stay as they were
    kGetDriveTypeA,            // kernel32, asked only where nothing tells what a letter stands for
    kCount
};

// The function's address, or NULL when the system lacks it. Each is looked up once; a library
// it needs (version.dll, sfc.dll) is loaded then and kept for the process.
void* Bind(BoundFunction function);

template <typename Proc> Proc BindAs(BoundFunction function)
{
    return reinterpret_cast<Proc>(Bind(function));
}

// The export `name` of a library the program loaded itself (the product's), or NULL.
void* BindExport(HMODULE library, const char* name);

// How a list of the test variant's UNINST_ABSENT names a function: 0 not at all, 1 absent
// ("GetLongPathNameA"), 2 present as a stub that fails with ERROR_CALL_NOT_IMPLEMENTED
// ("QueryDosDeviceA!"); items are separated by commas, and "win95" and "win98" stand for what
// those systems lack or only stub. The shipped program has no such switch.
int AbsenceRequested(const char* list, const char* name);

// "GetLongPathNameA": the function's own name.
const char* BoundFunctionName(BoundFunction function);
