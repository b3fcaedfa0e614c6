// The switches of the test variant (see base/TestHooks.h); nothing in uninstall.exe.
#include "base/TestHooks.h"

#if defined(UNINST_TEST_HOOKS)
#include <windows.h>

namespace test_hooks {

namespace {

// A switch's text, read once; empty when the variable is not set or too long.
struct Switch {
    const char* name;
    bool read;
    char text[128];
};

const char* Text(Switch& which)
{
    if (!which.read) {
        DWORD length = GetEnvironmentVariableA(which.name, which.text, sizeof which.text);
        if (length == 0 || length >= sizeof which.text) which.text[0] = '\0';
        which.read = true;
    }
    return which.text;
}

Switch failAllocation = {"UNINST_FAIL_ALLOCATION", false, ""};
unsigned long allocationsToFailure = 0;  // counts down from n once the module has begun

// "<section>[:<n>]" names `section`: the n it gives (1 without one), else 0.
unsigned long AllocationsFor(const char* text, const char* section)
{
    size_t length = 0;
    while (text[length] != '\0' && text[length] != ':') ++length;
    if (length == 0 || CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text,
                                      static_cast<int>(length), section, -1) != CSTR_EQUAL)
        return 0;
    if (text[length] == '\0') return 1;
    unsigned long n = 0;
    for (const char* digit = text + length + 1; *digit >= '0' && *digit <= '9'; ++digit)
        n = n * 10 + static_cast<unsigned long>(*digit - '0');
    return n;
}

Switch cutAt = {"UNINST_CUT_AT", false, ""};
unsigned long changesMade = 0;

// The switch's n, or 0 when it is not set or not a number.
unsigned long CutPoint()
{
    unsigned long n = 0;
    for (const char* digit = Text(cutAt); *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9' || n > 100000000UL) return 0;
        n = n * 10 + static_cast<unsigned long>(*digit - '0');
    }
    return n;
}

}  // namespace

void ChangeMade()
{
    ++changesMade;
    // TerminateProcess on the own process ends it where it stands: unlike ExitProcess it calls
    // no library's detach (the C runtime would flush and close its files there) and runs no
    // handler registered with atexit; no destructor of ours runs either. What the system has
    // already been handed (a written file, a registry value) stays, as after a power cut.
    if (changesMade == CutPoint()) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(changesMade));
}

bool SkipsPauses()
{
    return Text(cutAt)[0] != '\0';
}

int ExitCode(int code)
{
    return Text(cutAt)[0] != '\0' ? static_cast<int>(changesMade) : code;
}

void ModuleRemovalBegins(const char* section)
{
    if (unsigned long n = AllocationsFor(Text(failAllocation), section)) {
        allocationsToFailure = n;
        failAllocation.text[0] = '\0';  // once a run
    }
}

bool AllocationFails()
{
    return allocationsToFailure != 0 && --allocationsToFailure == 0;
}

}  // namespace test_hooks

#endif
