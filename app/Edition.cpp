// The edition names and the texts formatted with them.
#include "app/Edition.h"
#include "app/Selection.h"

const char* const editionNames[3] = {
    "Morwa antivirus 6.0 Windows 95/98",
    "Morwa antivirus 6.0 Exchange Internet Windows 95/98",
    "Morwa antivirus 6.0 Vantorix Windows 95/98",
};

const char* const allEditionsName = "Morwa antivirus 6.0";

int EditionIndex(uint32_t productBit)
{
    if (productBit == 0 || productBit >= 8) return -1;
    int index = 0;
    while (productBit != 1) {
        productBit >>= 1;
        ++index;
    }
    return index;
}

const char* EditionName(uint32_t productBit)
{
    int index = EditionIndex(productBit & kEveryEditionBit);
    return index < 0 ? allEditionsName : editionNames[index];
}

std::string FormatWithName(const std::string& format, const std::string& name)
{
    std::string text;
    bool nameUsed = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                text += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 's' && !nameUsed) {
                text += name;
                nameUsed = true;
                ++i;
                continue;
            }
        }
        text += format[i];
    }
    return text;
}
