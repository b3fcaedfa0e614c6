// The floor of the deletion benchmark: the plainest walk that deletes every file of a tree.
#include <windows.h>
#include <cstring>

static void DeleteTree(const char* directory)
{
    char pattern[MAX_PATH];
    lstrcpyA(pattern, directory);
    lstrcatA(pattern, "\\*.*");
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        char path[MAX_PATH];
        if (std::strlen(directory) + std::strlen(entry.cFileName) + 2 > sizeof path) continue;
        lstrcpyA(path, directory);
        lstrcatA(path, "\\");
        lstrcatA(path, entry.cFileName);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (entry.cFileName[0] != '.') DeleteTree(path);
        } else {
            DeleteFileA(path);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) DeleteTree(argv[i]);
    return 0;
}
