// Decisions of the start-up, kept apart from the Win32 calls.
#include "app/StartupRules.h"
#include "base/Text.h"
#include "engine/PathRules.h"
#include "safety/PlaceRules.h"

namespace {

// The white space of the C locale, which scanf skips.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void SkipSpace(const char*& p)
{
    while (*p && IsSpace(*p)) ++p;
}

int DigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// Reads the digits of `base` at p into *magnitude, saturating at `limit`. Returns false when
// there is not even one digit.
bool ReadDigits(const char*& p, unsigned base, uint64_t limit, uint64_t* magnitude, bool* overflow)
{
    const char* start = p;
    uint64_t value = 0;
    while (DigitValue(*p) < static_cast<int>(base)) {
        value = value * base + static_cast<unsigned>(DigitValue(*p));
        if (value > limit) {
            value = limit + 1;
            *overflow = true;
        }
        ++p;
    }
    *magnitude = value;
    return p != start;
}

bool ReadSign(const char*& p)
{
    if (*p == '+' || *p == '-') return *p++ == '-';
    return false;
}

// %lu: optional sign, decimal digits; a negative value is negated as an unsigned number.
bool ScanUnsigned(const char*& p, uint32_t* field)
{
    SkipSpace(p);
    const char* start = p;
    bool negative = ReadSign(p);
    uint64_t magnitude = 0;
    bool overflow = false;
    if (!ReadDigits(p, 10, 0xFFFFFFFFull, &magnitude, &overflow)) {
        p = start;
        return false;
    }
    if (overflow) *field = 0xFFFFFFFFu;
    else *field = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(magnitude))
                           : static_cast<uint32_t>(magnitude);
    return true;
}

// %i: optional sign, then the base by prefix; "0x" with no hex digit after it reads as 0.
bool ScanInteger(const char*& p, int32_t* field)
{
    SkipSpace(p);
    const char* start = p;
    bool negative = ReadSign(p);
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    const uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    uint64_t magnitude = 0;
    bool overflow = false;
    if (!ReadDigits(p, base, limit, &magnitude, &overflow)) {
        p = start;
        return false;
    }
    if (overflow) magnitude = limit;
    *field = negative ? static_cast<int32_t>(0 - static_cast<int64_t>(magnitude))
                      : static_cast<int32_t>(magnitude);
    return true;
}

// "/LOG" or "/LOG=path" at p, the token ending at white space or the line's end; a quoted path
// may hold blanks. Anything else, an unclosed quote included, asks for no log.
void ScanLogSwitch(const char* p, CommandLineFields* fields)
{
    if (!IsSpace(*p)) return;  // a token of its own, not the tail of the fourth
    SkipSpace(p);
    for (const char* s = kLogSwitch; *s; ++s, ++p)
        if (UpperAscii(*p) != *s) return;
    if (*p == '\0' || IsSpace(*p)) {
        fields->logRequested = true;
        return;
    }
    if (*p++ != '=') return;
    std::string path;
    if (*p == '"') {
        const char* end = ++p;
        while (*end && *end != '"') ++end;
        if (*end != '"' || (end[1] && !IsSpace(end[1]))) return;
        path.assign(p, end);
    } else {
        const char* end = p;
        while (*end && !IsSpace(*end)) ++end;
        path.assign(p, end);
        if (path.find('"') != std::string::npos) return;  // no file name holds a quote
    }
    fields->logRequested = true;
    fields->logPath = path;
}

}  // namespace

CommandLineFields ScanCommandLine(const char* line)
{
    CommandLineFields fields;
    if (line == nullptr) return fields;
    const char* p = line;
    SkipSpace(p);
    const char* start = p;
    while (*p && !IsSpace(*p)) ++p;
    if (p == start) return fields;
    fields.manifestName.assign(start, p);
    fields.fieldsRead = 1;
    if (!ScanUnsigned(p, &fields.productBit)) return fields;
    fields.fieldsRead = 2;
    if (!ScanUnsigned(p, &fields.actionFlags)) return fields;
    fields.fieldsRead = 3;
    if (!ScanInteger(p, &fields.runMode)) return fields;
    fields.fieldsRead = 4;
    ScanLogSwitch(p, &fields);
    return fields;
}

std::string FormatRetryCommandLine(const std::string& manifestName, uint32_t productBit,
                                   uint32_t actionFlags)
{
    // Formatted without the printf family, which would add a fifth to the program's size.
    return manifestName + " " + std::to_string(productBit) + " " + std::to_string(actionFlags) +
           " 2";
}

bool InstallDirFromValue(const std::string& value, std::string* installDir)
{
    if (CheckFullPath(value) != RefusalRule::kNone) return false;
    std::string dir = value;
    if (dir.back() != '\\') dir += '\\';
    if (dir.size() > kMaxPathChars) return false;
    *installDir = dir;
    return true;
}

bool ManifestNameFits(const std::string& manifestName, const std::string& installDir)
{
    return manifestName.size() <= kMaxManifestNameChars &&
           installDir.size() + manifestName.size() <= kMaxPathChars;
}
