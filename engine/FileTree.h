// Deletion of the files of a directory tree, and of the files of one directory by pattern.
#pragma once

// Deletes every file below `directory`, at every depth; no directory is removed.
// Returns -1 when the directory is refused (three characters or fewer, a drive root, the
// Windows, system or Program Files directory or an ancestor of one) or cannot be listed;
// 0 when every deletion directly in it succeeded; otherwise the error code of the last
// deletion directly in it that failed.
int DeleteDirectoryContents(const char* directory);

// Deletes the files directly in `directory` whose upper-cased full path contains the
// upper-cased `pattern`. Sub-directories are left alone. Results as above, except that
// there is no length test.
int DeleteMatchingFiles(const char* pattern, const char* directory);
