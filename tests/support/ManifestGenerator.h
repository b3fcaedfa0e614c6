// A seeded generator of damaged uninstall manifests, built from the sample manifest (no Win32
// here): what a careless installer or a damaged disk could leave behind.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace malformed {

// Names that only a run that escaped the installation could reach. The sentinels of the
// end-to-end test stand at these places, and the generator aims its escape attempts at them;
// no entry it writes may name them validly.
struct Targets {
    std::string installDir;      // "C:\Program Files\Morwa Antivirus\"
    std::string sentinelDir;     // a sibling of the install directory, with the sample's names
    std::string besideFile;      // the install directory's path with a name glued on
    std::string programFiles;    // the directory that holds the install directory
    std::string windowsDir;      // no trailing backslash
    std::string systemDir;       // no trailing backslash
    std::string fileName;        // the name of the sentinel file in those directories
};

struct Manifest {
    bool present = true;                // false: no manifest file at all
    std::string text;                   // the file's bytes
    std::string tokens;                 // the command line after the program's name
    bool retryRun = false;              // run mode 2: the run ends with the self-removal
    unsigned moduleNames = 0;           // module names the walk may meet (200 ms each)
    bool manyEntries = false;           // a module with thousands of entries
    std::vector<std::string> damages;   // "kind: what was done", for failure messages
};

// The kinds of damage the generator knows, as the damages name them.
std::vector<std::string> DamageKinds();

// The manifest number `index` of the series `seed`: the same two numbers always give the
// same manifest. `sample` is the text of the sample manifest.
Manifest Generate(const std::string& sample, const Targets& targets, uint32_t seed,
                  unsigned index);

}  // namespace malformed
