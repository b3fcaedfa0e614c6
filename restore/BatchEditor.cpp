// Removal of marked lines from the start-up batch file: read here, written by the door.
#include "restore/BatchEditor.h"
#include "base/FaultGuard.h"
#include "base/Handles.h"
#include "log/RemovalLog.h"
#include "restore/BatchText.h"
#include "door/Door.h"
#include <string>

namespace {

// The whole file; false (and a line in the log) when there is nothing to edit.
bool ReadBatchFile(const char* path, const char* marker, std::string* content)
{
    // A read-only start-up file is the user's decision; the system would refuse the write anyway.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        LOG_LINE("STARTUP", "%s not found: nothing to remove", path);
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        LOG_OUTCOME(kLeft, "STARTUP", "%s is read-only: lines with %s stay", path, marker);
        return false;
    }
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.valid()) {
        LOG_OUTCOME(kLeft, "STARTUP", "%s does not open: lines with %s stay, " LOG_ERROR_FORMAT, path, marker,
                    LOG_ERROR_ARGS(GetLastError()));
        return false;
    }
    DWORD size = GetFileSize(file.get(), NULL);
    if (size == 0 || size == INVALID_FILE_SIZE) {
        LOG_LINE("STARTUP", "%s is empty: nothing to remove", path);
        return false;
    }
    content->assign(size, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), &(*content)[0], size, &read, NULL)) return false;
    content->resize(read);
    return true;
}

void RewriteWithoutMarker(const char* path, const char* marker, MarkerMatch match, door::Reach reach)
{
    std::string content;
    if (!ReadBatchFile(path, marker, &content)) return;
    size_t dropped = 0;
    std::string kept = FilterBatchLines(content, marker, &dropped, match);
    std::string what = std::to_string(dropped) + " line(s) with " + marker + " removed";
    door::WriteTextFile("STARTUP", reach, path, kept, false, what.c_str());
}

void RemoveLines(const char* path, const char* marker, MarkerMatch match, door::Reach reach)
{
    if (path == NULL || marker == NULL || marker[0] == '\0') return;
    // A fault, out of memory for the kept text among them, ends the edit; nothing more is
    // written.
    if (!Guarded([path, marker, match, reach] { RewriteWithoutMarker(path, marker, match, reach); }))
        LOG_LINE("STARTUP", "the edit of %s was ended by a fault", path);
}

}  // namespace

void RemoveBatchLines(const char* path, const char* marker)
{
    RemoveLines(path, marker, MarkerMatch::kAnywhere, door::Reach::kOwnPlace);
}

void RemoveBatchLinesNaming(const char* path, const char* marker)
{
    // The line names the install directory, which must then be the product's own: an install
    // directory such as C:\WINDOWS would take the system's own lines, the PATH line among them.
    RemoveLines(path, marker, MarkerMatch::kWholeName, door::Reach::kInstallDirectory);
}
