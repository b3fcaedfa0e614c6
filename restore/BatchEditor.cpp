// Removal of marked lines from the start-up batch file.
#include "restore/BatchEditor.h"
#include "log/RemovalLog.h"
#include "base/FaultGuard.h"
#include "base/Handles.h"
#include "restore/BatchText.h"
#include <string>

namespace {

// Opens the file into `file`, owned by the caller so that it is closed after a fault too.
void RewriteWithoutMarker(const char* path, const char* marker, FileHandle& file)
{
    // A read-only start-up file is the user's decision; the system would refuse the open anyway.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        LOG_LINE("STARTUP", "%s not found: nothing to remove", path);
        return;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        LOG_OUTCOME(kLeft, "STARTUP", "%s is read-only: lines with %s stay", path, marker);
        return;
    }
    // Shared like a C runtime file opened for update, so that a reader does not lock us out.
    file.reset(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.valid()) {
        LOG_OUTCOME(kLeft, "STARTUP", "%s does not open: lines with %s stay, " LOG_ERROR_FORMAT, path, marker,
                    LOG_ERROR_ARGS(GetLastError()));
        return;
    }
    DWORD size = GetFileSize(file.get(), NULL);
    if (size == 0 || size == INVALID_FILE_SIZE) {
        LOG_LINE("STARTUP", "%s is empty: nothing to remove", path);
        return;
    }

    std::string content(size, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), &content[0], size, &read, NULL)) return;
    content.resize(read);

    size_t dropped = 0;
    std::string kept = FilterBatchLines(content, marker, &dropped);
    if (SetFilePointer(file.get(), 0, NULL, FILE_BEGIN) != 0) return;
    DWORD written = 0;
    if (!kept.empty() &&
        (!WriteFile(file.get(), kept.data(), static_cast<DWORD>(kept.size()), &written, NULL) ||
         written != kept.size())) {
        LOG_OUTCOME(kLeft, "STARTUP", "%s could not be written again: " LOG_ERROR_FORMAT, path,
                    LOG_ERROR_ARGS(GetLastError()));
        return;
    }
    SetEndOfFile(file.get());
    if (dropped > 0)
        LOG_OUTCOME(kRemoved, "STARTUP", "lines with %s removed from %s: %lu line(s)", marker, path,
                    static_cast<unsigned long>(dropped));
    else
        LOG_LINE("STARTUP", "no line with %s in %s", marker, path);
}

}  // namespace

void RemoveBatchLines(const char* path, const char* marker)
{
    if (path == NULL || marker == NULL || marker[0] == '\0') return;
    // A fault, out of memory for the kept text among them, ends the edit: the file is closed
    // and nothing more is written.
    FileHandle file;
    if (!Guarded([path, marker, &file] { RewriteWithoutMarker(path, marker, file); }))
        LOG_LINE("STARTUP", "the edit of %s was ended by a fault", path);
}
