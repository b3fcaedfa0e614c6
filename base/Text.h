// Bounded text helpers for the fixed-size buffers the program keeps (no Win32 here).
#pragma once
#include <cstddef>
#include <string>

// Copies src into dst of `size` bytes. Returns false, leaving dst empty, when it does not fit.
bool CopyText(char* dst, size_t size, const char* src);

// Appends src to the text in dst. Returns false, leaving dst unchanged, when it would not fit.
bool AppendText(char* dst, size_t size, const char* src);

// Turns the letters a to z into A to Z and leaves every other byte alone.
inline char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
void UpperAscii(char* text);
std::string UpperAscii(std::string text);

// True when the text is not empty and its last character is a backslash.
bool EndsWithBackslash(const char* text);

// The directory with a backslash appended when it does not already end with one.
std::string DirectoryBase(const std::string& directory);

// The text of a registry value: `data` holds `length` bytes as read into a buffer of
// `capacity` bytes. False when the value is not text or its terminator is not within the
// buffer (cut on reading).
bool RegistryValueText(const char* data, size_t length, size_t capacity, bool textType,
                       std::string* text);
