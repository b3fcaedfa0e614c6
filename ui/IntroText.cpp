// The progress page's intro text.
#include "ui/IntroText.h"
#include "app/Edition.h"
#include <cstring>
#include <string>

void FormatIntroText(const char* pattern, const char* name, char* out, size_t size)
{
    if (size == 0) return;
    std::string text = FormatWithName(pattern, name);
    size_t length = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}
