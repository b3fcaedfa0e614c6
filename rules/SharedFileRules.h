// What to do with a file that other programs may share, by its count under the SharedDLLs
// key (no Win32 here).
#pragma once
#include "rules/Refusal.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The registry types a count is stored as: REG_DWORD, or four bytes of REG_BINARY (older
// installers).
const unsigned long kCountTypeBinary = 3;
const unsigned long kCountTypeDword = 4;

enum class SharedFileAction {
    kDelete,           // no count: deleted like any other file
    kDeleteAndForget,  // counted once (or not at all, 0): deleted, and its count removed
    kKeepAndRelease,   // others count on it too: kept, and its count lowered by one
    kKeep,             // a count that cannot be read: kept, count untouched
};

struct SharedFileDecision {
    SharedFileAction action = SharedFileAction::kDelete;
    uint32_t newCount = 0;                   // for kKeepAndRelease
    RefusalRule rule = RefusalRule::kNone;   // why the file is kept
};

// The decision for a file whose value was `found` with this type and data.
SharedFileDecision DecideSharedFile(bool found, unsigned long type, const unsigned char* data,
                                    size_t size);

// Whether the company that a system file's version information names is the product's vendor,
// Morwa Software: kNone for the vendor and for no company at all (a file without version
// information goes as before), kOtherCompany for any other.
RefusalRule CheckFileCompany(const std::string& company);

// Whether a file's name is the product's own: every file the product puts into the system
// directory is named "QEL..." (qelvxd.vxd, qelcomm.dll, ...). Evidence for a file that carries
// no version information; Windows' own code pages, drivers, .inf and .ini files are not so named.
bool HasProductsName(const std::string& fullPath);

// The names under which the file's count may stand, in the order they are tried: the path
// as composed, its long form and its short form, each once whatever its case (value names
// are compared without case, so case needs no spelling of its own). Empty forms are skipped.
std::vector<std::string> SharedFileNames(const std::string& path, const std::string& longForm,
                                         const std::string& shortForm);
