// Registry values read as text.
#pragma once
#include <windows.h>
#include <string>

// The largest buffer a value is read into, in bytes.
const size_t kMaxTextCapacity = 1024;

// The text value `name` of `key` (REG_SZ or REG_EXPAND_SZ, unexpanded) read into a buffer of
// `capacity` bytes. False, with *text untouched, when it is missing, of another type, or
// longer than capacity - 1 characters: a cut path would name another place.
bool ReadRegistryText(HKEY key, const char* name, size_t capacity, std::string* text);

// The same, with the variables of a REG_EXPAND_SZ value expanded (within `capacity` bytes).
bool ReadExpandedRegistryText(HKEY key, const char* name, size_t capacity, std::string* text);

// The text of a value already read: `data` and `length` as RegQueryValueExA or RegEnumValueA
// gave them for a buffer of `capacity` bytes; expanded when its type is REG_EXPAND_SZ.
bool ExpandedValueText(const char* data, DWORD length, DWORD type, size_t capacity, std::string* text);
