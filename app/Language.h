// The interface language and the localized texts.
#pragma once
#include <windows.h>

// Sets runContext.languageId from the product's "Language" value (English when unreadable).
void SelectLanguage();

// The language identifier for a "Language" registry value: 0 Spanish, 3 French, 5 Italian,
// anything else English.
WORD LanguageForValue(DWORD value);

// Copies string `id` of exactly `language` into `buffer` (`size` bytes, at least 1) as ANSI
// text, cut to size - 1 characters. A missing or empty entry leaves the buffer as it was.
// Always returns 0.
int LoadLocalizedString(HINSTANCE instance, UINT id, char* buffer, int size, WORD language);
