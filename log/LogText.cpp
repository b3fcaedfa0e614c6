// The texts of the removal log.
#include "log/LogText.h"
#include "base/Text.h"

namespace {

const size_t kKeywordColumn = 8;

}  // namespace

void LineWriter::Text(const char* text)
{
    for (; text && *text && used_ + 1 < size_; ++text) buffer_[used_++] = *text;
    buffer_[used_] = '\0';
}

void LineWriter::Char(char c)
{
    if (used_ + 1 < size_) buffer_[used_++] = c;
    buffer_[used_] = '\0';
}

namespace {

// value / 10 in place, returning value % 10, in 16-bit steps: 32-bit divisions only, so that the
// runtime's 64-bit division stays out of the program.
unsigned DivideByTen(unsigned long long& value)
{
    unsigned long long quotient = 0;
    unsigned remainder = 0;
    for (int shift = 48; shift >= 0; shift -= 16) {
        unsigned part = (remainder << 16) | static_cast<unsigned>((value >> shift) & 0xFFFF);
        quotient |= static_cast<unsigned long long>(part / 10) << shift;
        remainder = part % 10;
    }
    value = quotient;
    return remainder;
}

}  // namespace

void LineWriter::Number(unsigned long long value, int width)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + DivideByTen(value));
    } while (value != 0);
    for (int i = count; i < width; ++i) Char('0');
    while (count > 0) Char(digits[--count]);
}

bool BeginsLikeLog(const char* head, size_t length)
{
    if (length == 0) return true;
    if (length < 11) return false;
    for (size_t i = 0; i < 11; ++i) {
        const char expected = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : '0';
        if (expected == '0' ? head[i] < '0' || head[i] > '9' : head[i] != expected) return false;
    }
    return true;
}

void WriteLineStart(LineWriter& line, unsigned year, unsigned month, unsigned day, unsigned hour,
                    unsigned minute, unsigned second, unsigned milliseconds, const char* keyword)
{
    line.Number(year, 4);
    line.Char('-');
    line.Number(month, 2);
    line.Char('-');
    line.Number(day, 2);
    line.Char(' ');
    line.Number(hour, 2);
    line.Char(':');
    line.Number(minute, 2);
    line.Char(':');
    line.Number(second, 2);
    line.Char('.');
    line.Number(milliseconds, 3);
    line.Char(' ');
    size_t start = line.length();
    line.Text(keyword);
    while (line.length() < start + kKeywordColumn) line.Char(' ');
    line.Char(' ');
}

const char* LogErrorName(unsigned long code)
{
    switch (code) {
    case 2: return " (file not found)";
    case 3: return " (path not found)";
    case 5: return " (access denied)";
    case 32: return " (in use)";
    case 145: return " (directory not empty)";
    default: return "";
    }
}

namespace {

void WriteHex(LineWriter& line, unsigned long long value)
{
    char digits[17];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value & 15];
        value >>= 4;
    } while (value != 0);
    while (count > 0) line.Char(digits[--count]);
}

}  // namespace

void FormatLogDetails(LineWriter& line, const char* format, va_list arguments)
{
    for (const char* p = format; p && *p; ++p) {
        if (*p != '%') {
            line.Char(*p);
            continue;
        }
        const char* start = p++;
        int longs = 0;
        while (*p == 'l' && longs < 2) {
            ++longs;
            ++p;
        }
        if (*p == '%' && longs == 0) {
            line.Char('%');
        } else if (*p == 's' && longs == 0) {
            line.Text(va_arg(arguments, const char*));
        } else if (*p == 'c' && longs == 0) {
            line.Char(static_cast<char>(va_arg(arguments, int)));
        } else if (*p == 'd' || *p == 'i') {
            long long value = longs == 2   ? va_arg(arguments, long long)
                              : longs == 1 ? va_arg(arguments, long)
                                           : va_arg(arguments, int);
            if (value < 0) line.Char('-');
            line.Number(value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                  : static_cast<unsigned long long>(value));
        } else if (*p == 'u' || *p == 'x') {
            unsigned long long value = longs == 2   ? va_arg(arguments, unsigned long long)
                                       : longs == 1 ? va_arg(arguments, unsigned long)
                                                    : va_arg(arguments, unsigned);
            if (*p == 'u') line.Number(value);
            else WriteHex(line, value);
        } else {
            // Not a conversion of ours: the text as it stands, reading nothing.
            for (; start <= p && *start; ++start) line.Char(*start);
            if (*p == '\0') return;
        }
    }
}

bool LogPathFor(const char* requested, const char* tempDir, char* path, size_t size)
{
    if (size == 0) return false;
    path[0] = '\0';
    if (requested && requested[0] != '\0') return CopyText(path, size, requested);
    bool fits = CopyText(path, size, tempDir && tempDir[0] ? tempDir : "C:\\") &&
                AppendText(path, size, kDefaultLogName);
    if (!fits) path[0] = '\0';
    return fits;
}
