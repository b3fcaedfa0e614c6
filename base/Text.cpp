// Bounded text helpers.
#include "base/Text.h"
#include <cstring>

bool CopyText(char* dst, size_t size, const char* src)
{
    if (size == 0) return false;
    size_t length = std::strlen(src);
    if (length + 1 > size) {
        dst[0] = '\0';
        return false;
    }
    std::memcpy(dst, src, length + 1);
    return true;
}

bool AppendText(char* dst, size_t size, const char* src)
{
    size_t used = std::strlen(dst);
    size_t length = std::strlen(src);
    if (used + length + 1 > size) return false;
    std::memcpy(dst + used, src, length + 1);
    return true;
}

void UpperAscii(char* text)
{
    for (; *text; ++text) *text = UpperAscii(*text);
}

std::string UpperAscii(std::string text)
{
    for (char& c : text) c = UpperAscii(c);
    return text;
}

bool EndsWithBackslash(const char* text)
{
    size_t length = std::strlen(text);
    return length > 0 && text[length - 1] == '\\';
}

bool RegistryValueText(const char* data, size_t length, size_t capacity, bool textType,
                       std::string* text)
{
    if (!textType || length > capacity) return false;
    size_t end = 0;
    while (end < length && data[end] != '\0') ++end;
    // Stored without its terminator: still whole when there is room to add one.
    if (end == length && length == capacity) return false;
    text->assign(data, end);
    return true;
}

std::string DirectoryBase(const std::string& directory)
{
    if (!directory.empty() && directory.back() == '\\') return directory;
    return directory + "\\";
}
