// The texts of the self-removal, kept apart from the Win32 calls.
#include "app/SelfRemovalText.h"
#include "app/StartupRules.h"
#include <cstring>

namespace {

const size_t kMaxPathChars = 259;

// A quote or a control character cannot stand in a Windows path; in a command line or a
// batch line it would end the quoted name early or start another command.
bool HoldsPathBreaker(const std::string& path)
{
    for (char c : path)
        if (c == '"' || static_cast<unsigned char>(c) < 32) return true;
    return false;
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
