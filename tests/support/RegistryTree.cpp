// Whole-tree walks of the registry that never follow a registry link.
#include "tests/support/RegistryTree.h"

namespace registry_tree {

namespace {

const DWORD kMaxValueData = 65536;

std::vector<Value> ReadValues(HKEY key)
{
    std::vector<Value> values;
    std::vector<char> name(16384);
    std::vector<BYTE> data(kMaxValueData);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        Value value;
        LONG result = RegEnumValueA(key, i, name.data(), &nameSize, NULL, &value.type, data.data(), &dataSize);
        if (result == ERROR_MORE_DATA) {
            value.name = "(value " + std::to_string(i) + ")";
            value.whole = false;
            values.push_back(value);
            continue;
        }
        if (result != ERROR_SUCCESS) break;
        value.name.assign(name.data(), nameSize);
        value.data.assign(data.begin(), data.begin() + dataSize);
        values.push_back(value);
    }
    return values;
}

void WalkAt(HKEY root, const std::string& rootName, const std::string& path, int depthLeft,
            const std::function<void(const Key&)>& visit)
{
    Key key;
    key.name = rootName + "\\" + path;
    HKEY opened = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        key.opened = false;
        visit(key);
        return;
    }
    key.values = ReadValues(opened);
    std::vector<std::string> children;
    char child[1024];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof child;
        if (RegEnumKeyExA(opened, i, child, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        children.push_back(child);
    }
    RegCloseKey(opened);
    visit(key);
    if (depthLeft <= 0) return;
    for (const std::string& name : children) {
        std::string below = path + "\\" + name;
        if (IsLink(root, below)) {
            Key link;
            link.name = rootName + "\\" + below;
            link.link = true;
            visit(link);
            continue;
        }
        WalkAt(root, rootName, below, depthLeft - 1, visit);
    }
}

}  // namespace

bool IsLink(HKEY root, const std::string& path)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    bool link = RegQueryValueExA(key, "SymbolicLinkValue", NULL, &type, NULL, NULL) == ERROR_SUCCESS &&
                type == REG_LINK;
    RegCloseKey(key);
    return link;
}

void Walk(HKEY root, const std::string& rootName, const std::string& path, int maxDepth,
          const std::function<void(const Key&)>& visit)
{
    HKEY probe = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &probe) != ERROR_SUCCESS) return;
    RegCloseKey(probe);
    WalkAt(root, rootName, path, maxDepth, visit);
}

}  // namespace registry_tree
