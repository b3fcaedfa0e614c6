// Deletion of file trees and of files by pattern.
#include "engine/FileTree.h"
#include "engine/Handles.h"
#include "engine/PathRules.h"
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string WindowsPath(UINT(WINAPI* query)(LPSTR, UINT))
{
    char buffer[MAX_PATH] = "";
    UINT length = query(buffer, sizeof buffer);
    return (length > 0 && length < sizeof buffer) ? std::string(buffer) : std::string();
}

std::string ProgramFilesPath()
{
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                 KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return std::string();
    char buffer[MAX_PATH] = "";
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), "ProgramFilesDir", NULL, &type,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return std::string();
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::string FullPath(const std::string& path)
{
    char buffer[MAX_PATH] = "";
    char* filePart = NULL;
    DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, &filePart);
    return (length > 0 && length < sizeof buffer) ? std::string(buffer) : std::string();
}

// Resolves the directory and checks it against the places no manifest may name.
bool IsRefused(const char* directory)
{
    std::string full = FullPath(directory);
    if (full.empty()) return true;
    std::vector<std::string> guarded;
    const std::string candidates[] = {WindowsPath(GetWindowsDirectoryA),
                                      WindowsPath(GetSystemDirectoryA), ProgramFilesPath()};
    for (const std::string& candidate : candidates)
        if (!candidate.empty()) guarded.push_back(FullPath(candidate));
    return IsProtectedDirectory(full, guarded);
}

bool IsDirectory(const WIN32_FIND_DATAA& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The walk below a directory that has passed the checks.
int DeleteTree(const std::string& directory)
{
    std::string base = DirectoryBase(directory);
    std::string listing;
    if (!ComposeEntryPath(base, "*.*", &listing)) return -1;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(listing.c_str(), &entry));
    if (!find.valid()) return -1;
    int result = 0;
    do {
        std::string path;
        if (!ComposeEntryPath(base, entry.cFileName, &path)) continue;
        if (IsDirectory(entry)) {
            if (entry.cFileName[0] != '.') DeleteTree(path);
        } else if (!DeleteFileA(path.c_str())) {
            result = static_cast<int>(GetLastError());
        }
    } while (FindNextFileA(find.get(), &entry));
    return result;
}

}  // namespace

int DeleteDirectoryContents(const char* directory)
{
    if (directory == NULL || std::strlen(directory) <= 3) return -1;
    if (std::strlen(directory) > kMaxPathChars || IsRefused(directory)) return -1;
    return DeleteTree(directory);
}

int DeleteMatchingFiles(const char* pattern, const char* directory)
{
    if (pattern == NULL || directory == NULL) return -1;
    if (std::strlen(directory) > kMaxPathChars || IsRefused(directory)) return -1;
    std::string base = DirectoryBase(directory);
    std::string listing;
    if (!ComposeEntryPath(base, "*.*", &listing)) return -1;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(listing.c_str(), &entry));
    if (!find.valid()) return -1;
    int result = 0;
    do {
        std::string path;
        if (IsDirectory(entry) || !ComposeEntryPath(base, entry.cFileName, &path)) continue;
        if (PathMatchesPattern(path, pattern) && !DeleteFileA(path.c_str()))
            result = static_cast<int>(GetLastError());
    } while (FindNextFileA(find.get(), &entry));
    return result;
}
