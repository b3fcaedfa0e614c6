// Removal of marked lines from the start-up batch file.
#include "restore/BatchEditor.h"
#include "engine/FaultGuard.h"
#include "engine/Handles.h"
#include "restore/BatchText.h"
#include <string>

namespace {

// Opens the file into `file`, owned by the caller so that it is closed after a fault too.
void RewriteWithoutMarker(const char* path, const char* marker, FileHandle& file)
{
    // A read-only start-up file is the user's decision; the system would refuse the open anyway.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return;
    // Shared like a C runtime file opened for update, so that a reader does not lock us out.
    file.reset(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.valid()) return;
    DWORD size = GetFileSize(file.get(), NULL);
    if (size == 0 || size == INVALID_FILE_SIZE) return;

    std::string content(size, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), &content[0], size, &read, NULL)) return;
    content.resize(read);

    std::string kept = FilterBatchLines(content, marker);
    if (SetFilePointer(file.get(), 0, NULL, FILE_BEGIN) != 0) return;
    DWORD written = 0;
    if (!kept.empty() &&
        (!WriteFile(file.get(), kept.data(), static_cast<DWORD>(kept.size()), &written, NULL) ||
         written != kept.size()))
        return;
    SetEndOfFile(file.get());
}

}  // namespace

void RemoveBatchLines(const char* path, const char* marker)
{
    if (path == NULL || marker == NULL || marker[0] == '\0') return;
    // A fault, out of memory for the kept text among them, ends the edit: the file is closed
    // and nothing more is written.
    FileHandle file;
    Guarded([path, marker, &file] { RewriteWithoutMarker(path, marker, file); });
}
