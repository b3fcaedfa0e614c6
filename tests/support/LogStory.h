// The story a removal log tells: its lines without their times, with a preview's verbs made a
// run's, so that a preview and the run it foretells compare line for line.
#pragma once
#include "tests/support/Staging.h"
#include <set>
#include <string>
#include <vector>

namespace testing_support {

// The lines of a log file (CR LF ended).
std::vector<std::string> LogLines(const std::string& path);

// A line without its time, with the preview's verbs made a run's: "FILE     would delete X"
// becomes "FILE     deleted X". The preview's own first line and the command lines drop.
std::vector<std::string> Story(const std::vector<std::string>& lines);

// The items a story deleted or removed: "FILE C:\...", "KEY HKEY_...", "VALUE ...", "DIR ...".
std::set<std::string> Deleted(const std::vector<std::string>& story);

// The lines, each ended by a line break.
std::string Joined(const std::vector<std::string>& lines);

// Where two stories part: the lines from the first that differs on, a few of each.
std::string Parting(const std::vector<std::string>& run, const std::vector<std::string>& preview);

// The stand-ins of the product's libraries record their calls in files of their own: those are
// the test's instruments, not the program's changes.
bool IsCallLog(const std::string& item);

// What changed between two snapshots, the stand-ins' call logs aside: "removed ...", "added
// ...", "changed ...", and the masks, texts and retry value; empty when nothing did.
std::vector<std::string> Changes(const staging::Snapshot& before, const staging::Snapshot& after);

}  // namespace testing_support
