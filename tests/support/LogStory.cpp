// The story a removal log tells.
#include "tests/support/LogStory.h"
#include "tests/support/TestSupport.h"
#include <cstring>

namespace testing_support {

std::vector<std::string> LogLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::string text = ReadTextFile(path);
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::vector<std::string> Story(const std::vector<std::string>& lines)
{
    static const char* const kVerbs[][2] = {
        {"would delete", "deleted"}, {"would remove", "removed"}, {"would write", "written"},
        {"would copy", "copied"},    {"would start", "started"},  {"would lower", "lowered"},
        {"would clear", "cleared"},  {"would list", "listed"},    {"would request", "requested"},
    };
    std::vector<std::string> story;
    for (const std::string& line : lines) {
        if (line.size() < 25) continue;
        std::string text = line.substr(24);
        if (text.compare(0, 23, "START    command line: ") == 0 || text.compare(0, 17, "START    preview:") == 0)
            continue;
        for (const auto& verb : kVerbs) {
            size_t at = text.find(verb[0]);
            if (at != std::string::npos) text.replace(at, std::strlen(verb[0]), verb[1]);
        }
        story.push_back(text);
    }
    return story;
}

std::set<std::string> Deleted(const std::vector<std::string>& story)
{
    std::set<std::string> items;
    for (const std::string& line : story) {
        std::string keyword = line.substr(0, line.find(' '));
        size_t verbAt = line.find_first_not_of(' ', keyword.size());
        for (const char* verb : {"deleted ", "removed "})
            if (verbAt != std::string::npos && line.compare(verbAt, std::strlen(verb), verb) == 0)
                items.insert(keyword + " " + line.substr(verbAt + std::strlen(verb)));
    }
    return items;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

std::string Parting(const std::vector<std::string>& run, const std::vector<std::string>& preview)
{
    size_t i = 0;
    while (i < run.size() && i < preview.size() && run[i] == preview[i]) ++i;
    std::string text = "from line " + std::to_string(i) + ":\n";
    for (size_t k = i; k < i + 4 && k < run.size(); ++k) text += "  run:     " + run[k] + "\n";
    for (size_t k = i; k < i + 4 && k < preview.size(); ++k) text += "  preview: " + preview[k] + "\n";
    return text;
}

bool IsCallLog(const std::string& item)
{
    for (const char* name : {"\\kolbexlog.txt", "\\qelsubs.log", "\\qeltask.log"}) {
        size_t length = std::strlen(name);
        if (item.size() >= length && item.compare(item.size() - length, length, name) == 0) return true;
    }
    return false;
}

std::vector<std::string> Changes(const staging::Snapshot& before, const staging::Snapshot& after)
{
    staging::Difference difference = staging::Compare(before, after);
    std::vector<std::string> changes;
    for (const std::string& item : difference.removed) changes.push_back("removed " + item);
    for (const std::string& item : difference.added)
        if (!IsCallLog(item)) changes.push_back("added " + item);
    for (const std::string& item : difference.changed)
        if (!IsCallLog(item.substr(0, item.find(':', 7)))) changes.push_back("changed " + item);
    for (const auto& text : before.texts) {
        auto now = after.texts.find(text.first);
        if (!IsCallLog(text.first) && (now == after.texts.end() || now->second != text.second))
            changes.push_back("text of " + text.first);
    }
    if (before.installedProducts != after.installedProducts || before.installedModules != after.installedModules)
        changes.push_back("the version manager's masks");
    if (before.retryCommand != after.retryCommand) changes.push_back("the RunOnce retry value");
    return changes;
}

}  // namespace testing_support
