// Shell links read back and written through COM, for the tests and the demo report.
#pragma once
#include <string>

namespace testing_support {

struct ShellLinkFacts {
    bool loaded = false;  // the file is a shell link that IPersistFile::Load accepted
    std::string target;   // IShellLinkA::GetPath, the raw path as stored
    std::string description;
    std::string arguments;
    std::string workingDirectory;
};

// Loads `path` as a shell link. Initialises and uninitialises COM around the reading.
ShellLinkFacts ReadShellLink(const std::string& path);

// Writes a shell link at `path` to `target` with `description`; false when any step failed.
bool WriteShellLink(const std::string& path, const std::string& target, const std::string& description);

}  // namespace testing_support
