// Placeholder until the language part lands.
#include "app/Language.h"
void SelectLanguage() {}
WORD LanguageForValue(DWORD) { return 0x0409; }
int LoadLocalizedString(HINSTANCE, UINT, char*, int, WORD) { return 0; }
const char* const editionNames[3] = {"", "", ""};
int EditionIndex(DWORD) { return -1; }
const char* EditionName(DWORD) { return ""; }
