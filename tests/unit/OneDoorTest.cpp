// Every change the program makes to the machine passes the door (door/Door*.cpp): read from
// the program's own sources, no other file calls a Win32 function that changes the machine, nor
// an export of the product's libraries that changes their state, by name or through a pointer;
// and every operation of the door asks rules/ first. The removal log's own file is the one
// exception.
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>

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

// The exports of the product's libraries that change their state (the masks, the channel, the
// desktop item, the jobs); their readers (KOLBEX_LEERREGISTRY, SM_IE4Instalado, the job
// cursors) may be called anywhere.
const char* const kChangingExports[] = {"KOLBEX_ESCRIBIRREGISTRY", "SM_EliminaCanalA", "SM_ManageDesktopItem",
                                        "JOB_DeleteJob"};

// A source's statements (split at ';', '{' and '}'), comments and preprocessor lines left out.
std::vector<std::string> Statements(const std::string& text)
{
    std::vector<std::string> statements;
    std::string current;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        size_t comment = line.find("//");
        if (comment != std::string::npos) line.erase(comment);
        if (line.find_first_not_of(" \t") != std::string::npos && line[line.find_first_not_of(" \t")] == '#') continue;
        for (char c : line) {
            if (c == ';' || c == '{' || c == '}') {
                statements.push_back(current);
                current.clear();
            } else {
                current += c;
            }
        }
        current += ' ';
    }
    statements.push_back(current);
    return statements;
}

// Where a source outside the door calls a changing export: a statement that names one and hands
// what it binds to no door:: operation, or a call of anything bound to one, followed from
// variable to variable and across the sources (runContext.writeInstalledMasks is bound in one
// file and could be called in another). `sources` maps a name to its text.
std::vector<std::string> ExportCallsOutsideTheDoor(const std::map<std::string, std::string>& sources)
{
    const std::regex assigned("\\b(\\w+)\\s*=[^=]");
    std::set<std::string> bound;
    std::vector<std::string> found;
    for (int pass = 0; pass < 4; ++pass) {
        for (const auto& source : sources) {
            for (const std::string& statement : Statements(source.second)) {
                bool names = false;
                for (const char* name : kChangingExports) names = names || statement.find(name) != std::string::npos;
                for (const std::string& name : bound) {
                    const std::regex use("\\b" + name + "\\b");
                    if (!std::regex_search(statement, use)) continue;
                    if (std::regex_search(statement, std::regex("\\b" + name + "\\s*\\(")) && pass == 3)
                        found.push_back(source.first + ": calls " + name + ": " + statement);
                    names = true;
                }
                if (!names || statement.find("door::") != std::string::npos) continue;
                std::smatch match;
                if (std::regex_search(statement, match, assigned)) bound.insert(match[1]);
                else if (pass == 3 && statement.find('(') != std::string::npos &&
                         std::regex_search(statement, std::regex("\"[A-Z]+_\\w+\"")))
                    found.push_back(source.first + ": binds without handing it to the door: " + statement);
            }
        }
    }
    return found;
}

TEST(OneDoor, ChangingExportsAreCalledThroughTheDoorOnly)
{
    std::map<std::string, std::string> sources;
    for (const char* folder : kProgramFolders)
        for (const std::string& name : SourcesOf(folder))
            if (!IsDoor(folder, name)) sources[std::string(folder) + "/" + name] = ReadTextFile(SourcePath(std::string(folder) + "\\" + name));
    ASSERT_GT(sources.size(), 50u);
    EXPECT_EQ(std::vector<std::string>(), ExportCallsOutsideTheDoor(sources));

    // The check itself: calls by name, through a copy of the pointer, and from another file.
    typedef std::map<std::string, std::string> Sources;
    const std::vector<std::pair<Sources, size_t>> rows = {
        {Sources{{"a.cpp", "door::DeleteJobs(lib.Find<P>(\"JOB_FindFirstJob\"), lib.Find<P>(\"JOB_DeleteJob\"));"}}, 0},
        {Sources{{"a.cpp", "JobNumberProc deleteJob = lib.Find<JobNumberProc>(\"JOB_DeleteJob\");\ndeleteJob(3);"}}, 1},
        {Sources{{"a.cpp", "auto p = lib.Find<X>(\"SM_EliminaCanalA\");\nauto q = p; // a copy\nif (q) q(url, title, 0);"}}, 1},
        {Sources{{"a.cpp", "ctx.writeInstalledMasks = lib.Find<P>(\"KOLBEX_ESCRIBIRREGISTRY\");"},
                 {"b.cpp", "door::WriteMasks(ctx.writeInstalledMasks, a, b);\nctx.writeInstalledMasks(a, b);"}}, 1},
        {Sources{{"a.cpp", "Use(lib.Find<P>(\"SM_ManageDesktopItem\"));"}}, 1},
        {Sources{{"a.cpp", "p = lib.Find<P>(\"KOLBEX_LEERREGISTRY\");\np(a, b);"}}, 0},  // reads only
    };
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].second, ExportCallsOutsideTheDoor(rows[i].first).size()) << "row " << i;
}

// Every operation Door.h declares asks rules/ before it changes anything: its body, or a
// function of the door it calls, calls a Check... function. Two take a proof that rules/ was
// asked already (a Tree that AcceptTree made, a SharedFileCount that DeleteProductFile made),
// and a restart changes no place.
TEST(OneDoor, EveryOperationAsksTheRules)
{
    std::map<std::string, std::string> bodies;  // a function of the door by its name, all overloads joined
    const std::regex definition("^[A-Za-z][\\w:<>,&\\* ]*\\b(\\w+)\\(");
    for (const std::string& name : SourcesOf("door")) {
        const std::string text = ReadTextFile(SourcePath("door\\" + name));
        std::string function;
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            start = end + 1;
            std::smatch match;
            if (std::regex_search(line, match, definition) && line.find(';') == std::string::npos) function = match[1];
            else if (line == "}") function.clear();
            else if (!function.empty()) bodies[function] += line + "\n";
        }
    }
    std::set<std::string> asking;
    for (int pass = 0; pass < 5; ++pass)
        for (const auto& body : bodies) {
            bool asks = std::regex_search(body.second, std::regex("\\bCheck[A-Z]\\w*\\s*\\("));
            for (const std::string& other : asking) asks = asks || body.second.find(other + "(") != std::string::npos;
            if (asks) asking.insert(body.first);
        }
    const std::string header = ReadTextFile(SourcePath("door\\Door.h"));
    const std::regex operation("\\nOutcome (\\w+)\\(([^;]*)\\);");
    size_t operations = 0;
    std::vector<std::string> skipping;
    for (std::sregex_iterator it(header.begin(), header.end(), operation), end; it != end; ++it) {
        ++operations;
        const std::string name = (*it)[1], parameters = (*it)[2];
        const bool proven = parameters.find("const Tree&") != std::string::npos ||
                            parameters.find("const SharedFileCount&") != std::string::npos;
        if (!proven && name != "RestartWindows" && !asking.count(name)) skipping.push_back(name);
    }
    EXPECT_GT(operations, 20u);
    EXPECT_EQ(std::vector<std::string>(), skipping);
}

}  // namespace
