// Registry values read as text.
#include "base/RegistryText.h"
#include "base/Text.h"
#include <vector>

bool ExpandedValueText(const char* data, DWORD length, DWORD type, size_t capacity, std::string* text)
{
    std::string read;
    if (!RegistryValueText(data, length, capacity, type == REG_SZ || type == REG_EXPAND_SZ, &read))
        return false;
    if (type != REG_EXPAND_SZ) {
        *text = read;
        return true;
    }
    std::vector<char> expanded(capacity, '\0');
    DWORD size = ExpandEnvironmentStringsA(read.c_str(), expanded.data(), static_cast<DWORD>(capacity));
    if (size == 0 || size > capacity) return false;
    *text = expanded.data();
    return true;
}

namespace {

bool Read(HKEY key, const char* name, size_t capacity, bool expand, std::string* text)
{
    std::vector<char> data(capacity, '\0');
    DWORD length = static_cast<DWORD>(capacity);
    DWORD type = 0;
    if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(data.data()), &length) !=
        ERROR_SUCCESS)
        return false;
    if (!expand && type == REG_EXPAND_SZ) type = REG_SZ;
    return ExpandedValueText(data.data(), length, type, capacity, text);
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
