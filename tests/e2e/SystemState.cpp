// Whole-tree snapshots of a directory and of registry keys, and their differences.
#include "tests/e2e/SystemState.h"
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

void AddKey(State& state, HKEY key, const std::string& name, int depth)
{
    state[name] = "";
    std::vector<char> valueName(16384);
    std::vector<BYTE> data(65536);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(valueName.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG result = RegEnumValueA(key, i, valueName.data(), &nameSize, NULL, &type, data.data(), &dataSize);
        if (result == ERROR_MORE_DATA) {
            state[name + "\\(value " + std::to_string(i) + ")"] = "too long to compare";
            continue;
        }
        if (result != ERROR_SUCCESS) break;
        std::string valueKey = name + "\\" + (nameSize ? std::string(valueName.data(), nameSize) : "@");
        state[valueKey] = ValueDetail(type, data.data(), dataSize);
    }
    if (depth >= kMaxDepth) return;
    char subKey[512];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof subKey;
        LONG result = RegEnumKeyExA(key, i, subKey, &size, NULL, NULL, NULL, NULL);
        if (result != ERROR_SUCCESS) break;
        HKEY child = NULL;
        if (RegOpenKeyExA(key, subKey, 0, KEY_READ, &child) != ERROR_SUCCESS) {
            state[name + "\\" + subKey] = "unopened";
            continue;
        }
        AddKey(state, child, name + "\\" + subKey, depth + 1);
        RegCloseKey(child);
    }
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
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    AddKey(state, key, rootName + "\\" + path, 0);
    RegCloseKey(key);
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
