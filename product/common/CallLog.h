// Shared by the support-library stand-ins: their settings file and call log beside the library.
#pragma once
#include <windows.h>

namespace standin {

// The path of `fileName` in the directory that holds `module`; false when it does not fit.
inline bool BesidePath(HMODULE module, const char* fileName, char* path, DWORD size)
{
    DWORD length = GetModuleFileNameA(module, path, size);
    if (length == 0 || length >= size) return false;
    DWORD directoryEnd = 0;  // just past the last backslash
    for (DWORD i = 0; i < length; ++i)
        if (path[i] == '\\') directoryEnd = i + 1;
    DWORD nameLength = static_cast<DWORD>(lstrlenA(fileName));
    if (directoryEnd + nameLength + 1 > size) return false;
    lstrcpyA(path + directoryEnd, fileName);
    return true;
}

// One log line under construction; text that would not fit is left out, never written past
// the buffer.
class Line {
public:
    Line() : used_(0) { text_[0] = '\0'; }
    Line& Text(const char* text)
    {
        for (; text && *text && used_ + 3 < sizeof text_; ++text) text_[used_++] = *text;
        text_[used_] = '\0';
        return *this;
    }
    Line& Quoted(const char* text)
    {
        if (text == NULL) return Text("(null)");
        return Text("\"").Text(text).Text("\"");
    }
    Line& Number(long value)
    {
        char digits[16];
        int count = 0;
        unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value)
                                            : static_cast<unsigned long>(value);
        do {
            digits[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) digits[count++] = '-';
        char reversed[16];
        for (int i = 0; i < count; ++i) reversed[i] = digits[count - 1 - i];
        reversed[count] = '\0';
        return Text(reversed);
    }
    // Appends the line and CR LF to the file, created when missing. Opened and closed per
    // call so that the log is complete whenever the caller stops.
    void AppendTo(const char* logPath) const
    {
        HANDLE file = CreateFileA(logPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE) return;
        SetFilePointer(file, 0, NULL, FILE_END);
        DWORD written = 0;
        WriteFile(file, text_, static_cast<DWORD>(used_), &written, NULL);
        WriteFile(file, "\r\n", 2, &written, NULL);
        CloseHandle(file);
    }
private:
    char text_[1024];
    size_t used_;
};

}  // namespace standin
