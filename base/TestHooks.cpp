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

}  // namespace

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
