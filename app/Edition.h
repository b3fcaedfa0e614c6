// The edition names and the texts formatted with them (no Win32 here).
#pragma once
#include <cstdint>
#include <string>

// The names of the three editions, the same in every language.
extern const char* const editionNames[3];

// The name shown when productBit names no edition of its own (0, or no edition bit at all):
// the product's name, which covers every edition.
extern const char* const allEditionsName;

// The position of the highest set bit of productBit, 0 to 2, for 1 to 7; -1 otherwise.
int EditionIndex(uint32_t productBit);

// editionNames at the highest of the edition bits 1, 2 and 4 that productBit holds, or
// allEditionsName when it holds none of them.
const char* EditionName(uint32_t productBit);

// `format` as printf would give it with `name` as its only argument, for the texts of the
// string table: the first "%s" becomes the name and "%%" a percent sign; any other "%"
// sequence, a second "%s" included, is kept as it stands instead of reading a missing argument.
std::string FormatWithName(const std::string& format, const std::string& name);
