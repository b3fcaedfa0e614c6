// Which modules of the manifest list which files: a file that several modules list is the
// product's once, and goes with the last installed module that lists it.
#pragma once
#include "engine/ModuleEntries.h"
#include <cstdint>
#include <string>
#include <vector>

class FileListings {
public:
    // Reads the entries of every module that the applications of `apps` list (each module
    // once) and of the "Shared" module, composed once for the whole run.
    void Read(const char* manifestPath, const std::string& apps, const std::string& installDir,
              const std::string& systemDir);

    // The entries read for `section`; nullptr when it was not among those read.
    // The removal completes the entries' spellings in place.
    ModuleEntries* Find(const std::string& section);

    // Records a module as removed by this run: it holds none of its files any longer.
    void MarkRemoved(const std::string& section);

    // The module that still holds the file of `identity` (FileSpellings) once `section` (of
    // `mask`) has gone: one that lists it too, was not removed by this run, and is still
    // installed, "Shared" until it is removed, any other while its mask shares a bit with
    // `installedModules` without `mask`'s bits. "" when there is none.
    std::string OtherHolder(const std::string& section, uint32_t mask, const std::string& identity,
                            int32_t installedModules) const;

    struct Module {
        ModuleEntries entries;
        bool shared = false;
        bool removed = false;
    };
    const std::vector<Module>& modules() const { return modules_; }

private:
    void Add(const char* manifestPath, const std::string& section, const std::string& installDir,
             const std::string& systemDir);
    std::vector<Module> modules_;
};
