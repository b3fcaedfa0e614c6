// A module's File, DelDir and DelExt entries, read and composed once: the release of shared
// counts and the removal both work from this one list, so they cannot disagree.
#pragma once
#include "rules/PathForms.h"
#include <cstdint>
#include <string>
#include <vector>

// The n-th entry of its kind ("File", "DelDir", "DelExt") is the n-th of its list, from 1.
struct ManifestEntry {
    std::string value;        // as the manifest writes it
    std::string path;         // the file, the tree with its backslash, or the pattern; "" when unusable
    FileSpellings spellings;  // a file's: its identity now, the other spellings when first checked
};

struct ModuleEntries {
    std::string section;
    uint32_t mask = 0;
    std::string relativePath;
    std::vector<ManifestEntry> files;
    std::vector<ManifestEntry> trees;
    std::string patternDirectory;  // "" when the relative path makes none
    std::vector<ManifestEntry> patterns;
};

// Reads a section's entries, up to the first empty one of each kind, into an empty `module`.
void ReadModuleEntries(const std::string& manifestPath, const std::string& section,
                       const std::string& installDir, const std::string& systemDir, ModuleEntries& module);
