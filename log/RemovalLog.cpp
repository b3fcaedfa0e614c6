// The removal log: kept in memory until the install directory is known, then appended to
// its file line by line, so that whatever ends the process leaves the lines before it.
#include "log/RemovalLog.h"
#include "log/LogText.h"
#include "base/FaultGuard.h"
#include "base/PathLimits.h"
#include "base/Handles.h"
#include "base/SystemDirectories.h"
#include "base/Text.h"
#include <cstdarg>

namespace removal_log {

bool on = false;

namespace {

const size_t kMaxKeptBytes = 64 * 1024;  // lines before Open: start-up only

FileHandle file;
char path[kPathSize];       // full path once Open has decided
char requested[kPathSize];  // as the switch gave it; empty for the default place
std::string kept;
unsigned long counts[4];
bool carriedToRetry = true;
bool preview = false;

void Drop()
{
    on = false;
    file.Close();
    path[0] = '\0';
    kept.clear();
}

bool Append(const char* text, size_t length)
{
    DWORD written = 0;
    return WriteFile(file.get(), text, static_cast<DWORD>(length), &written, NULL) &&
           written == length;
}

void OpenFile(PlaceCheck mayLieAt)
{
    const std::string temp = TemporaryDirectory();
    DWORD length = 0;
    char name[kPathSize];
    char target[kPathSize] = "";
    char* filePart = NULL;
    // A relative path is taken from the current directory now, and the retry run gets it whole.
    if (!LogPathFor(requested, temp.c_str(), name, sizeof name) ||
        (length = GetFullPathNameA(name, sizeof target, target, &filePart)) == 0 ||
        length >= sizeof target || (mayLieAt && !mayLieAt(target))) {
        Drop();
        return;
    }
    // Shared for reading, so that support can look at it while the run goes on.
    // An existing file that is no removal log (a /LOG naming win.ini, say) is never written.
    file.reset(CreateFileA(target, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL));
    char head[11];
    DWORD got = 0;
    if (!file.valid() || !ReadFile(file.get(), head, sizeof head, &got, NULL) || !BeginsLikeLog(head, got) ||
        SetFilePointer(file.get(), 0, NULL, FILE_END) == INVALID_SET_FILE_POINTER ||
        !Append(kept.data(), kept.size())) {
        Drop();
        return;
    }
    kept.clear();
    CopyText(path, sizeof path, target);
}

}  // namespace

void Request(const std::string& requestedPath, bool forRetry)
{
    Drop();
    carriedToRetry = forRetry;
    counts[kRemoved] = counts[kRefused] = counts[kLeft] = counts[kCannotTell] = 0;
    // A path too long for any buffer of the program names no log.
    on = CopyText(requested, sizeof requested, requestedPath.c_str());
}

void Open(PlaceCheck mayLieAt)
{
    if (!on || file.valid()) return;
    if (!Guarded([mayLieAt] { OpenFile(mayLieAt); })) Drop();
}

void MarkPreview()
{
    preview = true;
}

void Close()
{
    if (!on) return;
    // The items the program could not tell about are counted only when there are any.
    if (counts[kCannotTell] == 0)
        Write("END", "%s %lu refused %lu left %lu", preview ? "would remove" : "removed", counts[kRemoved],
              counts[kRefused], counts[kLeft]);
    else
        Write("END", "%s %lu refused %lu left %lu cannot tell %lu", preview ? "would remove" : "removed",
              counts[kRemoved], counts[kRefused], counts[kLeft], counts[kCannotTell]);
    Drop();
}

const char* Path()
{
    return path;
}

const char* RetryPath()
{
    return carriedToRetry ? path : "";
}

namespace {

void WriteLineV(const char* keyword, const char* format, va_list arguments)
{
    char buffer[kMaxLogLine];
    LineWriter line(buffer, sizeof buffer - 2);  // room for CR LF
    SYSTEMTIME time;
    GetLocalTime(&time);
    WriteLineStart(line, time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                   time.wSecond, time.wMilliseconds, keyword);
    FormatLogDetails(line, format, arguments);
    size_t length = line.length();
    buffer[length++] = '\r';
    buffer[length++] = '\n';
    if (file.valid()) {
        if (!Append(buffer, length)) Drop();
    } else if (kept.size() + length <= kMaxKeptBytes) {
        // The log never ends an operation, out of memory included.
        if (!Guarded([&buffer, length] { kept.append(buffer, length); })) Drop();
    }
}

}  // namespace

void Write(const char* keyword, const char* format, ...)
{
    if (!on) return;
    va_list arguments;
    va_start(arguments, format);
    WriteLineV(keyword, format, arguments);
    va_end(arguments);
}

void WriteCounted(Tally outcome, const char* keyword, const char* format, ...)
{
    if (!on) return;
    ++counts[outcome];
    va_list arguments;
    va_start(arguments, format);
    WriteLineV(keyword, format, arguments);
    va_end(arguments);
}

const char* ErrorName(unsigned long code)
{
    return LogErrorName(code);
}

}  // namespace removal_log
