// The interface language and the lookup of localized strings in the program's resources.
#include "app/Language.h"
#include "app/ProductKeys.h"
#include "app/RunContext.h"
#include "app/StringBlock.h"
#include "base/Handles.h"
#include <cstring>
#include <vector>

namespace {

const WORD kSpanish = 0x0C0A;
const WORD kFrench = 0x040C;
const WORD kItalian = 0x0410;
const WORD kEnglish = 0x0409;

// Converts the first `count` units of `text` to ANSI into `buffer`. With a multi-byte code
// page the converted text can need more bytes than units; whole characters are then dropped
// from the end until it fits, so that the result always ends within the buffer.
void ConvertToAnsi(const WCHAR* text, size_t count, char* buffer, int size)
{
    std::vector<WCHAR> wide(text, text + count);
    for (;;) {
        wide.push_back(0);
        int needed = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, NULL, 0, NULL, NULL);
        if (needed > 0 && needed <= size) {
            WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, buffer, size, NULL, NULL);
            return;
        }
        wide.pop_back();
        if (wide.empty() || needed == 0) {
            buffer[0] = '\0';
            return;
        }
        wide.pop_back();
    }
}

}  // namespace

void SelectLanguage()
{
    DWORD value = 0xFFFFFFFF;
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kProductKeyPath) == ERROR_SUCCESS) {
        DWORD size = sizeof value;
        if (RegQueryValueExA(key.get(), "Language", NULL, NULL, reinterpret_cast<BYTE*>(&value),
                             &size) != ERROR_SUCCESS)
            value = 0xFFFFFFFF;  // a failed query may have left part of the data behind
    }
    runContext.languageId = LanguageForValue(value);
}

WORD LanguageForValue(DWORD value)
{
    switch (value) {
    case 0: return kSpanish;
    case 3: return kFrench;
    case 5: return kItalian;
    default: return kEnglish;
    }
}

int LoadLocalizedString(HINSTANCE instance, UINT id, char* buffer, int size, WORD language)
{
    if (buffer == NULL || size < 1) return 0;
    uint16_t block = 0;
    unsigned index = 0;
    if (!StringBlockOf(id, &block, &index)) return 0;
    HRSRC resource = FindResourceExA(instance, RT_STRING, MAKEINTRESOURCEA(block), language);
    if (resource == NULL) return 0;
    HGLOBAL loaded = LoadResource(instance, resource);
    if (loaded == NULL) return 0;
    const void* data = LockResource(loaded);
    if (data == NULL) return 0;
    size_t units = SizeofResource(instance, resource) / sizeof(WCHAR);
    const uint16_t* entries = static_cast<const uint16_t*>(data);
    size_t offset = 0;
    size_t length = 0;
    if (!FindStringEntry(entries, units, index, &offset, &length)) return 0;
    ConvertToAnsi(reinterpret_cast<const WCHAR*>(entries + offset), CutStringLength(length, size),
                  buffer, size);
    return 0;
}
