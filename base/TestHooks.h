// Switches of the test variant, uninstall-hooks.exe: the same sources built with
// UNINST_TEST_HOOKS, whose runs the environment can steer into faults that a test cannot make
// happen from outside. In uninstall.exe every switch is a constant the compiler folds away, so
// that neither a switch nor a variable's name is in the shipped program (tools/pecheck.py
// checks the names). Each switch reads one variable named UNINST_<something>.
#pragma once

namespace test_hooks {

#if defined(UNINST_TEST_HOOKS)

// UNINST_FAIL_ALLOCATION=<module section>[:<n>]: the n-th allocation (the first without :n)
// after the removal of that module begins finds no memory; one allocation fails, once a run.
void ModuleRemovalBegins(const char* section);
bool AllocationFails();

#else

inline void ModuleRemovalBegins(const char*) {}
inline bool AllocationFails()
{
    return false;
}

#endif

}  // namespace test_hooks
