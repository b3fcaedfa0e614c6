// Forced into every shipped compile (see CMakeLists.txt): std::string's members are
// instantiated in our own objects, only those the program uses, instead of pulling the
// library's explicit instantiation object whole (its unwind table keeps every member alive).
#pragma once
#include <bits/c++config.h>
// -1 is the library's own setting for "no extern templates in basic_string only".
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
