// operator new and delete, for uninstall.exe and the test executables alike: memory from
// msvcrt.dll's malloc, and no memory raises kFaultOutOfMemory, which the nearest fault guard
// catches as it catches a processor fault (the program has no C++ exceptions).
#include "base/FaultGuard.h"
#include "base/TestHooks.h"
#include <cstdlib>
#include <new>

void* operator new(std::size_t size)
{
    if (size == 0) size = 1;
    void* block = test_hooks::AllocationFails() ? NULL : std::malloc(size);
    if (block == NULL) RaiseFault(kFaultOutOfMemory);
    return block;
}

// The library's own would catch a C++ exception to answer NULL.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return test_hooks::AllocationFails() ? NULL : std::malloc(size == 0 ? 1 : size);
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}
