// The texts of the self-removal, kept apart from the Win32 calls.
#include "app/SelfRemovalText.h"
#include <cstring>

namespace {

const size_t kMaxPathChars = 259;

}  // namespace

bool FormatRemovalBatch(const std::string& exePath, const std::string& installDir,
                        const std::string& batchPath, std::string* text)
{
    if (exePath.size() > kMaxPathChars || installDir.size() > kMaxPathChars ||
        batchPath.size() > kMaxPathChars || installDir.empty())
        return false;
    size_t firstBackslash = exePath.find('\\');
    if (firstBackslash == std::string::npos) return false;
    std::string directory = installDir.substr(0, installDir.size() - 1);
    std::string drive = exePath.substr(0, firstBackslash);
    std::string batch = ":Repeat\r\n"
                        "del \"" + exePath + "\"\r\n"
                        "rd \"" + directory + "\"\r\n"
                        "if exist \"" + exePath + "\" goto Repeat\r\n"
                        "rmdir \"" + drive + "\"\r\n"
                        "del \"" + batchPath + "\"\r\n";
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
    std::string text = QuoteIfBlank(installDir + "uninstall.exe") + " " + retryCommandLine;
    if (size < kRetryValueSize + 1 || text.size() + 1 > kRetryValueSize) return false;
    std::memcpy(buffer, text.data(), text.size());
    return true;
}
