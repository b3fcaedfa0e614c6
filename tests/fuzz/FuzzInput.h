// Helpers shared by the fuzz targets: splitting an input into fields, and the failure check.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The input split at line feeds into exactly `count` fields (missing ones empty, the last
// one takes the rest), each cut at its first zero byte: the fields stand for C strings from
// the profile reader, the registry or the system. Those never hold a line feed either, so
// the separator costs the fuzzer nothing it needs.
inline std::vector<std::string> SplitFields(const uint8_t* data, size_t size, size_t count)
{
    std::vector<std::string> fields(count);
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (size_t i = 0; i < count && start <= input.size(); ++i) {
        size_t end = i + 1 == count ? std::string::npos : input.find('\n', start);
        if (end == std::string::npos) {
            fields[i] = input.substr(start);
            break;
        }
        fields[i] = input.substr(start, end - start);
        start = end + 1;
    }
    for (std::string& field : fields) field = field.substr(0, field.find('\0'));
    return fields;
}

// Ends the run with a message when a property that must always hold does not; libFuzzer
// keeps the input that did it.
#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__,       \
                         #condition);                                                     \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)
