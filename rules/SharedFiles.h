// The counts under which Windows records the files that several programs share.
#pragma once
#include "rules/PathForms.h"
#include "rules/SharedFileRules.h"
#include <string>
#include <vector>

// The count of one file and the decision on it; `valueName` is the spelling found.
struct SharedFileCount {
    std::string valueName;
    unsigned long type = 0;  // kept when the count is written back
    SharedFileDecision decision;
};

// Whether a file of the system directory may go as the product's: kWindowsFile when Windows
// protects it (SfcIsFileProtected, where sfc.dll has it), kOtherCompany when its version
// information names a company other than the product's vendor (*company receives the name),
// kUnreadableOwner when the system cannot read version information at all (version.dll missing,
// or a stub that fails): the owner is then not known, and the file stays.
RefusalRule CheckSystemFile(const std::string& fullPath, std::string* company);

// True when a SharedDLLs value names a file at or below the directory, in one of the given
// spellings of it: a tree that holds a counted file has its files looked up one by one.
bool AnySharedFileBelow(const std::vector<std::string>& directoryForms);

// Looks the file up under HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs in each
// of its spellings (SharedFileNames); the first one found decides. Not found: kDelete.
SharedFileCount LookUpSharedFile(const std::string& path);

// The same with the spellings computed once (CompleteSpellings is called on them).
SharedFileCount LookUpSharedFile(FileSpellings& file);

// Where a run records, below the product's own Uninstall key, each count it lowered (the value
// name as SharedDLLs spells it, the count written), before it lowers it: the count is then the
// product's no longer, whatever reads it next (a retry run, another module, a tree). The run
// that ends the removal deletes the record.
extern const char kReleasedCountsKey[];

// True when a run recorded the count of this SharedDLLs value name as released.
bool ReleasedEarlier(const std::string& valueName);

// True when any release is recorded.
bool AnyReleaseRecorded();
