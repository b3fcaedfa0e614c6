// What the door's operations share within a run (for door/Door*.cpp only).
#pragma once
#include "base/TestHooks.h"
#include "door/Door.h"
#include <windows.h>
#include <vector>
#include <string>

namespace door {
namespace detail {

struct RunState {
    bool preview = false;
    // The run's one record of the installation, judged by Begin.
    InstallationRecord installation;
    // The system directory's spellings, which the rules compare the product's files with; taken
    // where first needed.
    std::vector<std::string> systemForms;
    // In a preview, what earlier operations would have deleted, sorted: files and directories
    // by their upper-cased full path, keys as "K:" and values as "V:" with their canonical names.
    std::vector<std::string> gone;
    // The SharedDLLs value names (upper-cased) whose counts this run released, a preview's too.
    std::vector<std::string> released;
    bool recorded = false;  // a lowered count was recorded (a preview's would have been)
};

RunState& State();

// The name under which the preview keeps a path: its full path, upper-cased.
std::string GoneName(const std::string& path);
void MarkGone(const std::string& name);
bool IsGone(const std::string& name);

// Called by every operation just after it has made one change to the machine (a file or
// directory deleted, a file or value written, a key deleted, a process started; never in a
// preview), so that the test variant can end the run there as a power cut would, and count the
// changes a run makes. An operation that makes several changes calls it after each.
inline void ChangeMade()
{
    test_hooks::ChangeMade();
}

Outcome Done();
Outcome Missing(unsigned long error);
Outcome Failed(unsigned long error);
Outcome Refused(RefusalRule rule);

// The same, with the log's line "refused by rule <rule>: <what>" under `keyword`.
Outcome RefusedWithLine(const char* keyword, RefusalRule rule, const std::string& what);

// The system directory's spellings, taken at the first call of a run.
const std::vector<std::string>& SystemForms();

// The outcome of a deletion that GetLastError explains: not found (file or path) or failed.
Outcome FromError(unsigned long error);

// What a preview can know of a file's deletion without making it: not there (or gone
// already), a directory or read-only (the system would refuse it), or deleted.
Outcome PreviewFileDeletion(const std::string& path);

}  // namespace detail
}  // namespace door
