// Every change the program makes to the machine passes the door (door/Door*.cpp): read from
// the program's own sources, no other file calls a Win32 function that changes the machine.
// The removal log's own file is the one exception.
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <regex>

using namespace testing_support;

namespace {

const char* const kProgramFolders[] = {"app", "base", "engine", "log", "restore", "rules", "door", "runtime", "ui"};

// The calls that delete, write, move, start or restart, by their names with or without the
// "A" of the narrow functions; a file opened for writing; a COM object saved to a file.
const std::regex kChange(
    "\\b(DeleteFileA?|RemoveDirectoryA?|CreateDirectoryA?|RegDeleteKeyA?|RegDeleteValueA?|"
    "RegSetValueA?|RegSetValueExA?|RegCreateKeyA?|RegCreateKeyExA?|MoveFileA?|MoveFileExA?|"
    "CopyFileA?|SetFileAttributesA?|WriteFile|SetEndOfFile|CreateProcessA?|WinExec|"
    "ShellExecuteA?|ExitWindowsEx|WritePrivateProfileStringA?|WritePrivateProfileSectionA?)\\s*\\(|"
    "GENERIC_WRITE|->\\s*Save\\s*\\(");

bool IsDoor(const std::string& folder, const std::string& name)
{
    return folder == "door";
}

// The log writes its own file, and nothing else.
bool IsLogFile(const std::string& folder, const std::string& name)
{
    return folder == "log" && name == "RemovalLog.cpp";
}

std::vector<std::string> SourcesOf(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(SourcePath(folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = entry.cFileName;
        size_t dot = name.rfind('.');
        if (dot != std::string::npos && (name.substr(dot) == ".cpp" || name.substr(dot) == ".h"))
            names.push_back(name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

// "folder/name:line: text" for every call of a changing function outside comments.
std::vector<std::string> ChangesIn(const std::string& folder, const std::string& name)
{
    std::vector<std::string> found;
    std::string text = ReadTextFile(SourcePath(folder + "\\" + name));
    size_t number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        ++number;
        size_t comment = line.find("//");
        if (std::regex_search(comment == std::string::npos ? line : line.substr(0, comment), kChange))
            found.push_back(folder + "/" + name + ":" + std::to_string(number) + ": " + line);
        start = end + 1;
    }
    return found;
}

TEST(OneDoor, NoFileOutsideTheDoorChangesTheMachine)
{
    std::vector<std::string> outside;
    size_t files = 0, doorCalls = 0;
    for (const char* folder : kProgramFolders) {
        for (const std::string& name : SourcesOf(folder)) {
            ++files;
            std::vector<std::string> calls = ChangesIn(folder, name);
            if (IsDoor(folder, name)) doorCalls += calls.size();
            else if (!IsLogFile(folder, name)) outside.insert(outside.end(), calls.begin(), calls.end());
        }
    }
    EXPECT_GT(files, 60u) << "the sources were not found below " << SourcePath("");
    EXPECT_GT(doorCalls, 10u) << "the door itself makes the changes";
    EXPECT_EQ(std::vector<std::string>(), outside);
}

}  // namespace
