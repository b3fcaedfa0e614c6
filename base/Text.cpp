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

namespace {

// The system's upper case of the bytes 128 to 255; all zero until it is told (each stays).
unsigned char upperBeyondAscii[128];

}  // namespace

char UpperName(char c)
{
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 128) return UpperAscii(c);
    const unsigned char upper = upperBeyondAscii[byte - 128];
    return static_cast<char>(upper != 0 ? upper : byte);
}

std::string UpperName(std::string text)
{
    for (char& c : text) c = UpperName(c);
    return text;
}

void SetUpperCaseBeyondAscii(const unsigned char* upper)
{
    for (size_t i = 0; i < sizeof upperBeyondAscii; ++i) upperBeyondAscii[i] = upper ? upper[i] : 0;
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
