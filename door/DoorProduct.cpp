// The door's calls into the product's libraries that change their state: the masks, the
// desktop channel and item, the scheduled jobs. Each runs under a guard of its own, so that a
// library that faults is still released before its file is deleted.
#include "door/Door.h"
#include "base/FaultGuard.h"
#include "log/RemovalLog.h"
#include "door/DoorState.h"
#include "rules/ChangeRules.h"

namespace door {

using namespace detail;

namespace {

// One call into a library: the rules first, then the call outside a preview under its guard
// (`call` with `argument`), then the line, which names `what` and `detail`.
Outcome CallExport(const char* keyword, const char* what, const char* detail, const void* proc,
                   void (*call)(void*), void* argument)
{
    Outcome outcome = Failed(ERROR_PROC_NOT_FOUND);
    if (proc != nullptr) {
        const RefusalRule rule = CheckThroughInstallation(TheInstallation());
        outcome = rule != RefusalRule::kNone ? Refused(rule) : Done();
    }
    if (outcome.done() && !State().preview && CallGuarded(call, argument).fault != 0)
        outcome = Failed(ERROR_NOACCESS);
    if (outcome.done())
        LOG_LINE(keyword, "%s %s: %s", what, Verb(Did::kRemoved), detail);
    else if (outcome.result == Result::kRefused)
        LOG_OUTCOME(kRefused, keyword, "%s refused by rule %s: %s", what, RefusalRuleName(outcome.rule), detail);
    else
        LOG_LINE(keyword, "%s not made: %s (the library %s)", what, detail,
                 outcome.error == ERROR_PROC_NOT_FOUND ? "lacks the export" : "faulted");
    return outcome;
}

struct MasksCall {
    InstalledMasksProc proc;
    char* productsText;
    char* modulesText;
    static void Make(void* call)
    {
        const MasksCall& masks = *static_cast<MasksCall*>(call);
        masks.proc(masks.productsText, masks.modulesText);
    }
};

struct ChannelCall {
    RemoveChannelProc proc;
    const char* url;
    const char* title;
    static void Make(void* call)
    {
        const ChannelCall& channel = *static_cast<ChannelCall*>(call);
        channel.proc(channel.url, channel.title, 0);
    }
};

struct ItemCall {
    DesktopItemProc proc;
    const char* url;
    const char* page;
    const char* title;
    static void Make(void* call)
    {
        const ItemCall& item = *static_cast<ItemCall*>(call);
        item.proc(0, item.url, item.page, item.title, 1);
    }
};

// A preview walks the jobs without deleting them.
struct JobsCall {
    JobCursorProc findFirst;
    JobNumberProc deleteJob;
    JobCursorProc findNext;
    JobNumberProc findEnd;
    unsigned long jobs;
    static void Make(void* call)
    {
        JobsCall& walk = *static_cast<JobsCall*>(call);
        int cursor = 1;
        for (int job = walk.findFirst(&cursor); job > 0; job = walk.findNext(&cursor)) {
            if (!Previewing()) walk.deleteJob(job);
            ++walk.jobs;
        }
        walk.findEnd(0);
    }
};

}  // namespace

Outcome WriteMasks(InstalledMasksProc writeMasks, char* productsText, char* modulesText)
{
    MasksCall call = {writeMasks, productsText, modulesText};
    // The masks' line is the one support reads: it says both texts.
    if (!writeMasks || !TheInstallation().IsPrivate())
        return CallExport("MASKS", "the masks", productsText, reinterpret_cast<const void*>(writeMasks),
                          &MasksCall::Make, &call);
    if (!State().preview && CallGuarded(&MasksCall::Make, &call).fault != 0) {
        LOG_LINE("MASKS", "the version manager faulted while recording editions %s modules %s", productsText,
                 modulesText);
        return Failed(ERROR_NOACCESS);
    }
    LOG_LINE("MASKS", "%s: editions %s modules %s", Verb(Did::kWritten), productsText, modulesText);
    return Done();
}

Outcome RemoveChannel(RemoveChannelProc removeChannel, const char* channelUrl, const char* title)
{
    ChannelCall call = {removeChannel, channelUrl, title};
    return CallExport("RESTORE", "desktop channel", channelUrl, reinterpret_cast<const void*>(removeChannel),
                      &ChannelCall::Make, &call);
}

Outcome RemoveDesktopItem(DesktopItemProc desktopItem, const char* itemUrl, const char* itemPage,
                          const char* title)
{
    ItemCall call = {desktopItem, itemUrl, itemPage, title};
    return CallExport("RESTORE", "desktop item", itemUrl, reinterpret_cast<const void*>(desktopItem),
                      &ItemCall::Make, &call);
}

Outcome DeleteJobs(JobCursorProc findFirst, JobNumberProc deleteJob, JobCursorProc findNext,
                   JobNumberProc findEnd)
{
    JobsCall call = {findFirst, deleteJob, findNext, findEnd, 0};
    const void* proc = findFirst && findNext && findEnd ? reinterpret_cast<const void*>(deleteJob) : nullptr;
    // The walk reads only, so that a preview walks the jobs too and counts what the run would
    // delete. A fault ends it without its closing call: the library's state is unknown.
    if (!proc || CheckThroughInstallation(TheInstallation()) != RefusalRule::kNone)
        return CallExport("RESTORE", "scheduled jobs", "none is deleted", proc, &JobsCall::Make, &call);
    if (CallGuarded(&JobsCall::Make, &call).fault != 0) {
        LOG_LINE("RESTORE", "scheduled jobs: the task library faulted after %lu deletion(s)", call.jobs);
        return Failed(ERROR_NOACCESS);
    }
    LOG_LINE("RESTORE", "scheduled jobs %s: %lu", Verb(Did::kDeleted), call.jobs);
    return Done();
}

}  // namespace door
