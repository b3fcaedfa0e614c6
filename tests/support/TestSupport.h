// Helpers for tests that work on the real file system, registry and processes of the prefix.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace testing_support {

// A unique, empty directory below C:\uninst-tests, removed with everything in it at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& purpose = "t");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }  // without a trailing backslash
    std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }
private:
    std::string path_;
};

// Files. Paths are Windows paths; parent directories are created as needed.
void WriteTextFile(const std::string& path, const std::string& content);
std::string ReadTextFile(const std::string& path);  // "" when missing
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
void MakeDirectories(const std::string& path);
void SetAttributes(const std::string& path, DWORD attributes);
// Removes a tree whatever its attributes (test clean-up only); links in it are removed as
// links, never entered.
void RemoveTree(const std::string& path);
// The names below a directory, relative to it, sorted; directories end with a backslash.
std::vector<std::string> ListTree(const std::string& path);

// A file held open by another process (sharing read and write, not delete), so that its
// deletion is refused as in use. The holder ends when this object goes.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool holding() const { return process_ != NULL; }
private:
    HANDLE process_;
    HANDLE release_;
};
// Called from main: when the command line asks to hold a file, does so and returns true.
bool RunAsFileHolder(int argc, char** argv);

// Makes `link` a Unix symbolic link to the directory `target` (both Windows paths), as a user
// of Wine may have one in the prefix: Wine lists it as a directory with
// FILE_ATTRIBUTE_REPARSE_POINT. Windows' own junctions cannot be made under Wine 8 (it
// refuses FSCTL_SET_REPARSE_POINT, and CreateSymbolicLinkA makes nothing), so this runs
// /bin/ln through Wine; false where that is not possible (then the test is skipped).
bool MakeUnixSymlink(const std::string& link, const std::string& target);
// Makes the directory `name` in `parent` under its Unix name, which Win32 would spell otherwise
// ("x." is read as "x"); true once the parent's listing shows it.
bool MakeUnixDirectory(const std::string& parent, const std::string& name);
void RemoveUnixDirectory(const std::string& parent, const std::string& name);
// Removes such a link itself; RemoveDirectoryA would remove its target under Wine.
void RemoveUnixSymlink(const std::string& link);

// Makes drive `letter` stand for `folder`, as SUBST does: a link in the prefix's dosdevices.
// False where the prefix is not known (WINEPREFIX) or the drive does not appear.
bool MakeDriveLetter(char letter, const std::string& folder);
// The path through Wine's Z:, which every prefix maps to the host's root ("Z:\\home\\...\\drive_c\\windows").
std::string HostRootForm(const std::string& path);
// A folder of the prefix itself through Z: ("Z:\\tmp\\...\\prefix\\drive_e"): what the drive
// letters that tools/lib/wine-test configures before the server starts stand for.
std::string PrefixFolder(const std::string& name);
// Shares `folder` as \\host\share, as a machine's own share of a drive (dosdevices/unc); true once it opens.
bool MakeShare(const std::string& host, const std::string& share, const std::string& folder);
void RemoveDriveLetter(char letter);

// Registry. `path` names a key below `root`.
void CreateKey(HKEY root, const std::string& path);
void SetStringValue(HKEY root, const std::string& path, const std::string& name,
                    const std::string& value, DWORD type = REG_SZ);
void SetDwordValue(HKEY root, const std::string& path, const std::string& name, DWORD value);
bool KeyExists(HKEY root, const std::string& path);
bool ValueExists(HKEY root, const std::string& path, const std::string& name);
std::string ReadStringValue(HKEY root, const std::string& path, const std::string& name);
void DeleteValue(HKEY root, const std::string& path, const std::string& name);
// Deletes a key and its whole sub-tree (test clean-up only).
void DeleteKeyTree(HKEY root, const std::string& path);

// Processes.
struct ProcessResult {
    bool started = false;
    bool finished = false;  // within the timeout
    DWORD exitCode = 0;
};
// Runs the command line with `directory` as its current directory and waits at most
// `timeoutMs`; a process still running then is terminated.
ProcessResult RunProcess(const std::string& commandLine, const std::string& directory,
                         DWORD timeoutMs);

// The shipped binaries, as built by the shipped build tree: "uninstall.exe",
// "product\kolbex\kolbex.dll" and so on, as Windows paths.
std::string ShipPath(const std::string& relative);
// A file of the source tree as a Windows path.
std::string SourcePath(const std::string& relative);

}  // namespace testing_support
