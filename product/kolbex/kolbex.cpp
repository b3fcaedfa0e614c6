// Stand-in for the product's version manager: it keeps the installed edition and module
// masks as decimal texts in the product key.
#include <windows.h>
#include <cstring>

namespace {

const char kProductKey[] = "Software\\Morwa Software\\Morwa Antivirus 6.0";
const DWORD kTextSize = 80;  // the callers' buffers

// Reads a mask text into an 80-byte buffer; a missing or unreadable value reads as "0".
void ReadMask(HKEY key, const char* name, char* text)
{
    char value[kTextSize] = "";
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (key == NULL ||
        RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || value[0] == '\0') {
        std::strcpy(text, "0");
        return;
    }
    value[sizeof value - 1] = '\0';
    std::memcpy(text, value, std::strlen(value) + 1);
}

void WriteMask(HKEY key, const char* name, const char* text)
{
    char value[kTextSize] = "";
    std::strncpy(value, text ? text : "0", sizeof value - 1);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(std::strlen(value) + 1));
}

}  // namespace

extern "C" int WINAPI KOLBEX_LEERREGISTRY(char* productsText, char* modulesText)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        key = NULL;
    if (productsText) ReadMask(key, "InstalledProducts", productsText);
    if (modulesText) ReadMask(key, "InstalledModules", modulesText);
    if (key) RegCloseKey(key);
    return 1;
}

extern "C" int WINAPI KOLBEX_ESCRIBIRREGISTRY(char* productsText, char* modulesText)
{
    HKEY key = NULL;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, NULL, &key, &disposition) != ERROR_SUCCESS)
        return 0;
    WriteMask(key, "InstalledProducts", productsText);
    WriteMask(key, "InstalledModules", modulesText);
    RegCloseKey(key);
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
