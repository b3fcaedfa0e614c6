// The texts of the self-removal, kept apart from the Win32 calls.
#include "app/SelfRemovalText.h"
#include "app/CommandLine.h"
#include "base/PathLimits.h"
#include "base/Text.h"
#include "rules/PlaceRules.h"
#include <cstring>

namespace {

bool HoldsControlCharacter(const std::string& path)
{
    for (char c : path)
        if (static_cast<unsigned char>(c) < 32) return true;
    return false;
}

// A quote or a control character cannot stand in a Windows path; in a command line or a
// batch line it would end the quoted name early or start another command.
bool HoldsPathBreaker(const std::string& path)
{
    return path.find('"') != std::string::npos || HoldsControlCharacter(path);
}

// The path as a batch line must spell it: the command interpreter reads "%%" as one "%".
std::string BatchQuoted(const std::string& path)
{
    std::string text = "\"";
    for (char c : path) {
        if (c == '%') text += '%';
        text += c;
    }
    return text + "\"";
}

}  // namespace

bool FormatRemovalBatch(const std::string& exePath, const std::string& installDir,
                        const std::string& batchPath, std::string* text)
{
    if (exePath.size() > kMaxPathChars || installDir.size() > kMaxPathChars ||
        batchPath.size() > kMaxPathChars || installDir.empty())
        return false;
    if (HoldsPathBreaker(exePath) || HoldsPathBreaker(installDir) || HoldsPathBreaker(batchPath))
        return false;
    size_t firstBackslash = exePath.find('\\');
    if (firstBackslash == std::string::npos) return false;
    std::string directory = installDir.substr(0, installDir.size() - 1);
    std::string drive = exePath.substr(0, firstBackslash);
    std::string batch = ":Repeat\r\n"
                        "del " + BatchQuoted(exePath) + "\r\n"
                        "rd " + BatchQuoted(directory) + "\r\n"
                        "if exist " + BatchQuoted(exePath) + " goto Repeat\r\n"
                        "rmdir " + BatchQuoted(drive) + "\r\n"
                        "del " + BatchQuoted(batchPath) + "\r\n";
    if (batch.size() > kMaxBatchChars) return false;
    *text = batch;
    return true;
}

std::string RemovalBatchPath(const std::string& tempDir)
{
    std::string path = (tempDir.empty() ? std::string("C:\\") : tempDir) + "autodel.bat";
    return path.size() > kMaxPathChars ? std::string() : path;
}

std::string QuoteIfBlank(const std::string& path)
{
    return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

bool ComposeRetryText(const std::string& installDir, const std::string& retryCommandLine,
                      char* buffer, size_t size)
{
    if (buffer == nullptr || size == 0) return false;
    std::memset(buffer, 0, size);
    if (HoldsPathBreaker(installDir)) return false;
    std::string text = QuoteIfBlank(installDir + "uninstall.exe") + " " + retryCommandLine;
    if (size < kRetryValueSize + 1 || text.size() + 1 > kRetryValueSize) return false;
    std::memcpy(buffer, text.data(), text.size());
    return true;
}

bool ComposeRetryTextWithLog(const std::string& installDir, const std::string& retryCommandLine,
                             const std::string& logPath, char* buffer, size_t size, bool* withLog)
{
    *withLog = false;
    if (!logPath.empty() && !HoldsPathBreaker(logPath) &&
        ComposeRetryText(installDir,
                         retryCommandLine + " " + kLogSwitch + "=\"" + logPath + "\"", buffer, size)) {
        *withLog = true;
        return true;
    }
    return ComposeRetryText(installDir, retryCommandLine, buffer, size);
}

std::vector<std::string> RestartDeletions(const std::string& exePath, const std::string& batchPath,
                                          const std::string& installDir)
{
    std::vector<std::string> paths;
    if (!exePath.empty()) paths.push_back(exePath);
    if (!batchPath.empty()) paths.push_back(batchPath);
    std::string directory = installDir.substr(0, installDir.empty() ? 0 : installDir.size() - 1);
    if (!IsDriveOrShareRoot(directory)) paths.push_back(directory);
    return paths;
}

std::string RemoveDirectoryCommand(const std::string& commandInterpreter, const std::string& shortDir)
{
    if (commandInterpreter.empty() || shortDir.empty() || HoldsPathBreaker(commandInterpreter) ||
        HoldsPathBreaker(shortDir) || shortDir.find(' ') != std::string::npos)
        return std::string();
    return QuoteIfBlank(commandInterpreter) + " /c rd " + shortDir;
}

namespace {

// The line's text without its line end and without blanks or tabs around it.
std::string TrimmedLine(const std::string& text, size_t start, size_t end)
{
    while (end > start && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
    while (start < end && (text[start] == ' ' || text[start] == '\t')) ++start;
    while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return text.substr(start, end - start);
}

bool IsRenameHeader(const std::string& line)
{
    static const char kHeader[] = "[rename]";
    if (line.size() != sizeof kHeader - 1) return false;
    for (size_t i = 0; i < line.size(); ++i)
        if (UpperAscii(line[i]) != UpperAscii(kHeader[i])) return false;
    return true;
}

}  // namespace

bool AddWininitDeletions(const std::string& text, const std::vector<std::string>& shortPaths,
                         std::string* result)
{
    if (shortPaths.empty()) return false;
    std::string lines;
    for (const std::string& path : shortPaths) {
        if (path.empty() || HoldsControlCharacter(path)) return false;
        lines += "NUL=" + path + "\r\n";
    }
    // Where the [rename] section ends: at the next section's header, or at the end of the text.
    size_t insertAt = std::string::npos;
    bool inRename = false;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = TrimmedLine(text, start, end);
        if (inRename && !line.empty() && line[0] == '[') {
            insertAt = start;
            break;
        }
        if (!inRename && IsRenameHeader(line)) inRename = true;
        start = end;
    }
    std::string updated = text;
    if (inRename && insertAt == std::string::npos) insertAt = text.size();
    if (!inRename) {
        insertAt = text.size();
        lines = "[rename]\r\n" + lines;
    }
    if (insertAt > 0 && updated[insertAt - 1] != '\n') {
        updated.insert(insertAt, "\r\n");
        insertAt += 2;
    }
    updated.insert(insertAt, lines);
    *result = updated;
    return true;
}
