// Whole-tree snapshots of a directory and of registry keys, to show that a run changed nothing
// outside what it was allowed to touch.
#pragma once
#include "tests/support/Staging.h"
#include <windows.h>
#include <string>
#include <vector>

namespace system_state {

// name -> detail. Files: "C:\windows\x.dll" -> size, attributes and write time; directories end
// with a backslash. Keys: "HKLM\Software\X" -> ""; values: "HKLM\Software\X\Name" ("@" for the
// default value) -> type and data.
using State = staging::Entries;

// `levels` 1 takes in the directory's own entries only.
void AddDirectoryTree(State& state, const std::string& directory, int levels = 64);
void AddKeyTree(State& state, HKEY root, const std::string& rootName, const std::string& path);

// Every entry removed, added or changed between the two states whose name is not at or below
// one of `allowed` (compared without regard to case), as "removed NAME", "added NAME" or
// "changed NAME: OLD -> NEW".
std::vector<std::string> ChangesOutside(const State& before, const State& after,
                                        const std::vector<std::string>& allowed);

}  // namespace system_state
