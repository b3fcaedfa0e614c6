// The line filter of the start-up batch file.
#include "restore/BatchText.h"
#include "base/Text.h"

std::string FilterBatchLines(const std::string& content, const std::string& marker,
                             size_t* dropped)
{
    if (dropped) *dropped = 0;
    std::string text = content.substr(0, content.find('\x1A'));
    std::string kept;
    kept.reserve(text.size() + text.size() / 8);
    size_t start = 0;
    while (start < text.size()) {
        size_t newline = text.find('\n', start);
        size_t end = (newline == std::string::npos) ? text.size() : newline;
        size_t bodyEnd = end;
        if (newline != std::string::npos && bodyEnd > start && text[bodyEnd - 1] == '\r')
            --bodyEnd;  // CR LF reads as one line end
        std::string body = text.substr(start, bodyEnd - start);
        bool drop = !marker.empty() && UpperAscii(body).find(marker) != std::string::npos;
        if (!drop) {
            kept += body;
            if (newline != std::string::npos) kept += "\r\n";
        } else if (dropped) {
            ++*dropped;
        }
        start = (newline == std::string::npos) ? text.size() : newline + 1;
    }
    return kept;
}
