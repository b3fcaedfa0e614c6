// The texts of the removal log.
#include "app/LogText.h"
#include "engine/Text.h"

namespace {

char UpperLetter(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
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

void LineWriter::Number(unsigned long long value, int width)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = count; i < width; ++i) Char('0');
    while (count > 0) Char(digits[--count]);
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

void WriteErrorText(LineWriter& line, unsigned long code)
{
    const char* name = nullptr;
    switch (code) {
    case 2: name = "file not found"; break;
    case 3: name = "path not found"; break;
    case 5: name = "access denied"; break;
    case 32: name = "in use"; break;
    case 145: name = "directory not empty"; break;
    default: break;
    }
    line.Text("error ");
    line.Number(code);
    if (name) {
        line.Text(" (");
        line.Text(name);
        line.Char(')');
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

bool LogPathAllowed(const char* fullLogPath, const char* installDir)
{
    if (fullLogPath == nullptr || fullLogPath[0] == '\0') return false;
    if (installDir == nullptr || installDir[0] == '\0') return true;
    size_t i = 0;
    for (; installDir[i] != '\0'; ++i)
        if (UpperLetter(fullLogPath[i]) != UpperLetter(installDir[i])) return true;
    // The whole install directory matched: inside it when a backslash follows or ended it.
    return !(installDir[i - 1] == '\\' || fullLogPath[i] == '\\');
}
