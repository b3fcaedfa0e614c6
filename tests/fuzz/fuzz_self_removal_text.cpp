// Fuzzes the self-removal texts: the batch is the template with each slot filled exactly once
// (as the command interpreter reads it), the retry value fits its 255 bytes and starts the
// program it names, and WININIT.INI keeps its text and gains the NUL lines inside [rename].
#include "app/SelfRemovalText.h"
#include "tests/fuzz/FuzzInput.h"
#include <cstring>
#include <memory>

namespace {

// A quoted argument of a batch line as the command interpreter reads it: "%%" is one percent
// sign, and a lone "%" or a quote inside would change what the line names.
bool ReadQuoted(const std::string& line, const std::string& before, const std::string& after,
                std::string* argument)
{
    if (line.size() < before.size() + after.size() + 2) return false;
    if (line.compare(0, before.size(), before) != 0) return false;
    if (line.compare(line.size() - after.size(), after.size(), after) != 0) return false;
    std::string quoted = line.substr(before.size(), line.size() - before.size() - after.size());
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return false;
    std::string text;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '"') return false;
        if (c == '%') {
            if (i + 2 >= quoted.size() || quoted[i + 1] != '%') return false;
            ++i;
        }
        text += c;
    }
    *argument = text;
    return true;
}

void CheckBatch(const std::string& exePath, const std::string& installDir,
                const std::string& batchPath)
{
    std::string text = "untouched";
    if (!FormatRemovalBatch(exePath, installDir, batchPath, &text)) {
        FUZZ_CHECK(text == "untouched");
        return;
    }
    FUZZ_CHECK(text.size() <= kMaxBatchChars);
    // Six lines, each ended by CR LF, and no other line break anywhere.
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        FUZZ_CHECK(end != std::string::npos);
        lines.push_back(text.substr(start, end - start));
        FUZZ_CHECK(lines.back().find_first_of("\r\n") == std::string::npos);
        start = end + 2;
    }
    FUZZ_CHECK(lines.size() == 6);
    FUZZ_CHECK(lines[0] == ":Repeat");
    std::string argument;
    FUZZ_CHECK(ReadQuoted(lines[1], "del ", "", &argument) && argument == exePath);
    FUZZ_CHECK(ReadQuoted(lines[2], "rd ", "", &argument) &&
               argument == installDir.substr(0, installDir.size() - 1));
    FUZZ_CHECK(ReadQuoted(lines[3], "if exist ", " goto Repeat", &argument) &&
               argument == exePath);
    FUZZ_CHECK(ReadQuoted(lines[4], "rmdir ", "", &argument) &&
               argument == exePath.substr(0, exePath.find('\\')));
    FUZZ_CHECK(ReadQuoted(lines[5], "del ", "", &argument) && argument == batchPath);
}

// The program a command line starts: the quoted text, or the text up to the first blank.
std::string ProgramOf(const std::string& commandLine, std::string* rest)
{
    size_t end;
    std::string program;
    if (!commandLine.empty() && commandLine[0] == '"') {
        end = commandLine.find('"', 1);
        if (end == std::string::npos) return std::string();
        program = commandLine.substr(1, end - 1);
        ++end;
    } else {
        end = commandLine.find_first_of(" \t");
        if (end == std::string::npos) end = commandLine.size();
        program = commandLine.substr(0, end);
    }
    *rest = end < commandLine.size() ? commandLine.substr(end) : std::string();
    return program;
}

void CheckRetry(const std::string& installDir, const std::string& retryCommandLine,
                size_t size)
{
    std::unique_ptr<char[]> buffer(new char[size]);
    std::memset(buffer.get(), 'x', size);
    bool composed = ComposeRetryText(installDir, retryCommandLine, buffer.get(), size);
    if (size == 0) {
        FUZZ_CHECK(!composed);
        return;
    }
    size_t length = strnlen(buffer.get(), size);
    // Zero behind the text, through the whole buffer: the 255 stored bytes hold nothing else.
    for (size_t i = length; i < size; ++i) FUZZ_CHECK(buffer[i] == '\0');
    if (!composed) {
        FUZZ_CHECK(length == 0);
        return;
    }
    FUZZ_CHECK(size >= kRetryValueSize + 1 && length + 1 <= kRetryValueSize);
    std::string text(buffer.get(), length);
    std::string rest;
    FUZZ_CHECK(ProgramOf(text, &rest) == installDir + "uninstall.exe");
    FUZZ_CHECK(rest == " " + retryCommandLine);
}

// The header of the section that holds position `at` of `text`, trimmed, in lower case.
std::string SectionAt(const std::string& text, size_t at)
{
    std::string section;
    for (size_t start = 0; start < at;) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(start, end - start);
        size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] == '[') {
            size_t last = line.find_last_not_of(" \t\r\n");
            section = line.substr(first, last - first + 1);
            for (char& c : section)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        start = end;
    }
    return section;
}

void CheckWininit(const std::string& text, const std::vector<std::string>& paths)
{
    bool usable = !paths.empty();
    std::string block;
    for (const std::string& path : paths) {
        usable = usable && !path.empty();
        for (char c : path) usable = usable && static_cast<unsigned char>(c) >= 32;
        block += "NUL=" + path + "\r\n";
    }
    std::string result = "untouched";
    bool composed = AddWininitDeletions(text, paths, &result);
    FUZZ_CHECK(composed == usable);
    if (!composed) {
        FUZZ_CHECK(result == "untouched");
        return;
    }
    // The text around stays: the lines go in at a line start or at the end, after a line end
    // added to an unterminated last line, and after a new header when the section was missing.
    static const char* const kExtras[] = {"", "\r\n", "[rename]\r\n", "\r\n[rename]\r\n"};
    bool found = false;
    for (size_t i = 0; i <= text.size() && !found; ++i) {
        if (result.compare(0, i, text, 0, i) != 0) break;
        for (const char* extra : kExtras) {
            std::string expected = text.substr(0, i) + extra + block + text.substr(i);
            if (expected != result) continue;
            found = true;
            FUZZ_CHECK(SectionAt(result, i + std::strlen(extra)) == "[rename]");
        }
    }
    FUZZ_CHECK(found);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> field = SplitFields(data, size, 4);
    CheckBatch(field[0], field[1], field[2]);
    size_t bufferSize = field[3].empty() ? 256 : 200 + static_cast<unsigned char>(field[3][0]);
    CheckRetry(field[1], field[2], bufferSize);
    CheckWininit(field[0], {field[1], field[2]});
    return 0;
}
