// The line filter of the start-up batch file.
#include "restore/BatchText.h"
#include "base/Text.h"

namespace {

bool IsNameCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool EndsAName(char c)
{
    return c == '\\' || c == ';' || c == ' ' || c == '\t' || c == '"' || c == '=';
}

}  // namespace

bool LineHoldsMarker(const std::string& upperLine, const std::string& marker, MarkerMatch match)
{
    if (marker.empty()) return false;
    for (size_t at = upperLine.find(marker); at != std::string::npos; at = upperLine.find(marker, at + 1)) {
        if (match == MarkerMatch::kAnywhere) return true;
        size_t end = at + marker.size();
        bool startsName = at == 0 || !IsNameCharacter(upperLine[at - 1]);
        bool endsName = end == upperLine.size() || EndsAName(upperLine[end]);
        if (startsName && endsName) return true;
    }
    return false;
}

std::string FilterBatchLines(const std::string& content, const std::string& marker,
                             size_t* dropped, MarkerMatch match)
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
        bool drop = LineHoldsMarker(UpperAscii(body), marker, match);
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
