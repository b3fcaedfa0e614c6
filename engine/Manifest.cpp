// Reading the uninstall manifest through the profile reader.
#include "engine/Manifest.h"
#include <windows.h>

std::string ReadManifestValue(const char* manifestPath, const std::string& section,
                              const std::string& key, const char* defaultText, unsigned limit)
{
    if (section.empty() || key.empty()) return defaultText;
    char buffer[kManifestValueLimit] = "";
    if (limit == 0 || limit > sizeof buffer) limit = sizeof buffer;
    GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText, buffer, limit,
                             manifestPath);
    buffer[limit - 1] = '\0';
    return buffer;
}
