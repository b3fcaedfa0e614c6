// The progress page's intro text: the localized template with the edition name filled in
// (no Win32 here).
#pragma once
#include <cstddef>

// Writes `pattern` into `out` (`size` bytes, at least 1) with its first "%s" replaced by
// `name` and each "%%" by "%"; any other "%" and any later "%s" stay as they are, so a
// damaged template can never make the formatting read arguments that were not given.
// The result is cut to size - 1 characters and always terminated.
void FormatIntroText(const char* pattern, const char* name, char* out, size_t size);
