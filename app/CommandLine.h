// Decisions of the start-up: the command-line scan, the retry command line and the checks of
// the install directory and the manifest name (no Win32 here).
#pragma once
#include <cstdint>
#include <string>

// The longest manifest name the run accepts: with two 10-digit numbers, the blanks and the
// run mode, "%s %lu %lu 2" then still fits the 256-byte retry command line.
const size_t kMaxManifestNameChars = 231;

// The switches after the four tokens: a removal log, and a preview that changes nothing.
const char kLogSwitch[] = "/LOG";
const char kPreviewSwitch[] = "/PREVIEW";

// The four tokens of the command line. Fields that were not read keep 0 (or empty).
struct CommandLineFields {
    std::string manifestName;
    uint32_t productBit = 0;
    uint32_t actionFlags = 0;
    int32_t runMode = 0;
    int fieldsRead = 0;  // 0 to 4
    // After the fourth token, in either order: "/LOG" (any case) or "/LOG=path", the path in
    // double quotes when it holds blanks (logPath stays empty for the default place); and
    // "/PREVIEW" (any case). Anything else after the fourth token is ignored, as before.
    bool logRequested = false;
    std::string logPath;
    bool preview = false;
};

// Reads the line exactly as sscanf with "%s %lu %lu %i" would: white space before each token
// is skipped, numbers need no blank after them, reading stops at the first token that is
// missing or malformed. %lu takes an optional sign as strtoul does ("-1" is 4294967295);
// %i takes its base from the prefix ("0x" hexadecimal, a leading "0" octal). A number too
// large for its field gives the largest value of the field, as strtoul and strtol do. When
// all four were read, the switches after them are taken too.
CommandLineFields ScanCommandLine(const char* line);

// "%s %lu %lu 2": the command line of a later retry run.
std::string FormatRetryCommandLine(const std::string& manifestName, uint32_t productBit,
                                   uint32_t actionFlags);

// The install directory from the text of the "Path" value: a full path (drive letter or
// network share), given a trailing backslash when it lacks one. False for an empty or
// relative text, a device form ("\\?\C:\"), or when the result would exceed 259 characters:
// every path of the run is formed by appending names to it, so a relative one would reach
// the current directory, and a device form would pass every check of a protected directory.
bool InstallDirFromValue(const std::string& value, std::string* installDir);

// Whether a run of this mode ends by removing the program itself: the retry run, and the
// interactive run of a full removal.
bool RemovesItself(int32_t runMode, uint32_t actionFlags);

// True when the manifest name is at most kMaxManifestNameChars long and, appended to the
// install directory, still forms a path of at most 259 characters.
bool ManifestNameFits(const std::string& manifestName, const std::string& installDir);
