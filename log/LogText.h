// The texts of the removal log (no Win32 here). Lines are built in fixed buffers: a log line
// costs no allocation, and the program no string code of its own for it.
#pragma once
#include <cstdarg>
#include <cstddef>

// The log's file name in the temporary directory when /LOG names no path.
const char kDefaultLogName[] = "Morwa Uninstall Log.txt";

// The longest line, CR LF included; a longer one is cut (two full paths and their words fit).
const size_t kMaxLogLine = 1024;

// Writes into a buffer of `size` bytes (at least 1), always terminated; what does not fit is
// left out.
class LineWriter {
public:
    LineWriter(char* buffer, size_t size) : buffer_(buffer), size_(size), used_(0) { buffer_[0] = '\0'; }
    void Text(const char* text);
    void Char(char c);
    // Decimal digits, with leading zeros up to `width`.
    void Number(unsigned long long value, int width = 0);
    size_t length() const { return used_; }
    const char* text() const { return buffer_; }

private:
    char* buffer_;
    size_t size_;
    size_t used_;
};

// "2026-12-09 17:15:31.123 KEYWORD " with the keyword padded to a column of eight: the start
// of every line.
void WriteLineStart(LineWriter& line, unsigned year, unsigned month, unsigned day, unsigned hour,
                    unsigned minute, unsigned second, unsigned milliseconds, const char* keyword);

// Whether the first bytes of an existing file (`length` of them, at most 11) begin as a line
// start does ("2026-12-09 "): only such a file, or an empty one, is a removal log to append to.
bool BeginsLikeLog(const char* head, size_t length);

// " (access denied)": the name of a system error code, for the codes a removal meets; "" for
// the others.
const char* LogErrorName(unsigned long code);

// The details of a line from a printf-like format: %s (a null pointer writes nothing), %c, %d,
// %i, %u and %x, each with no, one or two l for int, long and long long, and %%. Anything
// else in a conversion is written as it stands, and reads no argument.
void FormatLogDetails(LineWriter& line, const char* format, va_list arguments);

// Where the log goes, into `path` of `size` bytes: `requested` when the switch named a path,
// else the default name in the temporary directory (`tempDir` with its trailing backslash, or
// "C:\" when it is empty). False, with `path` empty, when that does not fit.
bool LogPathFor(const char* requested, const char* tempDir, char* path, size_t size);
