// Fuzzes the start-up decisions: the command-line scan against the C library's own number
// conversions, the retry command line read back, and the install directory checks.
#include "app/CommandLine.h"
#include "tests/fuzz/FuzzInput.h"
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {

const char* SkipSpace(const char* p)
{
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    return p;
}

// %lu of a 32-bit C library: strtoul with 32-bit unsigned long. The host's is 64 bits wide,
// so the magnitude is read with it and then reduced as the 32-bit one would.
bool ReferenceUnsigned(const char*& p, uint32_t* value)
{
    const char* start = SkipSpace(p);
    const char* digits = start;
    bool negative = false;
    if (*digits == '+' || *digits == '-') negative = *digits++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*digits))) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long magnitude = std::strtoull(digits, &end, 10);
    bool overflow = errno == ERANGE || magnitude > 0xFFFFFFFFull;
    *value = overflow ? 0xFFFFFFFFu
                      : (negative ? 0u - static_cast<uint32_t>(magnitude)
                                  : static_cast<uint32_t>(magnitude));
    p = end;
    return true;
}

// %i of a 32-bit C library: strtol with base 0, saturating at the 32-bit limits.
bool ReferenceInteger(const char*& p, int32_t* value)
{
    const char* start = SkipSpace(p);
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(start, &end, 0);
    if (end == start) return false;
    if (number > INT32_MAX) number = INT32_MAX;
    if (number < INT32_MIN) number = INT32_MIN;
    *value = static_cast<int32_t>(number);
    p = end;
    return true;
}

void CheckScan(const std::string& line)
{
    CommandLineFields fields = ScanCommandLine(line.c_str());
    FUZZ_CHECK(fields.fieldsRead >= 0 && fields.fieldsRead <= 4);

    const char* p = SkipSpace(line.c_str());
    const char* nameEnd = p;
    while (*nameEnd && !std::isspace(static_cast<unsigned char>(*nameEnd))) ++nameEnd;
    int expectedRead = 0;
    uint32_t productBit = 0, actionFlags = 0;
    int32_t runMode = 0;
    if (nameEnd != p) {
        expectedRead = 1;
        p = nameEnd;
        if (ReferenceUnsigned(p, &productBit)) {
            expectedRead = 2;
            if (ReferenceUnsigned(p, &actionFlags)) {
                expectedRead = 3;
                if (ReferenceInteger(p, &runMode)) expectedRead = 4;
            }
        }
    }
    FUZZ_CHECK(fields.fieldsRead == expectedRead);
    FUZZ_CHECK(fields.manifestName == std::string(SkipSpace(line.c_str()), nameEnd));
    FUZZ_CHECK(fields.productBit == (expectedRead >= 2 ? productBit : 0));
    FUZZ_CHECK(fields.actionFlags == (expectedRead >= 3 ? actionFlags : 0));
    FUZZ_CHECK(fields.runMode == (expectedRead >= 4 ? runMode : 0));
    // A log is asked for only after four tokens, and the path it names holds no quote.
    FUZZ_CHECK(!fields.logRequested || fields.fieldsRead == 4);
    FUZZ_CHECK(!fields.preview || fields.fieldsRead == 4);
    FUZZ_CHECK(fields.logPath.find('"') == std::string::npos);
    FUZZ_CHECK(fields.logRequested || fields.logPath.empty());

    // A name that the run accepts gives a retry command line that reads back as the same run
    // in retry mode, and fits the 256-byte field.
    if (fields.fieldsRead >= 1 && fields.manifestName.size() <= kMaxManifestNameChars) {
        std::string retry =
            FormatRetryCommandLine(fields.manifestName, fields.productBit, fields.actionFlags);
        FUZZ_CHECK(retry.size() <= 255);
        CommandLineFields again = ScanCommandLine(retry.c_str());
        FUZZ_CHECK(again.fieldsRead == 4 && again.manifestName == fields.manifestName);
        FUZZ_CHECK(again.productBit == fields.productBit);
        FUZZ_CHECK(again.actionFlags == fields.actionFlags && again.runMode == 2);
        FUZZ_CHECK(!again.logRequested && !again.preview);  // a retry run never previews
        // The retry text with a log switch reads back as the same run with the same log.
        if (fields.logRequested && !fields.logPath.empty()) {
            CommandLineFields logged =
                ScanCommandLine((retry + " /LOG=\"" + fields.logPath + "\"").c_str());
            FUZZ_CHECK(logged.fieldsRead == 4 && logged.runMode == 2 && logged.logRequested);
            FUZZ_CHECK(logged.logPath == fields.logPath);
        }
    }
}

void CheckInstallDir(const std::string& value, const std::string& manifestName)
{
    std::string installDir = "untouched";
    if (!InstallDirFromValue(value, &installDir)) {
        FUZZ_CHECK(installDir == "untouched");
        return;
    }
    // A full path, never relative, never cut, always with its backslash.
    FUZZ_CHECK(installDir.size() <= 259 && installDir.back() == '\\');
    FUZZ_CHECK(installDir.compare(0, value.size(), value) == 0);
    FUZZ_CHECK(installDir.size() - value.size() <= 1);
    bool drive = std::isalpha(static_cast<unsigned char>(installDir[0])) && installDir[1] == ':' &&
                 installDir[2] == '\\';
    bool share = installDir[0] == '\\' && installDir[1] == '\\' && installDir[2] != '\\';
    FUZZ_CHECK(drive || share);
    if (ManifestNameFits(manifestName, installDir))
        FUZZ_CHECK(manifestName.size() <= kMaxManifestNameChars &&
                   installDir.size() + manifestName.size() <= 259);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The command line is a C string: it ends at the first zero byte.
    std::string input(reinterpret_cast<const char*>(data), size);
    CheckScan(input.substr(0, input.find('\0')));
    std::vector<std::string> field = SplitFields(data, size, 2);
    CheckInstallDir(field[0], field[1]);
    return 0;
}
