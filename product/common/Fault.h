// The fault of the stand-in variants built with FAULT_IN_<export>: a write through a null
// pointer, as a library with a bug makes it.
#pragma once

namespace standin {

inline void WriteThroughNull()
{
    static volatile int* volatile nowhere = 0;
    *nowhere = 0;
}

}  // namespace standin
