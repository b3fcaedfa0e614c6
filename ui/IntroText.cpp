// The progress page's intro text.
#include "ui/IntroText.h"

namespace {

// Appends what fits of `text` at out[*used], keeping room for the terminator.
void Append(const char* text, size_t length, char* out, size_t size, size_t* used)
{
    for (size_t i = 0; i < length && *used + 1 < size; ++i) out[(*used)++] = text[i];
}

}  // namespace

void FormatIntroText(const char* pattern, const char* name, char* out, size_t size)
{
    if (size == 0) return;
    size_t used = 0;
    bool nameUsed = false;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's' && !nameUsed) {
            size_t length = 0;
            while (name[length] != '\0') ++length;
            Append(name, length, out, size, &used);
            nameUsed = true;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            Append("%", 1, out, size, &used);
            ++p;
        } else {
            Append(p, 1, out, size, &used);
        }
    }
    out[used] = '\0';
}
