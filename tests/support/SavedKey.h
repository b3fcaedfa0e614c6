// Saves a registry key's values when a test starts and puts them back when it ends.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace testing_support {

// Records whether the key exists and every value it holds (its sub-keys are left alone);
// the destructor deletes the values the test added and restores the recorded ones, or
// deletes the key tree when it did not exist before.
class SavedKey {
public:
    SavedKey(HKEY root, const std::string& path);
    ~SavedKey();
    SavedKey(const SavedKey&) = delete;
    SavedKey& operator=(const SavedKey&) = delete;
private:
    struct Value {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    HKEY root_;
    std::string path_;
    bool existed_;
    std::vector<Value> values_;
};

}  // namespace testing_support
