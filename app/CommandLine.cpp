// Decisions of the start-up, kept apart from the Win32 calls.
#include "app/CommandLine.h"
#include "base/Text.h"
#include "engine/EntryPaths.h"
#include "rules/PlaceRules.h"

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

// The switch word at p, in any case; p moves past it when it is there.
bool ScanWord(const char*& p, const char* word)
{
    const char* q = p;
    for (const char* s = word; *s; ++s, ++q)
        if (UpperAscii(*q) != *s) return false;
    p = q;
    return true;
}

// "/LOG" or "/LOG=path" at p, the token ending at white space or the line's end; a quoted path
// may hold blanks. False for anything else, an unclosed quote included, which asks for no log.
// p moves past the token when it is one.
bool ScanLogSwitch(const char*& p, CommandLineFields* fields)
{
    const char* q = p;
    if (!ScanWord(q, kLogSwitch)) return false;
    std::string path;
    if (*q == '=') {
        ++q;
        if (*q == '"') {
            const char* end = ++q;
            while (*end && *end != '"') ++end;
            if (*end != '"' || (end[1] && !IsSpace(end[1]))) return false;
            path.assign(q, end);
            q = end + 1;
        } else {
            const char* end = q;
            while (*end && !IsSpace(*end)) ++end;
            path.assign(q, end);
            if (path.find('"') != std::string::npos) return false;  // no file name holds a quote
            q = end;
        }
    } else if (*q != '\0' && !IsSpace(*q)) {
        return false;
    }
    fields->logRequested = true;
    fields->logPath = path;
    p = q;
    return true;
}

// "/PREVIEW", a token of its own.
bool ScanPreviewSwitch(const char*& p, CommandLineFields* fields)
{
    const char* q = p;
    if (!ScanWord(q, kPreviewSwitch) || (*q != '\0' && !IsSpace(*q))) return false;
    fields->preview = true;
    p = q;
    return true;
}

// The switches after the fourth token, each a token of its own, in either order; the first
// token that is neither ends them, as anything after the fourth token was always ignored.
void ScanSwitches(const char* p, CommandLineFields* fields)
{
    for (int token = 0; token < 2; ++token) {
        if (!IsSpace(*p)) return;  // a token of its own, not the tail of the one before
        SkipSpace(p);
        bool taken = (!fields->logRequested && ScanLogSwitch(p, fields)) ||
                     (!fields->preview && ScanPreviewSwitch(p, fields));
        if (!taken) return;
    }
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
    ScanSwitches(p, &fields);
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

bool RemovesItself(int32_t runMode, uint32_t actionFlags)
{
    return runMode == 2 || (runMode == 1 && actionFlags == 0);
}
