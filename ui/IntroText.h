// The progress page's intro text: the localized template with the edition name filled in
// (no Win32 here).
#pragma once
#include <cstddef>

// Writes FormatWithName(pattern, name) (app/Edition.h: the first "%s" becomes the name, "%%"
// a percent sign, anything else stays, so a damaged template never reads arguments that were
// not given) into `out` of `size` bytes, cut to size - 1 characters and always terminated.
void FormatIntroText(const char* pattern, const char* name, char* out, size_t size);
