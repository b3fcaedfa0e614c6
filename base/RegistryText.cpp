// Registry values read as text.
#include "base/RegistryText.h"
#include "base/Text.h"

bool ExpandedValueText(const char* data, DWORD length, DWORD type, size_t capacity, std::string* text)
{
    std::string read;
    if (!RegistryValueText(data, length, capacity, type == REG_SZ || type == REG_EXPAND_SZ, &read))
        return false;
    if (type != REG_EXPAND_SZ) {
        *text = read;
        return true;
    }
    char expanded[kMaxTextCapacity];
    if (capacity > sizeof expanded) capacity = sizeof expanded;
    DWORD size = ExpandEnvironmentStringsA(read.c_str(), expanded, static_cast<DWORD>(capacity));
    if (size == 0 || size > capacity) return false;
    *text = expanded;
    return true;
}

namespace {

bool Read(HKEY key, const char* name, size_t capacity, bool expand, std::string* text)
{
    char data[kMaxTextCapacity];
    if (capacity > sizeof data) capacity = sizeof data;
    DWORD length = static_cast<DWORD>(capacity);
    DWORD type = 0;
    if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(data), &length) != ERROR_SUCCESS)
        return false;
    if (!expand && type == REG_EXPAND_SZ) type = REG_SZ;
    return ExpandedValueText(data, length, type, capacity, text);
}

}  // namespace

bool ReadRegistryText(HKEY key, const char* name, size_t capacity, std::string* text)
{
    return Read(key, name, capacity, false, text);
}

bool ReadExpandedRegistryText(HKEY key, const char* name, size_t capacity, std::string* text)
{
    return Read(key, name, capacity, true, text);
}
