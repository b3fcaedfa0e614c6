// Stand-in for the product's version manager: it keeps the installed edition and module
// masks as decimal texts in the product key. With [kolbex] Log=1 in kolbex.ini beside it,
// every call is appended with its texts to kolbexlog.txt beside it (not "*.log": the sample
// manifest's shared module deletes the install directory's .LOG files in the middle of a run).
// A build with LEAVE_OUT_<export> lacks that export, for the callers' missing-export paths; one
// with FAULT_IN_<export> logs "<export> faults" and faults in it: the read once it has written
// the products text alone, the write once its call is logged, before it stores anything.
#include "product/common/CallLog.h"
#include "product/common/Fault.h"
#include <cstring>

namespace {

HMODULE self = NULL;
const char kProductKey[] = "Software\\Morwa Software\\Morwa Antivirus 6.0";
const DWORD kTextSize = 80;  // the callers' buffers

// Logging is off unless asked for, so that an ordinary installation gains no file.
void Log(const standin::Line& line)
{
    char path[MAX_PATH];
    if (!standin::BesidePath(self, "kolbex.ini", path, sizeof path) ||
        GetPrivateProfileIntA("kolbex", "Log", 0, path) != 1)
        return;
    if (standin::BesidePath(self, "kolbexlog.txt", path, sizeof path)) line.AppendTo(path);
}

// Reads a mask text into an 80-byte buffer; a missing or unreadable value reads as "0". (The
// test variants built without one export leave this or WriteMask unused.)
[[maybe_unused]] void ReadMask(HKEY key, const char* name, char* text)
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

[[maybe_unused]] void WriteMask(HKEY key, const char* name, const char* text)
{
    char value[kTextSize] = "";
    std::strncpy(value, text ? text : "0", sizeof value - 1);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(std::strlen(value) + 1));
}

}  // namespace

#ifndef LEAVE_OUT_KOLBEX_LEERREGISTRY
extern "C" int WINAPI KOLBEX_LEERREGISTRY(char* productsText, char* modulesText)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        key = NULL;
    if (productsText) ReadMask(key, "InstalledProducts", productsText);
#ifdef FAULT_IN_KOLBEX_LEERREGISTRY
    if (key) RegCloseKey(key);
    Log(standin::Line().Text("KOLBEX_LEERREGISTRY faults"));
    standin::WriteThroughNull();
#endif
    if (modulesText) ReadMask(key, "InstalledModules", modulesText);
    if (key) RegCloseKey(key);
    Log(standin::Line().Text("KOLBEX_LEERREGISTRY() -> ").Quoted(productsText).Text(", ")
            .Quoted(modulesText));
    return 1;
}
#endif

#ifndef LEAVE_OUT_KOLBEX_ESCRIBIRREGISTRY
extern "C" int WINAPI KOLBEX_ESCRIBIRREGISTRY(char* productsText, char* modulesText)
{
    Log(standin::Line().Text("KOLBEX_ESCRIBIRREGISTRY(").Quoted(productsText).Text(", ")
            .Quoted(modulesText).Text(")"));
#ifdef FAULT_IN_KOLBEX_ESCRIBIRREGISTRY
    Log(standin::Line().Text("KOLBEX_ESCRIBIRREGISTRY faults"));
    standin::WriteThroughNull();
#endif
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
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}
