// Saves a registry key's values when a test starts and puts them back when it ends.
#include "tests/support/SavedKey.h"
#include "tests/support/TestSupport.h"

namespace testing_support {

namespace {

std::vector<std::string> ValueNames(HKEY key)
{
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD length = sizeof name;
        if (RegEnumValueA(key, index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    return names;
}

}  // namespace

SavedKey::SavedKey(HKEY root, const std::string& path) : root_(root), path_(path), existed_(false)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    existed_ = true;
    for (const std::string& name : ValueNames(key)) {
        Value value{name, 0, std::vector<BYTE>()};
        DWORD size = 0;
        if (RegQueryValueExA(key, name.c_str(), NULL, &value.type, NULL, &size) != ERROR_SUCCESS) continue;
        value.data.resize(size + 1);
        if (RegQueryValueExA(key, name.c_str(), NULL, &value.type, value.data.data(), &size) != ERROR_SUCCESS)
            continue;
        value.data.resize(size);
        values_.push_back(value);
    }
    RegCloseKey(key);
}

SavedKey::~SavedKey()
{
    if (!existed_) {
        DeleteKeyTree(root_, path_);
        return;
    }
    CreateKey(root_, path_);
    HKEY key = NULL;
    if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    for (const std::string& name : ValueNames(key)) RegDeleteValueA(key, name.c_str());
    for (const Value& value : values_)
        RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
}

}  // namespace testing_support
