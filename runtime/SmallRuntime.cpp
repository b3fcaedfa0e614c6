// Replacements, for uninstall.exe only, of C runtime and C++ runtime pieces that would bloat
// the program or need a later processor than the Pentium.
//
// The library's default handler for an uncaught exception prints the demangled type name and
// so links a whole demangler. Its helpers that throw the standard logic errors build their
// messages in a second, reference-counted string implementation. Every operation of this
// program catches its own faults with a catch-all guard and never looks at a message, so a
// plain abort and a bad_alloc serve and save about a third of the executable.
//
// The prebuilt start-up code (crt2.o) and operator new hold conditional moves (CMOV), which a
// Pentium lacks, on paths every run takes. Both are replaced here by code compiled for i586;
// cmake/uninstall.specs keeps crt2.o out of the link.
#include <windows.h>
#include <cstdlib>
#include <new>

// ---- Start-up ------------------------------------------------------------------------------

extern "C" {
// The C runtime's settings that crt2.o hands to msvcrt.dll (libmingw32 defines the values).
extern int _fmode;
extern int _commode;
int* __cdecl __p__fmode(void);
int* __cdecl __p__commode(void);
void __cdecl __set_app_type(int);
void __cdecl _fpreset(void);
// libmingw32: applies pseudo-relocations (none in a static program; kept for safety), and
// runs the static constructors (the unwinder's frame registration among them), registering
// the destructors with atexit.
void __cdecl _pei386_runtime_relocator(void);
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
    _pei386_runtime_relocator();
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

// ---- Allocation ----------------------------------------------------------------------------

void* operator new(std::size_t size)
{
    if (size == 0) size = 1;
    void* block = std::malloc(size);
    if (block == NULL) throw std::bad_alloc();
    return block;
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

// ---- Exceptions ----------------------------------------------------------------------------

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx

namespace std {
void __throw_logic_error(const char*)
{
    throw std::bad_alloc();
}
void __throw_domain_error(const char*)
{
    throw std::bad_alloc();
}
void __throw_invalid_argument(const char*)
{
    throw std::bad_alloc();
}
void __throw_length_error(const char*)
{
    throw std::bad_alloc();
}
void __throw_out_of_range(const char*)
{
    throw std::bad_alloc();
}
void __throw_runtime_error(const char*)
{
    throw std::bad_alloc();
}
void __throw_range_error(const char*)
{
    throw std::bad_alloc();
}
void __throw_overflow_error(const char*)
{
    throw std::bad_alloc();
}
void __throw_underflow_error(const char*)
{
    throw std::bad_alloc();
}
void __throw_out_of_range_fmt(const char*, ...)
{
    throw std::bad_alloc();
}
void __throw_bad_alloc()
{
    throw std::bad_alloc();
}
void __throw_bad_array_new_length()
{
    throw std::bad_alloc();
}
void __throw_bad_cast()
{
    throw std::bad_alloc();
}
void __throw_bad_typeid()
{
    throw std::bad_alloc();
}
void __throw_bad_exception()
{
    throw std::bad_alloc();
}
}  // namespace std
