// Replacements, for uninstall.exe only, of C++ runtime pieces that would bloat the program.
//
// The library's default handler for an uncaught exception prints the demangled type name and
// so links a whole demangler. Its helpers that throw the standard logic errors build their
// messages in a second, reference-counted string implementation. Every operation of this
// program catches its own faults with a catch-all guard and never looks at a message, so a
// plain abort and a bad_alloc serve and save about a third of the executable.
#include <cstdlib>
#include <new>

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
