// Decisions about uninstall manifest values, kept apart from the Win32 calls (no <windows.h>).
#pragma once
#include "app/ProductKeys.h"
#include "rules/RegistryRoot.h"
#include <cstdint>
#include <string>
#include <vector>

// "%ProgramRoot%" stands for kProductKeyPath below HKEY_LOCAL_MACHINE.

// ---- Lists and numbers -------------------------------------------------------------------

// The items of a comma list in order: "a,,b" gives "a", "" and "b"; "" gives one empty item.
std::vector<std::string> SplitList(const std::string& list);

// One more than the number of commas: the count the progress bar divides by.
int CountListItems(const std::string& list);

// A "Mask" value: an unsigned decimal number after optional blanks and an optional "+";
// only the leading digits count. Anything else (no digits, a minus sign, more than 32 bits)
// gives 0, so the section never takes part.
uint32_t ParseMask(const std::string& text);

// A mask text from the version manager: optional blanks and sign, then digits; no digits
// give 0. The value is taken modulo 2^32 as a signed number.
int32_t ParseInstalledMask(const std::string& text);

// The divisor of a shared module's progress from "TotalFiles": 0 or a text that is not an
// unsigned number gives 10, the key's own default.
uint32_t ProgressDivisor(const std::string& text);

// The position posted after a file entry: index * 100 / divisor in unsigned 32-bit arithmetic.
uint32_t FileProgressPosition(uint32_t index, uint32_t divisor);

// The position posted after module name `k` (from 0) of `count`.
int ModuleProgressPosition(int k, int count);

// "File" and 12 give "File12": numbered key names of any length.
std::string NumberedKey(const char* prefix, unsigned long index);

// ---- File entries ------------------------------------------------------------------------

// True when `text` may stand below the install directory: no colon (drive letters), no
// leading backslash or slash, and no component made only of dots and blanks (".", "..",
// "..." which on Windows 95/98 climbs two levels, " " which is the directory itself). Empty
// text is acceptable (an empty RelativePath).
bool IsContainedRelativePath(const std::string& text);

// The module directory D with its trailing backslash: `installDir` alone for an empty
// relative path. False when the relative path is unsafe, `installDir` does not end with a
// backslash, or the result would exceed 259 characters.
bool ComposeModuleDirectory(const std::string& installDir, const std::string& relativePath,
                            std::string* path);

// The path of a "File%i" value: the system directory and the rest for a value that starts
// with "%SystemRoot%\", else D and the value. False (skip the entry) for an unsafe value or
// relative path, a missing system directory, a wildcard, or a result over 259 characters.
bool ComposeFileEntryPath(const std::string& installDir, const std::string& relativePath,
                          const std::string& value, const std::string& systemDir,
                          std::string* path);

// The tree of a "DelDir%i" value: D, the value and a backslash; false as above.
bool ComposeTreeEntryPath(const std::string& installDir, const std::string& relativePath,
                          const std::string& value, std::string* path);

// The search directory of "DelExt%i" values: `installDir` and the relative path, with no
// backslash added. False for an unsafe relative path or a result over 259 characters.
bool ComposePatternDirectory(const std::string& installDir, const std::string& relativePath,
                             std::string* path);

// Whether a "DelExt%i" value may be used as a pattern (the same test as for names).
bool IsUsablePattern(const std::string& value);

// ---- Registry entries --------------------------------------------------------------------

struct RegistryEntry {
    RegistryRoot root = kRootLocalMachine;
    std::string keyPath;    // never empty, no empty component
    bool namesKey = false;  // the whole key; else the value `valueName` of the key
    std::string valueName;
};

// Splits a "Key%i" entry. "%ProgramRoot%" or a root name followed by a backslash must stand
// at the very start; the last character tells a key (a backslash) from a value. False, and
// nothing to delete, for any other text, an empty key path (no root key is ever named), a
// value entry without a backslash in its key path, or a key path over 259 characters.
bool SplitRegistryEntry(const std::string& text, RegistryEntry* entry);

// The position just after the text's last backslash, or NULL when it has none (or no text).
const char* LastPathComponent(const char* text);
