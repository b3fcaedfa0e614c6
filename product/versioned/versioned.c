/* A library that carries version information only: the company it names tells the
   uninstaller whose file it is when it lies in the system directory. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
