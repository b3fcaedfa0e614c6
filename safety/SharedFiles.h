// The counts under which Windows records the files that several programs share.
#pragma once
#include "safety/SharedFileRules.h"
#include <string>

// The count of one file and the decision on it; `valueName` is the spelling found.
struct SharedFileCount {
    std::string valueName;
    unsigned long type = 0;  // kept when the count is written back
    SharedFileDecision decision;
};

// Looks the file up under HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs in each
// of its spellings (SharedFileNames); the first one found decides. Not found: kDelete.
SharedFileCount LookUpSharedFile(const std::string& path);
