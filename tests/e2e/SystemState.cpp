// Whole-tree snapshots of a directory and of registry keys, and their differences.
#include "tests/e2e/SystemState.h"
#include "tests/support/RegistryTree.h"
#include <cstdio>

namespace system_state {

namespace {

const int kMaxDepth = 64;

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool AtOrBelow(const std::string& name, const std::string& base)
{
    std::string n = Upper(name), b = Upper(base);
    while (!b.empty() && b.back() == '\\') b.pop_back();
    if (n.compare(0, b.size(), b) != 0) return false;
    return n.size() == b.size() || n[b.size()] == '\\';
}

void AddDirectory(State& state, const std::string& directory, int levels)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = directory + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            state[path + "\\"] = "";
            if (levels > 1) AddDirectory(state, path, levels - 1);
            continue;
        }
        char detail[96];
        std::snprintf(detail, sizeof detail, "%lu bytes, attributes %lx, written %08lx%08lx",
                      data.nFileSizeLow, data.dwFileAttributes, data.ftLastWriteTime.dwHighDateTime,
                      data.ftLastWriteTime.dwLowDateTime);
        state[path] = detail;
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

std::string ValueDetail(DWORD type, const BYTE* data, DWORD size)
{
    std::string detail = "type " + std::to_string(type) + ":";
    static const char hex[] = "0123456789abcdef";
    for (DWORD i = 0; i < size; ++i) {
        detail += hex[data[i] >> 4];
        detail += hex[data[i] & 15];
    }
    return detail;
}

bool Allowed(const std::string& name, const std::vector<std::string>& allowed)
{
    for (const std::string& base : allowed)
        if (AtOrBelow(name, base)) return true;
    return false;
}

}  // namespace

void AddDirectoryTree(State& state, const std::string& directory, int levels)
{
    std::string top = directory;
    while (!top.empty() && top.back() == '\\') top.pop_back();
    AddDirectory(state, top, levels);
}

void AddKeyTree(State& state, HKEY root, const std::string& rootName, const std::string& path)
{
    registry_tree::Walk(root, rootName, path, kMaxDepth, [&state](const registry_tree::Key& key) {
        state[key.name] = key.link ? "link" : key.opened ? "" : "unopened";
        for (const registry_tree::Value& value : key.values) {
            std::string name = key.name + "\\" + (value.name.empty() ? "@" : value.name);
            state[name] = value.whole ? ValueDetail(value.type, value.data.data(),
                                                    static_cast<DWORD>(value.data.size()))
                                      : "too long to compare";
        }
    });
}

std::vector<std::string> ChangesOutside(const State& before, const State& after,
                                        const std::vector<std::string>& allowed)
{
    std::vector<std::string> changes;
    for (const auto& entry : before) {
        if (Allowed(entry.first, allowed)) continue;
        auto now = after.find(entry.first);
        if (now == after.end())
            changes.push_back("removed " + entry.first);
        else if (now->second != entry.second)
            changes.push_back("changed " + entry.first + ": " + entry.second + " -> " + now->second);
    }
    for (const auto& entry : after)
        if (!before.count(entry.first) && !Allowed(entry.first, allowed)) changes.push_back("added " + entry.first);
    return changes;
}

}  // namespace system_state
