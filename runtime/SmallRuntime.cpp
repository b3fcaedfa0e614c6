// Replacements, for uninstall.exe only, of C runtime and C++ runtime pieces that would bloat
// the program or need a later processor than the Pentium.
//
// The library's helpers that throw the standard exceptions build their messages in a second,
// reference-counted string implementation and need the exception runtime, and the program is
// built without C++ exceptions: here they raise our own fault instead, which the nearest guard
// catches (operator new is in runtime/Allocation.cpp).
//
// The prebuilt start-up code (crt2.o) holds conditional moves (CMOV), which a Pentium lacks, on
// paths every run takes, and so does libmingw32's pseudo-relocation pass. The start-up is
// replaced here by code compiled for i586, and cmake/uninstall.specs keeps crt2.o out of the
// link; the pass is not needed, since the program is linked without auto-imported data
// (--disable-auto-import: a data import that would need one fails the link).
#include "base/FaultGuard.h"
#include <windows.h>
#include <cstdlib>

// ---- Start-up ------------------------------------------------------------------------------

extern "C" {
// The C runtime's settings that crt2.o hands to msvcrt.dll (libmingw32 defines the values).
extern int _fmode;
extern int _commode;
int* __cdecl __p__fmode(void);
int* __cdecl __p__commode(void);
void __cdecl __set_app_type(int);
void __cdecl _fpreset(void);
// libmingw32: runs the static constructors, registering the destructors with atexit.
void __cdecl __main(void);
}

namespace {

const int kGuiApp = 2;  // __set_app_type: msvcrt reports its own errors in message boxes

// The arguments after the program's name, as Windows hands them to WinMain: the name is
// quoted or ends at the first blank or control character; the blanks after it are skipped.
// Bytes above 127 belong to names (accented paths), so they are compared unsigned.
char* CommandTail(char* line)
{
    unsigned char* p = reinterpret_cast<unsigned char*>(line);
    if (p == NULL) return const_cast<char*>("");
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p > ' ') ++p;
    }
    while (*p && *p <= ' ') ++p;
    return reinterpret_cast<char*>(p);
}

}  // namespace

// atexit lives in crt2.o; msvcrt's _onexit keeps the same list that exit() runs.
extern "C" int __cdecl atexit(void (__cdecl* function)(void))
{
    return _onexit(reinterpret_cast<_onexit_t>(function)) == NULL ? -1 : 0;
}

// The process entry (the linker's default for a windowed program), in place of crt2.o's.
extern "C" int WinMainCRTStartup(void)
{
    __set_app_type(kGuiApp);
    *__p__fmode() = _fmode;
    *__p__commode() = _commode;
    _fpreset();
    __main();
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    std::exit(WinMain(GetModuleHandleA(NULL), NULL, CommandTail(GetCommandLineA()), show));
}

// The hooks of the delay-load helper (see CMakeLists.txt): none, so a DLL that fails to load
// raises the helper's exception, as with Microsoft's helper.
extern "C" {
void* __pfnDliNotifyHook2 = NULL;
void* __pfnDliFailureHook2 = NULL;
}

// ---- The C++ library's "cannot go on" -------------------------------------------------------

namespace std {
void __throw_bad_alloc()
{
    RaiseFault(kFaultOutOfMemory);
}
void __throw_bad_array_new_length()
{
    RaiseFault(kFaultOutOfMemory);
}
void __throw_length_error(const char*)
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_logic_error(const char*)
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_out_of_range(const char*)
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_out_of_range_fmt(const char*, ...)
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_invalid_argument(const char*)
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_domain_error(const char*)
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_runtime_error(const char*)
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_range_error(const char*)
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_overflow_error(const char*)
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_underflow_error(const char*)
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_bad_cast()
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_bad_typeid()
{
    RaiseFault(kFaultLibraryLimit);
}
void __throw_bad_exception()
{
    RaiseFault(kFaultLibraryLimit);
}
}  // namespace std
