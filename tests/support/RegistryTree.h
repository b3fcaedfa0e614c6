// Whole-tree walks of the registry for snapshots, shared by the staging snapshots and the
// system-state comparisons, so that every key is seen once and under one name.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace registry_tree {

struct Value {
    std::string name;  // "" for the default value
    DWORD type = 0;
    std::vector<BYTE> data;
    bool whole = true;  // false when it was too long to read
};

struct Key {
    std::string name;  // rootName\path
    bool opened = true;
    bool link = false;  // a registry link: its target is not walked under this name
    std::vector<Value> values;
};

// True when `path` below `root` is a registry link (its value "SymbolicLinkValue", read through the
// link itself, has the type REG_LINK). A 64-bit Wine prefix links about 50 keys, under
// HKLM\Software\Wow6432Node and elsewhere, to their 64-bit twins: walked into, each would show
// its target's keys a second time, and a key correctly deleted would seem deleted twice.
bool IsLink(HKEY root, const std::string& path);

// Calls `visit` for the key `path` below `root` and for every key below it, parents first, at
// most `maxDepth` levels below it. A link is visited (without values) but never entered; a key
// that does not open is visited with `opened` false. Nothing is visited when `path` itself does
// not open.
void Walk(HKEY root, const std::string& rootName, const std::string& path, int maxDepth,
          const std::function<void(const Key&)>& visit);

}  // namespace registry_tree
