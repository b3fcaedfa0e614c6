// The path limits of the program's fixed buffers (no Win32 here).
#pragma once
#include <cstddef>

// Every path buffer holds 260 bytes: 259 characters and the terminator. A longer path is
// never cut, since the cut text could name another file.
const int kPathSize = 260;
const size_t kMaxPathChars = kPathSize - 1;
