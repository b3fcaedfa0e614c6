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

// UNINST_CUT_AT=<n>: the process ends at once after the n-th change to the machine, as a power
// cut would end it (no clean-up, no destructor, no library's detach, no flush of the log); its
// exit code is then n. A run the switch does not cut ends with the number of changes it made as
// its exit code (see ExitCode), so that a first run counts the cut points.
void ChangeMade();
int ExitCode(int code);
// With UNINST_CUT_AT set the module pause is left out: the cut runs are many, and the pause
// changes nothing on the machine.
bool SkipsPauses();

#else

inline void ModuleRemovalBegins(const char*) {}
inline bool AllocationFails()
{
    return false;
}
inline void ChangeMade() {}
inline bool SkipsPauses()
{
    return false;
}
inline int ExitCode(int code)
{
    return code;
}

#endif

}  // namespace test_hooks
