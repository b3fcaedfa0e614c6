// Fuzzes the start-up file's line filter: kept lines are whole input lines, in order.
#include "restore/BatchText.h"
#include "base/Text.h"
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The lines of the text as the filter reads them: up to Ctrl-Z, split at LF, CR LF as LF.
std::vector<std::string> Lines(const std::string& content)
{
    std::string text = content.substr(0, content.find('\x1A'));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t newline = text.find('\n', start);
        size_t end = newline == std::string::npos ? text.size() : newline;
        size_t bodyEnd = end;
        if (newline != std::string::npos && bodyEnd > start && text[bodyEnd - 1] == '\r') --bodyEnd;
        lines.push_back(text.substr(start, bodyEnd - start));
        start = newline == std::string::npos ? text.size() : newline + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    size_t markerLength = data[0] % 8;
    if (size < 1 + markerLength) return 0;
    std::string marker(reinterpret_cast<const char*>(data + 1), markerLength);
    std::string content(reinterpret_cast<const char*>(data + 1 + markerLength), size - 1 - markerLength);

    std::string kept = FilterBatchLines(content, marker);
    // Every kept line is a whole input line without the marker, in input order; every
    // input line without the marker is kept.
    std::vector<std::string> input = Lines(content), output = Lines(kept);
    size_t next = 0;
    for (const std::string& line : input) {
        bool marked = !marker.empty() && UpperAscii(line).find(marker) != std::string::npos;
        if (marked) continue;
        if (next >= output.size() || output[next] != line) std::abort();
        ++next;
    }
    if (next != output.size()) std::abort();
    if (kept.find('\x1A') != std::string::npos) std::abort();
    if (kept.size() > content.size() * 2) std::abort();
    return 0;
}
